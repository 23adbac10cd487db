// The quasi-likelihood family: the inner family its link chooses, copies of its own, the
// variance codes. Values against R and the rejected links: GLMFamilyTest.
#include "qmxmisc/glm/FamilyQuasi.h"

#include <gtest/gtest.h>

#include "GlmTestSupport.h"

TEST(FamilyQuasi, InnerFamilyFollowsTheLink) {
  const std::pair<GLMLink::Link, const char*> cases[] = {
      {GLMLink::Link::Identity, "Gaussian"},
      {GLMLink::Link::Logit, "Binomial"},
      {GLMLink::Link::Probit, "Binomial"},
      {GLMLink::Link::CLogLog, "Binomial"},
      {GLMLink::Link::Log, "GAMMA"},
      {GLMLink::Link::Inverse, "GAMMA"},
      {GLMLink::Link::InverseSquare, "INVGAUSSIAN"},
  };
  for (const auto& [link, inner] : cases) {
    const FamilyQuasi quasi(link, GLMQuasiVariance::VARIANCES::Mu2);
    EXPECT_STREQ(quasi.innerFamily().distName(), inner);
    EXPECT_EQ(quasi.innerFamily().linkType(), link);
    const FamilyQuasi copy(quasi);
    EXPECT_NE(&copy.innerFamily(), &quasi.innerFamily());
    EXPECT_NE(&copy.varianceFunction(), &quasi.varianceFunction());
    EXPECT_EQ(copy.varianceFunction().varType(), GLMQuasiVariance::VARIANCES::Mu2);
  }
  for (int code = 1; code <= 5; ++code) {
    const auto variance = GLMQuasiVariance::create(static_cast<GLMQuasiVariance::VARIANCES>(code));
    EXPECT_EQ(static_cast<int>(variance->varType()), code);
  }
  for (const int code : {0, 6, -1}) {
    EXPECT_TRUE(throwsMessage(
        [&] { GLMQuasiVariance::create(static_cast<GLMQuasiVariance::VARIANCES>(code)); },
        "Undefined variance code"));
  }
}
