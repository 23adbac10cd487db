// The family factory: which class each distribution code makes, and its messages.
#include "qmxmisc/glm/QMX_NewFamily.h"

#include <gtest/gtest.h>

#include "GlmTestSupport.h"

TEST(QMX_NewFamily, MakesTheFamilyOfEachCode) {
  struct Case {
    int distribution, link;
    const char* distName;
    GLMFamily::Distribution type;
  };
  const Case cases[] = {
      {0, 0, "Gaussian", GLMFamily::Distribution::Gaussian},
      {1, 1, "Binomial", GLMFamily::Distribution::Binomial},
      {2, 2, "Poisson", GLMFamily::Distribution::Poisson},
      {3, 5, "GAMMA", GLMFamily::Distribution::Gamma},
      {4, 7, "INVGAUSSIAN", GLMFamily::Distribution::InvGaussian},
      {5, 3, "QUASI", GLMFamily::Distribution::Quasi},
      // Any other distribution code makes a Gaussian family.
      {6, 0, "Gaussian", GLMFamily::Distribution::Gaussian},
      {-1, 0, "Gaussian", GLMFamily::Distribution::Gaussian},
  };
  for (const Case& c : cases) {
    const auto family = QMX_NewFamily(c.distribution, c.link, 4);
    ASSERT_NE(family, nullptr);
    EXPECT_STREQ(family->distName(), c.distName);
    EXPECT_EQ(family->distType(), c.type);
    EXPECT_EQ(static_cast<int>(family->linkType()), c.link);
  }
  // The variance code is the quasi family's only: others ignore even undefined codes.
  EXPECT_NO_THROW(QMX_NewFamily(2, 2, 0));
  const auto quasi = QMX_NewFamily(GLMFamily::Distribution::Quasi, GLMLink::Link::Logit,
                                   GLMQuasiVariance::VARIANCES::Mu0);
  EXPECT_EQ(quasi->variance(0.5), 0.25);
}

TEST(QMX_NewFamily, PassesTheFamiliesMessagesThrough) {
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(1, 2, 0); },
                            "link function is incompatible with Binomial Family"));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(9, 1, 0); },
                            "link function is incompatible with Gaussian Family"));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(2, 5, 0); },
                            "link function is incompatible with Poisson Family"));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(3, 1, 0); },
                            "link function is incompatible with Gamma Family"));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(4, 5, 0); },
                            "link function is incompatible with Inverse Gaussian Family"));
}
