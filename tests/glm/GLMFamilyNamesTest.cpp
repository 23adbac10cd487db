// The name texts of families, links and variances, and the three-name lookup.
#include "qmxmisc/glm/GLMFamilyNames.h"

#include <gtest/gtest.h>

#include <string>

#include "GlmTestSupport.h"
#include "support/RefCsv.h"

TEST(GLMFamilyNames, TablesMapTextsToCodesAndBack) {
  for (const RefRow& row : readRefCsv("glm", "family_names.csv")) {
    const std::string& text = row.text("text");
    const int code = static_cast<int>(row.num("code"));
    if (row.text("kind") == "family") {
      EXPECT_EQ(static_cast<int>(glmDistributionFromName(text).value()), code);
      EXPECT_STREQ(glmDistributionName(static_cast<GLMFamily::Distribution>(code)), text.c_str());
    } else if (row.text("kind") == "link") {
      EXPECT_EQ(static_cast<int>(glmLinkFromName(text).value()), code);
      EXPECT_STREQ(glmLinkName(static_cast<GLMLink::Link>(code)), text.c_str());
    } else {
      EXPECT_EQ(static_cast<int>(glmVarianceFromName(text)), code);
      EXPECT_STREQ(glmVarianceName(static_cast<GLMQuasiVariance::VARIANCES>(code)), text.c_str());
    }
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
  // An unknown variance selects code 0, which only the quasi family rejects (GLMFamilyTest).
  const auto unknownVariance = glmFamilyCodesFromNames("Quasi-likelihood", "Log: log(mu)", "mu");
  ASSERT_TRUE(unknownVariance.has_value());
  EXPECT_EQ(static_cast<int>(unknownVariance->variance), 0);

  // The family is looked up before the link (name_messages.tsv).
  for (const std::vector<std::string>& c : refTsvRecords("name_messages.tsv")) {
    if (c[0] == "document") {
      EXPECT_EQ(thrownMessage([&] { glmFamilyCodesFromNames(c[1], c[2], c[3]); }), c[4]);
    }
  }
}
