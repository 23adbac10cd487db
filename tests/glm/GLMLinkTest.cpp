// Links against R's make.link (tests/ref/glm/family_values.R) where R applies no guard of its
// own, and the fixed clamps where our links differ from R's by design.
#include "qmxmisc/glm/GLMLink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "GlmRefCsv.h"
#include "GlmTestSupport.h"
#include "qmxmisc/glm/GLMClamp.h"
#include "qmxmisc/glm/IdentityLink.h"
#include "qmxmisc/glm/LogitLink.h"

namespace {

bool boundedMean(GLMLink::Link type) {
  return type == GLMLink::Link::Logit || type == GLMLink::Link::Probit ||
         type == GLMLink::Link::CLogLog;
}

}  // namespace

// Tolerance: 1e-12 relative. For the links of a probability (logit, probit, cloglog) mu and
// dmu/deta also get 1e-15 absolute: mu near 1 carries an absolute rounding of one ulp of 1
// into 1 - mu, which these links (by their fixed formulas) use.
TEST(GLMLink, MatchesRMakeLink) {
  int checked = 0;
  for (const GlmRefRow& row : readGlmRefCsv("family_values.csv")) {
    const std::string& what = row.text("what");
    if (what != "linkfun" && what != "linkinv" && what != "mu.eta") continue;
    const GLMLink::Link type = linkFromR(row.text("link"));
    const std::unique_ptr<GLMLink> link = GLMLink::create(type);
    ASSERT_NE(link, nullptr);
    const double arg = row.num("a");
    const double expected = row.num("value");
    const double absTol = what != "linkfun" && boundedMean(type) ? 1e-15 : 0.0;
    double actual = 0.0;
    if (what == "linkfun") {
      actual = link->eval(arg);
    } else {
      double mu = 0.0, dmudeta = 0.0;
      link->evalDeriv(arg, mu, dmudeta);
      actual = what == "linkinv" ? mu : dmudeta;
      if (what == "linkinv") {
        EXPECT_TRUE(closeTo(link->evalInv(arg), expected, 1e-12, absTol)) << row.text("link");
      }
    }
    EXPECT_TRUE(closeTo(actual, expected, 1e-12, absTol))
        << what << " " << row.text("link") << " at " << arg;
    ++checked;
  }
  EXPECT_EQ(checked, 86 + 55 + 55);  // every row of the three kinds
}

TEST(GLMLink, NamesTypesAndClones) {
  struct Case {
    GLMLink::Link type;
    const char* name;
  };
  const Case cases[] = {
      {GLMLink::Link::Identity, "identity"},
      {GLMLink::Link::Logit, "logit"},
      {GLMLink::Link::Log, "log"},
      {GLMLink::Link::Probit, "LINKPROBIT"},
      {GLMLink::Link::CLogLog, "LINKCLOGLOG"},
      {GLMLink::Link::Inverse, "LINKINVERSE"},
      {GLMLink::Link::Sqrt, "LINKSQRT"},
      {GLMLink::Link::InverseSquare, "LINKMU2INV"},
  };
  int code = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(c.type), code++);
    const std::unique_ptr<GLMLink> link = GLMLink::create(c.type);
    ASSERT_NE(link, nullptr);
    EXPECT_STREQ(link->name(), c.name);
    EXPECT_EQ(link->type(), c.type);
    const std::unique_ptr<GLMLink> copy = link->clone();
    EXPECT_NE(copy.get(), link.get());
    EXPECT_EQ(copy->type(), c.type);
    EXPECT_EQ(copy->eval(0.3), link->eval(0.3));
  }
  EXPECT_EQ(GLMLink::create(static_cast<GLMLink::Link>(8)), nullptr);
  EXPECT_EQ(GLMLink::create(static_cast<GLMLink::Link>(-1)), nullptr);
  // One static identity link for the life of the library.
  EXPECT_EQ(&GLMLink::identity(), &GLMLink::identity());
  EXPECT_EQ(GLMLink::identity().type(), GLMLink::Link::Identity);
}

