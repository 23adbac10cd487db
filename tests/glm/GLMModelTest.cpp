// GLMModel: family selection by code and by name with its messages, the owned family (cloned
// on copy), erase, and the chunk helpers of the iterative fit and of scoring compared with
// R's glm.fit quantities (tests/ref/glm/glm_model_helpers.csv).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "GlmRefCsv.h"
#include "GlmTestSupport.h"
#include "qmxmisc/glm/GLMModel.h"

namespace {

// The columns of glm_model_helpers.csv for one family, by name.
std::map<std::string, std::vector<double>> helperRows(const std::string& family) {
  std::map<std::string, std::vector<double>> rows;
  for (const GlmRefRow& row : readGlmRefCsv("glm_model_helpers.csv")) {
    if (row.text("family") != family) continue;
    for (const char* name :
         {"eta", "y", "prior", "mu", "mu.eta", "variance", "weight", "z", "dev", "nulldev", "mean"})
      rows[name].push_back(row.num(name));
  }
  return rows;
}

TMatrix<double> column(const std::vector<double>& values) {
  return TMatrix<double>(values.data(), static_cast<long>(values.size()));
}

double sum(const std::vector<double>& values) {
  return std::accumulate(values.begin(), values.end(), 0.0);
}

}  // namespace

TEST(GLMModel, ChunkHelpersMatchR) {
  struct Case {
    const char* rName;
    GLMFamily::Distribution distribution;
    GLMLink::Link link;
  };
  const Case cases[] = {{"poisson", GLMFamily::Distribution::Poisson, GLMLink::Link::Log},
                        {"binomial", GLMFamily::Distribution::Binomial, GLMLink::Link::Logit}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rName);
    auto rows = helperRows(c.rName);
    GLMModel model;
    model.setFamily(c.distribution, c.link);
    TMatrix<double> w, dmudeta;
    model.FitWeightsDMuDEta(column(rows["eta"]), w, dmudeta);
    const TMatrix<double> variance = model.computeVariance(column(rows["mu"]));
    EXPECT_TRUE(
        closeTo(model.computeNullDev(column(rows["y"]), column(rows["prior"]), rows["mean"][0]),
                sum(rows["nulldev"]), 1e-13, 0));
    // Working response and prior-weighted working weights; the deviance is added to.
    TMatrix<double> y = column(rows["y"]);
    TMatrix<double> weights = column(rows["prior"]);
    double deviance = 1.0;
    model.getWorkResp(y, weights, deviance, column(rows["eta"]));
    EXPECT_TRUE(closeTo(deviance, 1.0 + sum(rows["dev"]), 1e-13, 0));
    for (long i = 0; i < y.size(); ++i) {
      const auto at = static_cast<std::size_t>(i);
      EXPECT_TRUE(closeTo(dmudeta(i), rows["mu.eta"][at], 1e-14, 0));
      EXPECT_TRUE(closeTo(w(i), rows["weight"][at] / rows["prior"][at], 1e-13, 0));
      EXPECT_TRUE(closeTo(variance(i), rows["variance"][at], 1e-14, 0));
      EXPECT_TRUE(closeTo(y(i), rows["z"][at], 1e-13, 0));
      EXPECT_TRUE(closeTo(weights(i), rows["weight"][at], 1e-13, 0));
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
