// Families against R's family objects (tests/ref/glm/family_values.R): variance, unit
// deviance and starting values; then names, accepted links and messages.
#include "qmxmisc/glm/GLMFamily.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "GlmRefCsv.h"
#include "GlmTestSupport.h"
#include "qmxmisc/glm/BinomialFamily.h"
#include "qmxmisc/glm/FamilyGamma.h"
#include "qmxmisc/glm/FamilyInvGaussian.h"
#include "qmxmisc/glm/FamilyQuasi.h"
#include "qmxmisc/glm/GLMClamp.h"
#include "qmxmisc/glm/GaussianFamily.h"
#include "qmxmisc/glm/LogLink.h"
#include "qmxmisc/glm/PoissonFamily.h"

// Tolerance: 1e-12 relative; deviances also 1e-14 absolute (they are differences of terms of
// order one, which cancel where y is close to mu).
TEST(GLMFamily, VarianceAndDevianceMatchR) {
  int checked = 0;
  for (const GlmRefRow& row : familyValues("variance")) {
    const auto family = familyFromR(row.text("family"), "-", row.text("variance"));
    EXPECT_TRUE(closeTo(family->variance(row.num("a")), row.num("value"), 1e-12, 0.0))
        << row.text("family") << " " << row.text("variance") << " V(" << row.text("a") << ")";
    ++checked;
  }
  for (const GlmRefRow& row : familyValues("dev.resids")) {
    const auto family = familyFromR(row.text("family"), "-", row.text("variance"));
    EXPECT_TRUE(
        closeTo(family->deviance(row.num("a"), row.num("b")), row.num("value"), 1e-12, 1e-14))
        << row.text("family") << " " << row.text("variance") << " d(" << row.text("a") << ", "
        << row.text("b") << ")";
    ++checked;
  }
  EXPECT_EQ(checked, 82 + 111);  // every row of the two kinds
}

// eta from family$initialize: binomial (0/1 responses and successes out of trials), Gamma,
// inverse Gaussian and Gaussian. Tolerance 1e-12 relative.
TEST(GLMFamily, StartingValuesMatchR) {
  int checked = 0;
  for (const GlmRefRow& row : familyValues("etastart")) {
    const auto family = familyFromR(row.text("family"), row.text("link"), "-");
    double y = row.num("a");
    double trials = row.num("b");
    family->initialize(1, &y, 1.0, trials > 0.0 ? &trials : nullptr);
    EXPECT_TRUE(closeTo(y, row.num("value"), 1e-12, 0.0))
        << row.text("family") << " " << row.text("link") << " y " << row.text("a") << " n "
        << row.text("b");
    ++checked;
  }
  EXPECT_EQ(checked, 45);
}

// Where the starting values differ from R's by design: the base rule takes g(y) for y >= eps
// and g(0.167) below (R's Poisson starts at y + 0.1); the binomial without trial counts takes
// g(0.25) below 0.5 and g(0.75) from 0.5 on (R's (y + 0.5)/2 agrees only at 0 and 1).
TEST(GLMFamily, StartingValuesOfTheFixedRules) {
  PoissonFamily poisson(GLMLink::Link::Log);
  std::vector<double> y = {0.0, 1e-300, 2.0, glm::kEps};
  poisson.initialize(static_cast<long>(y.size()), y.data(), 1.0, nullptr);
  EXPECT_TRUE(closeTo(y[0], -1.7897614665653818, 1e-15, 0.0));  // ln(0.167)
  EXPECT_EQ(y[1], y[0]);
  EXPECT_TRUE(closeTo(y[2], 0.69314718055994529, 1e-15, 0.0));
  EXPECT_TRUE(closeTo(y[3], -36.04365338911715, 1e-15, 0.0));  // g(eps), not g(0.167)

  BinomialFamily logit(GLMLink::Link::Logit);
  std::vector<double> p = {0.0, 0.2, 0.4999, 0.5, 0.9, 1.0};
  logit.initialize(static_cast<long>(p.size()), p.data(), 0.5, nullptr);
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(closeTo(p[i], -1.0986122886681098, 1e-15, 0.0));
  for (int i = 3; i < 6; ++i)
    EXPECT_TRUE(closeTo(p[i], 1.0986122886681098, 1e-15, 0.0));

  GaussianFamily gaussian(GLMLink::Link::Identity);
  std::vector<double> g = {-3.0, 0.0, 1e300};
  gaussian.initialize(3, g.data(), 0.0, nullptr);
  EXPECT_EQ(g, (std::vector<double>{-3.0, 0.0, 1e300}));

  // The quasi family starts as its inner family: Gamma for the log link.
  FamilyQuasi quasi(GLMLink::Link::Log, GLMQuasiVariance::VARIANCES::Mu1);
  std::vector<double> q = {0.0, 2.0};
  quasi.initialize(2, q.data(), 1.0, nullptr);
  std::vector<double> inner = {0.0, 2.0};
  FamilyGamma(GLMLink::Link::Log).initialize(2, inner.data(), 1.0, nullptr);
  EXPECT_EQ(q, inner);
}

