// The per-row kernel of an IRLS pass (GLMFamily::eval, row and matrix forms): R's working
// response, working weights and deviance at R's final linear predictor (irls_glm.R: binomial
// logit, Poisson log with prior weights, binomial successes out of trials), the guards of the
// matrix form, several responses, and the argument checks.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "GlmTestSupport.h"
#include "qmxmisc/glm/GLMClamp.h"
#include "support/RefCsv.h"

namespace {

std::vector<double> column(const std::vector<RefRow>& rows, const std::string& name) {
  std::vector<double> values;
  for (const RefRow& row : rows)
    values.push_back(row.num(name));
  return values;
}

}  // namespace

// Tolerance 1e-12 relative.
TEST(GLMFamilyEval, WorkingResponseAndWeightsMatchR) {
  const std::vector<RefRow> rows = readRefCsv("glm", "irls_glm_data.csv");
  const long n = static_cast<long>(rows.size());
  const std::vector<double> trials = column(rows, "trials");
  std::vector<double> proportion = column(rows, "succ");
  for (long i = 0; i < n; ++i)
    proportion[i] /= trials[i];
  struct Case {
    const char* model;
    const char* family;
    std::vector<double> y, prior;  // row form: y and prior; matrix form: proportions
    std::vector<double> matrixY;
  };
  const std::vector<Case> cases = {
      {"logit", "binomial", column(rows, "ybin"), {}, column(rows, "ybin")},
      {"poisson", "poisson", column(rows, "ycount"), column(rows, "pw"), column(rows, "ycount")},
      {"trials", "binomial", column(rows, "succ"), trials, proportion},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    const auto family = familyFromR(c.family, "-", "-");
    const std::string m = c.model;
    const std::vector<double> eta = column(rows, "eta_" + m);
    const double deviance =
        readRefCsv("glm", "irls_glm_fit.csv")[&c - cases.data()].num("deviance");
    // Row form: eta's array receives the weights.
    std::vector<double> y = c.y, prior = c.prior, weights = eta, z(n);
    double dev = 0.0;
    family->eval(n, y.data(), weights.data(), z.data(), dev,
                 prior.empty() ? nullptr : prior.data());
    // Matrix form: y receives z, the prior weights (or eta itself) the weights.
    TMatrix<double> ym(c.matrixY.data(), n, 1), etaM(eta.data(), n, 1);
    TMatrix<double> wm = c.prior.empty() ? etaM : TMatrix<double>(c.prior.data(), n, 1);
    double matrixDev = 0.0;
    family->eval(ym, wm, matrixDev, c.prior.empty() ? wm : etaM);
    for (long i = 0; i < n; ++i) {
      EXPECT_TRUE(qmxtest::near(z[i], rows[i].num("z_" + m), 1e-12, 0.0)) << i;
      EXPECT_TRUE(qmxtest::near(weights[i], rows[i].num("w_" + m), 1e-12, 0.0)) << i;
      EXPECT_TRUE(qmxtest::near(ym[i], rows[i].num("z_" + m), 1e-12, 0.0)) << i;
      EXPECT_TRUE(qmxtest::near(wm[i], rows[i].num("w_" + m), 1e-12, 0.0)) << i;
    }
    EXPECT_TRUE(qmxtest::near(dev, deviance, 1e-12, 0.0));
    EXPECT_TRUE(qmxtest::near(matrixDev, deviance, 1e-12, 0.0));
  }
}

TEST(GLMFamilyEval, MatrixFormGuardsAndSeveralResponses) {
  // Logit at eta = 1000, as R's glm.fit: mu = 1/(1 + eps) and dmu/deta = eps, not above the
  // guard, so z := eta; V = mu (1 - mu) < eps becomes eps: weight 2 eps^2/eps, never 0/0.
  TMatrix<double> y(1, 1), w(1, 1), eta(1, 1);
  y[0] = 1.0;
  eta[0] = 1000.0;
  w[0] = 2.0;
  double dev = 0.0;
  familyFromR("binomial", "-", "-")->eval(y, w, dev, eta);
  EXPECT_EQ(y[0], 1000.0);
  EXPECT_TRUE(qmxtest::near(w[0], 2.0 * glm::kEps, 1e-12, 0.0));
  // Poisson with the identity link at mu = 0: V = 0 -> eps, weight 1/eps.
  TMatrix<double> py(1, 1), pEta(1, 1);
  py[0] = 1.0;
  familyFromR("poisson", "identity", "-")->eval(py, pEta, dev, pEta);
  EXPECT_EQ(pEta[0], 1.0 / glm::kEps);
  // Gaussian responses in two columns share one column of prior weights.
  const double yValues[] = {1, 2, 3, 10, 20, 30}, etaValues[] = {0, 2, 4, 10, 19, 32};
  const double prior[] = {1, 2, 3};
  TMatrix<double> gy(yValues, 3, 2), gEta(etaValues, 3, 2), gw(prior, 3, 1);
  double gaussianDev = 0.0;
  familyFromR("gaussian", "-", "-")->eval(gy, gw, gaussianDev, gEta);
  EXPECT_EQ(gaussianDev, 1.0 + 3.0 + 2.0 + 12.0);  // prior-weighted squared residuals
  EXPECT_EQ(std::vector<double>(gy.constData(), gy.constData() + 6),
            std::vector<double>(yValues, yValues + 6));
  EXPECT_EQ(std::vector<double>(gw.constData(), gw.constData() + 3),
            std::vector<double>(prior, prior + 3));
}

TEST(GLMFamilyEval, ArgumentChecks) {
  const auto binomial = familyFromR("binomial", "-", "-");
  const auto poisson = familyFromR("poisson", "-", "-");
  const auto gamma = familyFromR("Gamma", "-", "-");
  double y = 1.0, eta = 0.5, z = 0.0, dev = 0.0;
  TMatrix<double> two(2, 1), three(3, 1), one(1, 1), empty;
  const std::vector<std::pair<std::function<void()>, const char*>> cases = {
      {[&] { binomial->eval(0, &y, &eta, &z, dev, nullptr); }, "cannot evaluate Binomial(logit)"},
      {[&] { poisson->eval(1, nullptr, &eta, &z, dev, nullptr); }, "cannot evaluate Poisson(log)"},
      {[&] { gamma->eval(1, &y, nullptr, &z, dev, nullptr); },
       "cannot evaluate GAMMA(LINKINVERSE)"},
      {[&] { gamma->eval(two, three, dev, two); }, "cannot evaluate GAMMA(LINKINVERSE)"},
      {[&] { poisson->eval(empty, empty, dev, empty); }, "cannot evaluate Poisson(log)"},
      {[&] { poisson->eval(two, two, dev, one); }, "cannot evaluate Poisson(log)"},
  };
  for (const auto& [call, message] : cases)
    EXPECT_TRUE(throwsMessage(call, message));
  EXPECT_EQ(dev, 0.0);
}
