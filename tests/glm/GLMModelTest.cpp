// GLMModel: family selection by code and by name with its messages, the owned family (cloned
// on copy), erase, the chunk helpers without a family, and those of scoring compared with R's
// glm.fit quantities (tests/ref/glm/glm_model_helpers.csv).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "GlmTestSupport.h"
#include "qmxmisc/glm/GLMModel.h"
#include "support/RefCsv.h"

namespace {

TMatrix<double> column(const std::vector<double>& values) {
  return TMatrix<double>(values.data(), static_cast<long>(values.size()));
}

}  // namespace

// The scoring proc's weights and dmu/deta and the variances; getWorkResp and computeNullDev
// pass to the family (GLMFamilyEvalTest) and are checked against R through QMXProcIGLMTest.
TEST(GLMModel, ChunkHelpersMatchR) {
  for (const char* family : {"poisson", "binomial"}) {
    SCOPED_TRACE(family);
    std::map<std::string, std::vector<double>> rows;
    for (const RefRow& row : readRefCsv("glm", "glm_model_helpers.csv"))
      for (const char* name : {"eta", "mu", "mu.eta", "variance", "weight", "prior"})
        if (row.text("family") == family) rows[name].push_back(row.num(name));
    GLMModel model;
    model.setFamily(family == std::string("poisson") ? GLMFamily::Distribution::Poisson
                                                     : GLMFamily::Distribution::Binomial,
                    family == std::string("poisson") ? GLMLink::Link::Log : GLMLink::Link::Logit);
    TMatrix<double> w, dmudeta;
    model.FitWeightsDMuDEta(column(rows["eta"]), w, dmudeta);
    const TMatrix<double> variance = model.computeVariance(column(rows["mu"]));
    for (std::size_t at = 0; at < rows["eta"].size(); ++at) {
      const long i = static_cast<long>(at);
      EXPECT_TRUE(qmxtest::near(dmudeta(i), rows["mu.eta"][at], 1e-14, 0));
      EXPECT_TRUE(qmxtest::near(w(i), rows["weight"][at] / rows["prior"][at], 1e-13, 0));
      EXPECT_TRUE(qmxtest::near(variance(i), rows["variance"][at], 1e-14, 0));
    }
  }
}

TEST(GLMModel, HelpersWithoutFamilyUseTheIdentity) {
  GLMModel model;
  const std::vector<double> eta = {1.0, -2.0, 0.5};
  const std::vector<double> y = {2.0, -2.0, 0.0};
  TMatrix<double> w, dmudeta;
  model.FitWeightsDMuDEta(column(eta), w, dmudeta);
  EXPECT_EQ(model.computeVariance(column(y))(2), 1.0);
  TMatrix<double> response = column(y);
  TMatrix<double> weights = column({3.0, 4.0, 5.0});
  double deviance = 0.5;
  model.getWorkResp(response, weights, deviance, column(eta));
  EXPECT_EQ(deviance, 0.5 + 1.0 + 0.0 + 0.25);
  const auto values = [](const TMatrix<double>& m) {
    return std::vector<double>(m.constData(), m.constData() + m.size());
  };
  EXPECT_EQ(values(w), values(dmudeta));
  EXPECT_EQ(values(weights), (std::vector<double>{1.0, 1.0, 1.0}));
  EXPECT_EQ(values(w), values(weights));
  EXPECT_EQ(values(response), y);
  // Null deviance: squared differences, weight 1 without weights.
  EXPECT_EQ(model.computeNullDev(column(y), TMatrix<double>(), 0.0), 8.0);
}

TEST(GLMModel, InvalidFamilyMessages) {
  const GLMModel model;
  const std::vector<std::function<void()>> calls = {
      [&] { model.distType(); }, [&] { model.linkType(); }, [&] { model.distName(); },
      [&] { model.linkName(); }, [&] { model.link(); },     [&] { model.family(); }};
  for (const auto& call : calls)
    EXPECT_TRUE(throwsMessage(call, "Invalid Family"));
  EXPECT_TRUE(model.isGaussianIdentity());
}

TEST(GLMModel, SetFamilyByName) {
  // The name lookup's messages are GLMFamilyNames' own; here what a failure leaves behind.
  GLMModel model;
  model.setFamily(String("Poisson"), String("Log: log(mu)"), String("Identity: mu"));
  EXPECT_EQ(model.linkType(), GLMLink::Link::Log);
  EXPECT_STREQ(model.distName(), "Poisson");
  EXPECT_EQ(model.getVarName(), String("Identity: mu"));
  EXPECT_FALSE(model.isGaussianIdentity());
  model.setFamily(String(), String(), String());  // all empty: unchanged
  EXPECT_EQ(model.distType(), GLMFamily::Distribution::Poisson);
  // A rejected name leaves the family; a rejected family has replaced the old one.
  EXPECT_TRUE(throwsMessage(
      [&] { model.setFamily(String("Weibull"), String("Log: log(mu)"), String("Constant: 1")); },
      "No such family: Weibull"));
  EXPECT_EQ(model.getFamilyName(), String("Poisson"));
  EXPECT_TRUE(throwsMessage(
      [&] { model.setFamily(String("Binomial"), String("Log: log(mu)"), String("Constant: 1")); },
      "link function is incompatible with Binomial Family"));
  EXPECT_FALSE(model.hasFamily());
}

TEST(GLMModel, CopiesOwnTheirFamilyAndEraseClearsIt) {
  GLMModel model;
  model.setName("m");
  model.setFamily(GLMFamily::Distribution::Binomial, GLMLink::Link::Probit);
  GLMModel copy = model;
  model.setFamily(GLMFamily::Distribution::Poisson, GLMLink::Link::Sqrt);
  EXPECT_EQ(copy.linkType(), GLMLink::Link::Probit);
  copy = model;
  GLMModel fromFamily;
  fromFamily.setFamily(copy.family());
  EXPECT_EQ(fromFamily.linkType(), GLMLink::Link::Sqrt);
  copy.erase(true);  // keeps everything
  EXPECT_EQ(copy.name(), String("m"));
  copy.erase(false);
  EXPECT_FALSE(copy.hasFamily());
  EXPECT_TRUE(copy.name().empty());
  EXPECT_TRUE(copy.valid(false));  // an empty model with intercept
}