// Deviances at the guards: finite where R's would be infinite, and the documented values at
// y = 0.
TEST(GLMFamily, DevianceAtTheGuards) {
  const PoissonFamily poisson(GLMLink::Link::Log);
  EXPECT_EQ(poisson.deviance(0.0, 3.5), 7.0);
  EXPECT_TRUE(std::isfinite(poisson.deviance(2.0, 0.0)));
  const BinomialFamily binomial(GLMLink::Link::Logit);
  EXPECT_TRUE(closeTo(binomial.deviance(0.0, 0.3), -2.0 * std::log1p(-0.3), 1e-15, 0.0));
  EXPECT_TRUE(closeTo(binomial.deviance(1.0, 0.0), 708.3964185322641, 1e-15, 0.0));  // -2 E_min
  EXPECT_TRUE(closeTo(binomial.deviance(0.0, 1.0), 708.3964185322641, 1e-15, 0.0));
  const FamilyGamma gamma(GLMLink::Link::Inverse);
  EXPECT_EQ(gamma.deviance(0.0, 1.0), -2.0);  // the ln y term is left out at y = 0
}

TEST(GLMFamily, NamesAndAcceptedLinks) {
  struct Case {
    GLMFamily::Distribution distribution;
    const char* distName;
    std::vector<int> accepted;
    const char* message;
  };
  const Case cases[] = {
      {GLMFamily::Distribution::Gaussian,
       "Gaussian",
       {0},
       "link function is incompatible with Gaussian Family"},
      {GLMFamily::Distribution::Binomial,
       "Binomial",
       {1, 3, 4},
       "link function is incompatible with Binomial Family"},
      {GLMFamily::Distribution::Poisson,
       "Poisson",
       {0, 2, 6},
       "link function is incompatible with Poisson Family"},
      {GLMFamily::Distribution::Gamma,
       "GAMMA",
       {0, 2, 5},
       "link function is incompatible with Gamma Family"},
      {GLMFamily::Distribution::InvGaussian,
       "INVGAUSSIAN",
       {7},
       "link function is incompatible with Inverse Gaussian Family"},
      {GLMFamily::Distribution::Quasi,
       "QUASI",
       {0, 1, 2, 3, 4, 5, 7},
       "Unreconigzed link type in Quasi family initialize"},
  };
  for (const Case& c : cases) {
    for (int linkCode = -1; linkCode <= 8; ++linkCode) {
      const bool accepted =
          std::find(c.accepted.begin(), c.accepted.end(), linkCode) != c.accepted.end();
      const auto make = [&] {
        return QMX_NewFamily(static_cast<int>(c.distribution), linkCode, 1);
      };
      if (!accepted) {
        EXPECT_TRUE(throwsMessage(make, c.message)) << c.distName << " link " << linkCode;
        continue;
      }
      const auto family = make();
      EXPECT_STREQ(family->distName(), c.distName);
      EXPECT_EQ(family->distType(), c.distribution);
      EXPECT_EQ(static_cast<int>(family->linkType()), linkCode);
      EXPECT_STREQ(family->linkName(), family->link().name());
      EXPECT_TRUE(family->valid());
      EXPECT_NO_THROW(family->validate());
      const auto copy = family->clone();
      EXPECT_NE(copy.get(), family.get());
      EXPECT_NE(&copy->link(), &family->link());  // the link is cloned, not shared
      EXPECT_STREQ(copy->distName(), c.distName);
      EXPECT_EQ(copy->linkType(), family->linkType());
      EXPECT_EQ(copy->variance(0.3), family->variance(0.3));
      EXPECT_EQ(copy->deviance(0.4, 0.3), family->deviance(0.4, 0.3));
    }
  }
}

