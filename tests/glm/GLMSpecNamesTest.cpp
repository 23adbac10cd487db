// The user names of families, links and variances against the document texts, the default
// links of R's family objects (gaussian()$link, binomial()$link, ...) and the messages.
#include "qmxmisc/glm/GLMSpecNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"

namespace {

std::string failure(const std::string& family, const std::string& link,
                    const std::string& variance) {
  try {
    glmSpecNames(family, link, variance);
  } catch (const QMXException& e) {
    return e.message() ? e.message() : "";
  }
  return "no failure";
}

}  // namespace

TEST(GLMSpecNames, DefaultsFollowRFamilies) {
  struct Case {
    const char* family;
    GLMSpecNames expected;
  };
  // R 4.2: gaussian()$link "identity", binomial() "logit", poisson() "log", Gamma() "inverse",
  // inverse.gaussian() "1/mu^2", quasi() "identity" with variance "constant".
  const std::vector<Case> cases = {
      {"gaussian", {"Gaussian", "Identity: mu", "Constant: 1"}},
      {"binomial", {"Binomial", "Logit: log(mu/(1 - mu))", "Binomial: mu(1-mu)"}},
      {"poisson", {"Poisson", "Log: log(mu)", "Identity: mu"}},
      {"gamma", {"Gamma", "Inverse: 1/mu", "Square: mu^2"}},
      {"Gamma", {"Gamma", "Inverse: 1/mu", "Square: mu^2"}},
      {"inverse.gaussian", {"Inverse Gaussian", "Inverse Square: 1/mu^2", "Cube: mu^3"}},
      {"Inverse Gaussian", {"Inverse Gaussian", "Inverse Square: 1/mu^2", "Cube: mu^3"}},
      {"quasi", {"Quasi-likelihood", "Identity: mu", "Constant: 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    const GLMSpecNames names = glmSpecNames(c.family, "", "");
    EXPECT_EQ(names.family, c.expected.family);
    EXPECT_EQ(names.link, c.expected.link);
    EXPECT_EQ(names.variance, c.expected.variance);
  }
}

TEST(GLMSpecNames, LinksAndVariancesByUserName) {
  struct LinkCase {
    const char* family;
    const char* user;
    const char* text;
  };
  // Each link with a family that accepts it (the quasi family has no square-root link).
  const std::vector<LinkCase> links = {
      {"quasi", "identity", "Identity: mu"},
      {"binomial", "logit", "Logit: log(mu/(1 - mu))"},
      {"quasi", "log", "Log: log(mu)"},
      {"binomial", "probit", "Probit: qnorm(mu)"},
      {"binomial", "cloglog", "Complementary Log: log( - log(1 - mu))"},
      {"gamma", "inverse", "Inverse: 1/mu"},
      {"poisson", "sqrt", "Square Root: sqrt(mu)"},
      {"inverse.gaussian", "1/mu^2", "Inverse Square: 1/mu^2"},
      {"poisson", "Log: log(mu)", "Log: log(mu)"},
  };
  for (const LinkCase& c : links) {
    SCOPED_TRACE(c.user);
    EXPECT_EQ(glmSpecNames(c.family, c.user, "").link, c.text);
  }
  const std::vector<std::pair<std::string, std::string>> variances = {
      {"constant", "Constant: 1"}, {"mu(1-mu)", "Binomial: mu(1-mu)"},
      {"mu", "Identity: mu"},      {"mu^2", "Square: mu^2"},
      {"mu^3", "Cube: mu^3"},      {"Cube: mu^3", "Cube: mu^3"},
  };
  for (const auto& [user, text] : variances) {
    SCOPED_TRACE(user);
    EXPECT_EQ(glmSpecNames("quasi", "log", user).variance, text);
  }
  // A family's own variance may be named; binomial with probit.
  const GLMSpecNames binomial = glmSpecNames("binomial", "probit", "mu(1-mu)");
  EXPECT_EQ(binomial.link, "Probit: qnorm(mu)");
  EXPECT_EQ(binomial.variance, "Binomial: mu(1-mu)");
  EXPECT_EQ(glmFamilyUserNames().size(), 6u);
  EXPECT_EQ(glmLinkUserNames().size(), 8u);
  EXPECT_EQ(glmVarianceUserNames().size(), 5u);
}

TEST(GLMSpecNames, Failures) {
  EXPECT_EQ(failure("normal", "", ""),
            "unknown family 'normal'; accepted: gaussian, binomial, poisson, gamma, "
            "inverse.gaussian, quasi");
  EXPECT_EQ(failure("gaussian", "cauchit", ""),
            "unknown link 'cauchit'; accepted: identity, logit, log, probit, cloglog, inverse, "
            "sqrt, 1/mu^2");
  EXPECT_EQ(failure("quasi", "", "mu^4"),
            "unknown variance 'mu^4'; accepted: constant, mu(1-mu), mu, mu^2, mu^3");
  EXPECT_EQ(failure("binomial", "", "constant"),
            "variance 'constant' applies only to the quasi family; family 'binomial' has "
            "variance 'mu(1-mu)'");
  EXPECT_EQ(failure("poisson", "logit", ""), "link function is incompatible with Poisson Family");
}
