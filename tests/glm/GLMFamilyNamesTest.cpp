// The name texts of families, links and variances, and the three-name lookup.
#include "qmxmisc/glm/GLMFamilyNames.h"

#include <gtest/gtest.h>

#include <string>

#include "GlmTestSupport.h"

TEST(GLMFamilyNames, TablesMapTextsToCodesAndBack) {
  const char* families[] = {"Gaussian", "Binomial",         "Poisson",
                            "Gamma",    "Inverse Gaussian", "Quasi-likelihood"};
  for (int code = 0; code < 6; ++code) {
    const auto distribution = glmDistributionFromName(families[code]);
    ASSERT_TRUE(distribution.has_value()) << families[code];
    EXPECT_EQ(static_cast<int>(*distribution), code);
    EXPECT_STREQ(glmDistributionName(*distribution), families[code]);
  }
  const char* links[] = {"Identity: mu",
                         "Logit: log(mu/(1 - mu))",
                         "Log: log(mu)",
                         "Probit: qnorm(mu)",
                         "Complementary Log: log( - log(1 - mu))",
                         "Inverse: 1/mu",
                         "Square Root: sqrt(mu)",
                         "Inverse Square: 1/mu^2"};
  for (int code = 0; code < 8; ++code) {
    const auto link = glmLinkFromName(links[code]);
    ASSERT_TRUE(link.has_value()) << links[code];
    EXPECT_EQ(static_cast<int>(*link), code);
    EXPECT_STREQ(glmLinkName(*link), links[code]);
  }
  const char* variances[] = {"Constant: 1", "Binomial: mu(1-mu)", "Identity: mu", "Square: mu^2",
                             "Cube: mu^3"};
  for (int code = 1; code <= 5; ++code) {
    const auto variance = glmVarianceFromName(variances[code - 1]);
    EXPECT_EQ(static_cast<int>(variance), code);
    EXPECT_STREQ(glmVarianceName(variance), variances[code - 1]);
  }
  // Exact texts only: case, spacing and R's own names are not recognised.
  EXPECT_FALSE(glmDistributionFromName("gaussian").has_value());
  EXPECT_FALSE(glmDistributionFromName("binomial").has_value());
  EXPECT_FALSE(glmLinkFromName("logit").has_value());
  EXPECT_FALSE(glmLinkFromName("Logit: log(mu/(1-mu))").has_value());
  EXPECT_EQ(static_cast<int>(glmVarianceFromName("mu^2")), 0);
  EXPECT_EQ(glmDistributionName(static_cast<GLMFamily::Distribution>(6)), nullptr);
  EXPECT_EQ(glmLinkName(static_cast<GLMLink::Link>(8)), nullptr);
  EXPECT_EQ(glmVarianceName(static_cast<GLMQuasiVariance::VARIANCES>(0)), nullptr);
}

TEST(GLMFamilyNames, ThreeNameLookup) {
  EXPECT_FALSE(glmFamilyCodesFromNames("", "", "").has_value());
  const auto codes = glmFamilyCodesFromNames("Binomial", "Logit: log(mu/(1 - mu))", "Constant: 1");
  ASSERT_TRUE(codes.has_value());
  EXPECT_EQ(codes->distribution, GLMFamily::Distribution::Binomial);
  EXPECT_EQ(codes->link, GLMLink::Link::Logit);
  EXPECT_EQ(codes->variance, GLMQuasiVariance::VARIANCES::Constant);
  // An unknown variance selects code 0, which only the quasi family rejects.
  const auto unknownVariance = glmFamilyCodesFromNames("Quasi-likelihood", "Log: log(mu)", "mu");
  ASSERT_TRUE(unknownVariance.has_value());
  EXPECT_EQ(static_cast<int>(unknownVariance->variance), 0);
  EXPECT_TRUE(throwsMessage(
      [&] {
        QMX_NewFamily(unknownVariance->distribution, unknownVariance->link,
                      unknownVariance->variance);
      },
      "Undefined variance code"));

  const char* const partial[][3] = {
      {"Binomial", "", ""},
      {"", "Log: log(mu)", ""},
      {"", "", "Constant: 1"},
      {"Binomial", "Logit: log(mu/(1 - mu))", ""},
      {"", "Log: log(mu)", "Constant: 1"},
  };
  for (const auto& names : partial) {
    EXPECT_TRUE(throwsMessage([&] { glmFamilyCodesFromNames(names[0], names[1], names[2]); },
                              "Family,link or variance has not been specified."));
  }
  EXPECT_TRUE(throwsMessage([] { glmFamilyCodesFromNames("Normal", "Identity: mu", "x"); },
                            "No such family: Normal"));
  EXPECT_TRUE(throwsMessage([] { glmFamilyCodesFromNames("Gamma", "logit", "Constant: 1"); },
                            "No such link: logit"));
  // The family is looked up before the link.
  EXPECT_TRUE(throwsMessage([] { glmFamilyCodesFromNames("Normal", "logit", "Constant: 1"); },
                            "No such family: Normal"));
}
