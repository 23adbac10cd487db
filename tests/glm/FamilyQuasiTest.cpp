// The quasi-likelihood family: its variance object, its inner family, and its messages.
#include "qmxmisc/glm/FamilyQuasi.h"

#include <gtest/gtest.h>

#include "GlmTestSupport.h"
#include "qmxmisc/glm/GLMLink.h"

TEST(FamilyQuasi, InnerFamilyFollowsTheLink) {
  struct Case {
    GLMLink::Link link;
    const char* inner;
  };
  const Case cases[] = {
      {GLMLink::Link::Identity, "Gaussian"},
      {GLMLink::Link::Logit, "Binomial"},
      {GLMLink::Link::Probit, "Binomial"},
      {GLMLink::Link::CLogLog, "Binomial"},
      {GLMLink::Link::Log, "GAMMA"},
      {GLMLink::Link::Inverse, "GAMMA"},
      {GLMLink::Link::InverseSquare, "INVGAUSSIAN"},
  };
  for (const Case& c : cases) {
    const FamilyQuasi quasi(c.link, GLMQuasiVariance::VARIANCES::Mu2);
    EXPECT_STREQ(quasi.innerFamily().distName(), c.inner);
    EXPECT_EQ(quasi.innerFamily().linkType(), c.link);
    EXPECT_EQ(quasi.linkType(), c.link);
    EXPECT_TRUE(quasi.valid());
    const FamilyQuasi copy(quasi);
    EXPECT_NE(&copy.innerFamily(), &quasi.innerFamily());
    EXPECT_NE(&copy.varianceFunction(), &quasi.varianceFunction());
    EXPECT_EQ(copy.varianceFunction().varType(), GLMQuasiVariance::VARIANCES::Mu2);
    EXPECT_STREQ(copy.innerFamily().distName(), c.inner);
  }
}

TEST(FamilyQuasi, VarianceAndDevianceComeFromTheVarianceObject) {
  for (int code = 1; code <= 5; ++code) {
    const auto varianceCode = static_cast<GLMQuasiVariance::VARIANCES>(code);
    const FamilyQuasi quasi(GLMLink::Link::Log, varianceCode);
    const auto variance = GLMQuasiVariance::create(varianceCode);
    for (const double mu : {0.2, 0.7, 3.0}) {
      EXPECT_EQ(quasi.variance(mu), variance->variance(mu));
      EXPECT_EQ(quasi.deviance(0.4, mu), variance->deviance(0.4, mu));
    }
    EXPECT_EQ(quasi.varianceFunction().varType(), varianceCode);
  }
}

TEST(FamilyQuasi, RejectsTheSquareRootLinkAndUnknownVariances) {
  EXPECT_TRUE(throwsMessage(
      [] { FamilyQuasi quasi(GLMLink::Link::Sqrt, GLMQuasiVariance::VARIANCES::Mu1); },
      "Unreconigzed link type in Quasi family initialize"));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(5, 6, 1); },
                            "Unreconigzed link type in Quasi family initialize"));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(5, 9, 1); },
                            "Unreconigzed link type in Quasi family initialize"));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(5, 2, 6); }, "Undefined variance code"));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(5, 2, 0); }, "Undefined variance code"));
  // The link is checked before the variance code.
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(5, 6, 6); },
                            "Unreconigzed link type in Quasi family initialize"));
}
