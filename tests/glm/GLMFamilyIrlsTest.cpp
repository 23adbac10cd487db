// Iteratively reweighted least squares driven by hand from the families' per-row kernels
// (starting values, working response, working weight, deviance) and a weighted least-squares
// solve (DoubleLLS) reproduces R's glm on three small data sets written by
// tests/ref/glm/irls_glm.R: binomial logit on 0/1 responses, Poisson log with prior weights
// (through the matrix form of eval), binomial logit on successes out of trials.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "GlmRefCsv.h"
#include "GlmTestSupport.h"
#include "qmxmisc/glm/BinomialFamily.h"
#include "qmxmisc/glm/PoissonFamily.h"
#include "qmxmisc/numeric/DoubleLLS.h"
#include "qmxmisc/numeric/DoubleMatrix.h"

namespace {

struct IrlsData {
  std::vector<double> x, ybin, ycount, pw, succ, trials;
  std::vector<GlmRefRow> rows;
};

IrlsData readData() {
  IrlsData data;
  data.rows = readGlmRefCsv("irls_glm_data.csv");
  for (const GlmRefRow& row : data.rows) {
    data.x.push_back(row.num("x"));
    data.ybin.push_back(row.num("ybin"));
    data.ycount.push_back(row.num("ycount"));
    data.pw.push_back(row.num("pw"));
    data.succ.push_back(row.num("succ"));
    data.trials.push_back(row.num("trials"));
  }
  return data;
}

GlmRefRow fitOf(const std::string& model) {
  for (GlmRefRow& row : readGlmRefCsv("irls_glm_fit.csv")) {
    if (row.text("model") == model) return row;
  }
  throw std::runtime_error("no fit " + model);
}

// One weighted least-squares solve of z on (1, x) with weights w.
std::vector<double> solveWeighted(const std::vector<double>& x, const std::vector<double>& z,
                                  const std::vector<double>& w) {
  const long n = static_cast<long>(x.size());
  DoubleMatrix design(n, 2);
  for (long i = 0; i < n; ++i) {
    design(i, 0) = 1.0;
    design(i, 1) = x[i];
  }
  DoubleLLS lls;
  lls.rowBind(design, DoubleMatrix(z.data(), n, 1), DoubleMatrix(w.data(), n, 1), 1);
  const DoubleMatrix beta = lls.coef(1e-13, true);
  return {beta[0], beta[1]};
}

std::vector<double> linearPredictor(const std::vector<double>& x, const std::vector<double>& b) {
  std::vector<double> eta(x.size());
  for (std::size_t i = 0; i < x.size(); ++i)
    eta[i] = b[0] + b[1] * x[i];
  return eta;
}

struct IrlsResult {
  std::vector<double> beta;
  double deviance = 0.0;
};

// One IRLS step with the per-row form: z and w from eta (y restored each time, since the
// binomial with trial counts turns it into proportions), then the least-squares solve.
// Iterates until the coefficients stop moving; the deviance is the one at the final eta.
IrlsResult fitRowForm(const GLMFamily& family, const std::vector<double>& x,
                      const std::vector<double>& y, std::vector<double>* trials) {
  const long n = static_cast<long>(y.size());
  double* pw = trials ? trials->data() : nullptr;
  std::vector<double> eta = y;
  family.initialize(n, eta.data(), 0.0, pw);
  IrlsResult result{{0.0, 0.0}, 0.0};
  for (int iteration = 0; iteration < 50; ++iteration) {
    std::vector<double> yWork = y, weights = eta, z(n);
    double dev = 0.0;
    family.eval(n, yWork.data(), weights.data(), z.data(), dev, pw);
    const std::vector<double> beta = solveWeighted(x, z, weights);
    const double change =
        std::max(std::fabs(beta[0] - result.beta[0]), std::fabs(beta[1] - result.beta[1]));
    result.beta = beta;
    eta = linearPredictor(x, beta);
    if (iteration > 0 && change < 1e-13) break;
  }
  std::vector<double> yWork = y, weights = eta;
  family.eval(n, yWork.data(), weights.data(), nullptr, result.deviance, pw);
  return result;
}

// The same loop through the matrix form with a separate matrix of prior weights.
IrlsResult fitMatrixForm(const GLMFamily& family, const std::vector<double>& x,
                         const std::vector<double>& y, const std::vector<double>& prior) {
  const long n = static_cast<long>(y.size());
  std::vector<double> eta = y;
  family.initialize(n, eta.data(), 0.0, nullptr);
  IrlsResult result{{0.0, 0.0}, 0.0};
  for (int iteration = 0; iteration < 50; ++iteration) {
    TMatrix<double> response(y.data(), n, 1), weights(prior.data(), n, 1);
    const TMatrix<double> etaMatrix(eta.data(), n, 1);
    double dev = 0.0;
    family.eval(response, weights, dev, etaMatrix);
    const std::vector<double> z(response.constData(), response.constData() + n);
    const std::vector<double> w(weights.constData(), weights.constData() + n);
    const std::vector<double> beta = solveWeighted(x, z, w);
    const double change =
        std::max(std::fabs(beta[0] - result.beta[0]), std::fabs(beta[1] - result.beta[1]));
    result.beta = beta;
    eta = linearPredictor(x, beta);
    if (iteration > 0 && change < 1e-13) break;
  }
  TMatrix<double> response(y.data(), n, 1), weights(prior.data(), n, 1);
  family.eval(response, weights, result.deviance, TMatrix<double>(eta.data(), n, 1));
  return result;
}

// Coefficients 1e-8 absolute, deviance 1e-8 relative.
void expectFit(const IrlsResult& fit, const std::string& model) {
  const GlmRefRow ref = fitOf(model);
  EXPECT_NEAR(fit.beta[0], ref.num("intercept"), 1e-8) << model;
  EXPECT_NEAR(fit.beta[1], ref.num("slope"), 1e-8) << model;
  EXPECT_TRUE(closeTo(fit.deviance, ref.num("deviance"), 1e-8, 0.0)) << model;
}

}  // namespace

