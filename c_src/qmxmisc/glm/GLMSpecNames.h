// The family, link and variance names a user types (R's names: gaussian, logit, mu(1-mu), ...)
// and the texts a model document holds for them ("Gaussian", "Logit: log(mu/(1 - mu))",
// "Binomial: mu(1-mu)"). The model's own texts are accepted as well.
#pragma once

#include <string>
#include <vector>

// The three texts of a GeneralRegressionModel's Family, Link and Var elements.
struct GLMSpecNames {
  std::string family;
  std::string link;
  std::string variance;
};

// Resolves a family with an optional link and variance (empty = not given). The link
// defaults to the family's canonical link as R's families choose it (quasi: identity), the
// variance to the family's own variance function (quasi: constant). Throws:
//   "unknown family 'F'; accepted: gaussian, binomial, ..."
//   "unknown link 'L'; accepted: identity, logit, ..."
//   "unknown variance 'V'; accepted: constant, mu(1-mu), ..."
//   "variance 'V' applies only to the quasi family; family 'F' has variance 'W'"
//   and the family's own message when the link does not suit it.
GLMSpecNames glmSpecNames(const std::string& family, const std::string& link,
                          const std::string& variance);

// The accepted user names, in table order.
std::vector<std::string> glmFamilyUserNames();
std::vector<std::string> glmLinkUserNames();
std::vector<std::string> glmVarianceUserNames();