TEST(GLMFamily, ConstructorsFromALinkObjectCloneIt) {
  const LogLink log;
  const PoissonFamily poisson(log);
  EXPECT_NE(&poisson.link(), static_cast<const GLMLink*>(&log));
  EXPECT_EQ(poisson.linkType(), GLMLink::Link::Log);
  const PoissonFamily copy(poisson);
  EXPECT_EQ(copy.linkType(), GLMLink::Link::Log);
  EXPECT_TRUE(throwsMessage([&] { BinomialFamily binomial(log); },
                            "link function is incompatible with Binomial Family"));
  EXPECT_TRUE(throwsMessage([&] { GaussianFamily gaussian(log); },
                            "link function is incompatible with Gaussian Family"));
  EXPECT_TRUE(throwsMessage([&] { FamilyInvGaussian ig(log); },
                            "link function is incompatible with Inverse Gaussian Family"));
  EXPECT_NO_THROW(FamilyGamma gamma(log));
  EXPECT_NO_THROW(FamilyQuasi quasi(log, GLMQuasiVariance::VARIANCES::Mu2));
}

namespace {

// A family without a link: what the base class guards against.
class LinklessFamily : public GLMFamily {
 public:
  const char* distName() const override { return "Linkless"; }
  Distribution distType() const override { return Distribution::Gaussian; }
  double deviance(double, double) const override { return 0.0; }
  double variance(double) const override { return 1.0; }
  std::unique_ptr<GLMFamily> clone() const override {
    validate();
    return std::make_unique<LinklessFamily>();
  }
};

}  // namespace

TEST(GLMFamily, WithoutALinkIsInvalid) {
  const LinklessFamily family;
  EXPECT_FALSE(family.valid());
  EXPECT_STREQ(family.linkName(), "????");
  EXPECT_TRUE(throwsMessage([&] { family.link(); }, "Invalid Family"));
  EXPECT_TRUE(throwsMessage([&] { family.linkType(); }, "Invalid Family"));
  EXPECT_TRUE(throwsMessage([&] { family.validate(); }, "Invalid Family"));
  EXPECT_TRUE(throwsMessage([&] { family.clone(); }, "Invalid Family"));
  double y = 1.0, eta = 0.0, dev = 0.0;
  EXPECT_TRUE(throwsMessage([&] { family.initialize(1, &y, 0.0, nullptr); }, "Invalid Family"));
  EXPECT_TRUE(throwsMessage([&] { family.eval(1, &y, &eta, nullptr, dev, nullptr); },
                            "link function is undefined"));
  TMatrix<double> ym(1, 1), wm(1, 1);
  EXPECT_TRUE(throwsMessage([&] { family.eval(ym, wm, dev, wm); }, "link function is undefined"));
}

TEST(GLMFamily, InitializeNeedsAResponse) {
  const int familyAndLink[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 2}, {4, 7}, {5, 2}};
  for (const auto& [distribution, link] : familyAndLink) {
    const auto family = QMX_NewFamily(distribution, link, 1);
    EXPECT_TRUE(
        throwsMessage([&] { family->initialize(1, nullptr, 0.0, nullptr); }, "internal error"))
        << family->distName();
  }
}

TEST(GLMFamily, BinomialTrialCountsAreChecked) {
  const BinomialFamily binomial(GLMLink::Link::Logit);
  double y[] = {1.0, 5.0};
  double trials[] = {2.0, 0.0};
  EXPECT_TRUE(throwsMessage([&] { binomial.initialize(2, y, 0.0, trials); },
                            "invalid Binomial parameter n = 0.000000"));
  trials[1] = 3.0;
  EXPECT_TRUE(throwsMessage([&] { binomial.initialize(2, y, 0.0, trials); },
                            "binomial n=3.000000 > number of successes 5.000000"));
  double eta[] = {0.0, 0.0};
  double dev = 0.0;
  y[0] = 1.0;
  y[1] = 5.0;
  trials[1] = 0.0;
  EXPECT_TRUE(throwsMessage([&] { binomial.eval(2, y, eta, nullptr, dev, trials); },
                            "invalid Binomial parameter n = 0.000000"));
  y[0] = 1.0;
  y[1] = 5.0;
  trials[1] = 3.0;
  EXPECT_TRUE(throwsMessage(
      [&] { binomial.eval(2, y, eta, nullptr, dev, trials); },
      "binomial parameter n = 3.000000 cannot be less than the observed successes = 5.000000"));
}