TEST(GLMFamily, IrlsReproducesRGlm) {
  IrlsData data = readData();
  ASSERT_EQ(data.x.size(), 25u);
  expectFit(fitRowForm(BinomialFamily(GLMLink::Link::Logit), data.x, data.ybin, nullptr), "logit");
  expectFit(fitMatrixForm(PoissonFamily(GLMLink::Link::Log), data.x, data.ycount, data.pw),
            "poisson");
  expectFit(fitRowForm(BinomialFamily(GLMLink::Link::Logit), data.x, data.succ, &data.trials),
            "trials");
}

// At R's final linear predictor our working response and weights are R's, row by row.
// Tolerance 1e-12 relative.
TEST(GLMFamily, WorkingResponseAndWeightsMatchRGlm) {
  IrlsData data = readData();
  const long n = static_cast<long>(data.x.size());
  const BinomialFamily binomial(GLMLink::Link::Logit);
  const PoissonFamily poisson(GLMLink::Link::Log);
  struct Case {
    const char* model;
    const GLMFamily& family;
    std::vector<double> y;
    double* pw;
  };
  const Case cases[] = {
      {"logit", binomial, data.ybin, nullptr},
      {"poisson", poisson, data.ycount, data.pw.data()},
      {"trials", binomial, data.succ, data.trials.data()},
  };
  for (const Case& c : cases) {
    const std::string m = c.model;
    std::vector<double> y = c.y, weights(n), z(n);
    for (long i = 0; i < n; ++i)
      weights[i] = data.rows[i].num("eta_" + m);
    double dev = 0.0;
    c.family.eval(n, y.data(), weights.data(), z.data(), dev, c.pw);
    for (long i = 0; i < n; ++i) {
      EXPECT_TRUE(closeTo(z[i], data.rows[i].num("z_" + m), 1e-12, 0.0)) << m << " row " << i;
      EXPECT_TRUE(closeTo(weights[i], data.rows[i].num("w_" + m), 1e-12, 0.0)) << m << " row " << i;
    }
    EXPECT_TRUE(closeTo(dev, fitOf(m).num("deviance"), 1e-12, 0.0)) << m;
  }
}
