// The user names of families, links and variances against the document texts and R's default
// links (spec_names.csv), and the messages.
#include "qmxmisc/glm/GLMSpecNames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "support/RefCsv.h"

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

TEST(GLMSpecNames, DocumentNamesOfUserNames) {
  for (const RefRow& row : readRefCsv("glm", "spec_names.csv")) {
    SCOPED_TRACE(row.text("family") + "/" + row.text("link") + "/" + row.text("variance"));
    const GLMSpecNames names =
        glmSpecNames(row.text("family"), row.text("link"), row.text("variance"));
    EXPECT_EQ(names.family, row.text("docFamily"));
    EXPECT_EQ(names.link, row.text("docLink"));
    EXPECT_EQ(names.variance, row.text("docVariance"));
  }
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
