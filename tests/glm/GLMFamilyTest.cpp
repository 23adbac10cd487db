// Links, families and quasi variances against R (family_values.R: make.link, the families'
// variance, dev.resids and initialize) and at the fixed guards where they differ from R by
// design (family_fixed.csv); the family factory, the accepted links and the messages.
#include "qmxmisc/glm/GLMFamily.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GlmTestSupport.h"
#include "qmxmisc/glm/GLMClamp.h"
#include "support/RefCsv.h"

namespace {

// The value a row of family_values.csv asks for: a link's linkfun, linkinv or mu.eta at a; a
// clamp (clampRange, clampEta) at a;
// a family's variance at a, unit deviance at (a, b) or starting linear predictor for y = a
// (successes out of b trials when b > 0).
double valueOf(const RefRow& row) {
  const std::string& what = row.text("what");
  const double a = row.num("a");
  double b = row.num("b");
  if (what == "clampRange") return glm::clampRange(a);
  if (what == "clampEta") return glm::clampEta(a);
  if (row.text("family") == "-") {
    const std::unique_ptr<GLMLink> link = GLMLink::create(linkFromR(row.text("link")));
    double mu = 0.0, dmudeta = 0.0;
    link->evalDeriv(a, mu, dmudeta);
    // Scoring's inverse equals the fit's mean, except where the fit's logit holds mu eps away
    // from 0 and 1 (|eta| > 30) and scoring keeps e/(e+1), as the C scoring library does.
    if (what == "linkinv" && !(row.text("link") == "logit" && std::fabs(a) > 30.0)) {
      EXPECT_TRUE(qmxtest::near(link->evalInv(a), mu, 0.0, 0.0)) << a;
    }
    return what == "linkfun" ? link->eval(a) : what == "linkinv" ? mu : dmudeta;
  }
  const auto family = familyFromR(row.text("family"), row.text("link"), row.text("variance"));
  if (what == "variance") return family->variance(a);
  if (what == "dev.resids") return family->deviance(a, b);
  double y = a;
  family->initialize(1, &y, 1.0, b > 0.0 ? &b : nullptr);
  return y;
}

bool boundedMean(const std::string& link) {
  return link == "logit" || link == "probit" || link == "cloglog";
}

}  // namespace

// R's values: 1e-12 relative; plus 1e-15 absolute for the mean and dmu/deta of the links of a
// probability (one ulp of 1 in 1 - mu) and 1e-14 for deviances (cancelling terms near y = mu).
TEST(GLMFamily, ValuesMatchR) {
  const std::vector<RefRow> rows = readRefCsv("glm", "family_values.csv");
  ASSERT_EQ(rows.size(), 434u);
  for (const RefRow& row : rows) {
    const std::string& what = row.text("what");
    const double absTol = what == "dev.resids"                                 ? 1e-14
                          : what != "linkfun" && boundedMean(row.text("link")) ? 1e-15
                                                                               : 0.0;
    EXPECT_TRUE(qmxtest::near(valueOf(row), row.num("value"), 1e-12, absTol))
        << what << " " << row.text("family") << " " << row.text("link") << " "
        << row.text("variance") << " at " << row.text("a") << ", " << row.text("b");
  }
}

TEST(GLMFamily, FixedGuardValues) {
  for (const RefRow& row : readRefCsv("glm", "family_fixed.csv")) {
    EXPECT_TRUE(qmxtest::near(valueOf(row), row.num("value"), row.num("rel"), row.num("abs")))
        << row.text("what") << " " << row.text("family") << " " << row.text("link") << " "
        << row.text("variance") << " at " << row.text("a") << ", " << row.text("b");
  }
}

// The factory by distribution and link code (family_links.csv): the class, its names and a
// clone of its own, or the family's message for a link it does not take.
TEST(GLMFamily, FactoryAndAcceptedLinks) {
  for (const RefRow& row : readRefCsv("glm", "family_links.csv")) {
    const int distribution = static_cast<int>(row.num("distribution"));
    const std::string accepted = " " + row.text("accepted") + " ";
    for (int linkCode = -1; linkCode <= 9; ++linkCode) {
      SCOPED_TRACE(row.text("distName") + " link " + std::to_string(linkCode));
      const auto make = [&] { return QMX_NewFamily(distribution, linkCode, 1); };
      if (accepted.find(" " + std::to_string(linkCode) + " ") == std::string::npos) {
        EXPECT_TRUE(throwsMessage(make, row.text("message")));
        continue;
      }
      const auto family = make();
      EXPECT_EQ(family->distName(), row.text("distName"));
      EXPECT_EQ(static_cast<int>(family->distType()),
                distribution >= 0 && distribution <= 5 ? distribution : 0);
      EXPECT_EQ(static_cast<int>(family->linkType()), linkCode);
      EXPECT_STREQ(family->linkName(), family->link().name());
      const auto copy = family->clone();
      EXPECT_NE(&copy->link(), &family->link());
      EXPECT_EQ(copy->distName(), row.text("distName"));
      EXPECT_EQ(copy->deviance(0.4, 0.3), family->deviance(0.4, 0.3));
    }
  }
  // The variance code is the quasi family's only: others ignore even undefined codes.
  EXPECT_NO_THROW(QMX_NewFamily(2, 2, 0));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(5, 2, 6); }, "Undefined variance code"));
  EXPECT_TRUE(throwsMessage([] { QMX_NewFamily(5, 2, 0); }, "Undefined variance code"));
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

TEST(GLMFamily, Messages) {
  const LinklessFamily linkless;
  EXPECT_FALSE(linkless.valid());
  EXPECT_STREQ(linkless.linkName(), "????");
  double y = 1.0, eta = 0.0, dev = 0.0;
  TMatrix<double> ym(1, 1);
  const std::vector<std::pair<std::function<void()>, const char*>> cases = {
      {[&] { linkless.link(); }, "Invalid Family"},
      {[&] { linkless.linkType(); }, "Invalid Family"},
      {[&] { linkless.clone(); }, "Invalid Family"},
      {[&] { linkless.initialize(1, &y, 0.0, nullptr); }, "Invalid Family"},
      {[&] { linkless.eval(1, &y, &eta, nullptr, dev, nullptr); }, "link function is undefined"},
      {[&] { linkless.eval(ym, ym, dev, ym); }, "link function is undefined"},
      {[] { QMX_NewFamily(3, 2, 1)->initialize(1, nullptr, 0.0, nullptr); }, "internal error"},
  };
  for (const auto& [call, message] : cases)
    EXPECT_TRUE(throwsMessage(call, message));
  // Successes out of trials: counts are checked before anything is computed.
  const auto binomial = QMX_NewFamily(1, 1, 1);
  const std::vector<std::pair<double, const char*>> trialCases = {
      {0.0, "invalid Binomial parameter n = 0.000000"},
      {3.0, "binomial n=3.000000 > number of successes 5.000000"}};
  for (const auto& [n, message] : trialCases) {
    double successes[] = {1.0, 5.0}, trials[] = {2.0, n};
    EXPECT_TRUE(throwsMessage([&] { binomial->initialize(2, successes, 0.0, trials); }, message));
  }
  double successes[] = {1.0, 5.0}, trials[] = {2.0, 3.0}, etas[] = {0.0, 0.0};
  EXPECT_TRUE(throwsMessage(
      [&] { binomial->eval(2, successes, etas, nullptr, dev, trials); },
      "binomial parameter n = 3.000000 cannot be less than the observed successes = 5.000000"));
}