TEST(GLMLink, MatrixFormsApplyTheScalarOnesElementwise) {
  const double values[] = {0.1, 0.25, 0.5, 0.9, 0.99, 0.3};
  TMatrix<double> mu(values, 3, 2, strVector{"a", "b", "c"}, strVector{"u", "v"});
  for (int code = 0; code < 8; ++code) {
    const auto link = GLMLink::create(static_cast<GLMLink::Link>(code));
    const TMatrix<double> eta = link->eval(mu);
    const TMatrix<double> back = link->evalInv(eta);
    ASSERT_EQ(eta.getNRow(), 3);
    ASSERT_EQ(eta.getNCol(), 2);
    EXPECT_EQ(eta.getRowNames(), mu.getRowNames());
    EXPECT_EQ(eta.getColNames(), mu.getColNames());
    for (long k = 0; k < mu.size(); ++k) {
      EXPECT_EQ(eta[k], link->eval(values[k])) << link->name();
      EXPECT_EQ(back[k], link->evalInv(eta[k])) << link->name();
      // Round trip g^-1(g(mu)) = mu within 1e-14 relative.
      EXPECT_TRUE(closeTo(back[k], values[k], 1e-14, 0.0)) << link->name();
    }
    EXPECT_EQ(mu[0], 0.1);  // the argument is untouched
    EXPECT_EQ(link->eval(TMatrix<double>()).size(), 0);
  }
}

// The guards are exact values of the fixed constants, not R's: R's logit switches to
// eps and 1 - eps beyond |eta| = 30, its log link floors mu at eps, its probit clamps eta at
// -qnorm(eps) and floors dmu/deta at eps, its cloglog keeps mu inside [eps, 1 - eps].
TEST(GLMLink, ClampsAtTheFixedConstants) {
  const LogitLink logit;
  EXPECT_EQ(logit.eval(0.0), -36.04365338911715);
  EXPECT_EQ(logit.eval(1.0), 36.04365338911715);
  EXPECT_EQ(logit.eval(1e-300), glm::kLogEps);
  EXPECT_EQ(logit.eval(glm::kOneMinusEps), -glm::kLogEps);
  double mu = 0.0, dmudeta = 0.0;
  logit.evalDeriv(1000.0, mu, dmudeta);  // exp is never taken above 354.891356446692
  EXPECT_EQ(mu, 1.0);
  EXPECT_EQ(dmudeta, 0.0);
  EXPECT_EQ(logit.evalInv(1000.0), 1.0);
  EXPECT_EQ(logit.evalInv(1000.0), logit.evalInv(354.891356446692));
  EXPECT_EQ(logit.evalInv(-1000.0), logit.evalInv(-354.19820926613204));
  EXPECT_GT(logit.evalInv(-1000.0), 0.0);

  const auto log = GLMLink::create(GLMLink::Link::Log);
  EXPECT_TRUE(closeTo(log->eval(0.0), glm::kExpMin, 1e-15, 0.0));
  EXPECT_EQ(log->eval(-3.0), log->eval(0.0));
  EXPECT_TRUE(closeTo(log->eval(1e300), glm::kExpMax, 1e-15, 0.0));
  log->evalDeriv(1000.0, mu, dmudeta);
  EXPECT_TRUE(std::isfinite(mu));
  EXPECT_TRUE(closeTo(mu, glm::kSqrtMax, 1e-13, 0.0));
  EXPECT_EQ(dmudeta, mu);
  EXPECT_TRUE(closeTo(log->evalInv(-1000.0), glm::kSqrtMin, 1e-13, 0.0));

  const auto cloglog = GLMLink::create(GLMLink::Link::CLogLog);
  cloglog->evalDeriv(1000.0, mu, dmudeta);
  EXPECT_EQ(mu, 1.0);
  EXPECT_EQ(dmudeta, glm::kEps);  // -(1-mu) ln(1-mu) = 0, floored at eps
  cloglog->evalDeriv(-1000.0, mu, dmudeta);
  EXPECT_EQ(mu, 0.0);
  EXPECT_EQ(dmudeta, glm::kEps);
  EXPECT_TRUE(closeTo(cloglog->eval(1.0), 5.86985666962204, 1e-14, 0.0));  // ln(-E_min)
  EXPECT_TRUE(closeTo(cloglog->eval(0.0), glm::kExpMin, 1e-15, 0.0));
  EXPECT_EQ(cloglog->evalInv(1000.0), 1.0);

  const auto probit = GLMLink::create(GLMLink::Link::Probit);
  probit->evalDeriv(40.0, mu, dmudeta);
  EXPECT_EQ(mu, 1.0);
  EXPECT_EQ(dmudeta, 0.0);  // no floor
  EXPECT_EQ(probit->eval(0.0), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(probit->eval(1.0), std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(probit->eval(std::nan(""))));
  EXPECT_TRUE(std::isnan(probit->evalInv(std::nan(""))));

  // The square-root link's derivative is 2 sqrt(mu): 4 at eta = -2, where R's is -4.
  const auto sqrtLink = GLMLink::create(GLMLink::Link::Sqrt);
  sqrtLink->evalDeriv(-2.0, mu, dmudeta);
  EXPECT_EQ(mu, 4.0);
  EXPECT_EQ(dmudeta, 4.0);
}
