// The per-row evaluation of an IRLS pass: messages, the accumulation of the deviance, prior
// weights and binomial trial counts, the guards of the matrix form, and chunk invariance.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "GlmTestSupport.h"
#include "qmxmisc/glm/BinomialFamily.h"
#include "qmxmisc/glm/FamilyGamma.h"
#include "qmxmisc/glm/GLMClamp.h"
#include "qmxmisc/glm/GaussianFamily.h"
#include "qmxmisc/glm/PoissonFamily.h"

TEST(GLMFamily, EvalChecksItsArguments) {
  const BinomialFamily binomial(GLMLink::Link::Logit);
  const PoissonFamily poisson(GLMLink::Link::Log);
  const FamilyGamma gamma(GLMLink::Link::Inverse);
  double y = 1.0, eta = 0.5, z = 0.0, dev = 0.0;
  EXPECT_TRUE(throwsMessage([&] { binomial.eval(0, &y, &eta, &z, dev, nullptr); },
                            "cannot evaluate Binomial(logit)"));
  EXPECT_TRUE(throwsMessage([&] { poisson.eval(1, nullptr, &eta, &z, dev, nullptr); },
                            "cannot evaluate Poisson(log)"));
  EXPECT_TRUE(throwsMessage([&] { gamma.eval(1, &y, nullptr, &z, dev, nullptr); },
                            "cannot evaluate GAMMA(LINKINVERSE)"));
  TMatrix<double> ym(2, 1), wm(3, 1), em(2, 1);
  EXPECT_TRUE(
      throwsMessage([&] { gamma.eval(ym, wm, dev, em); }, "cannot evaluate GAMMA(LINKINVERSE)"));
  TMatrix<double> empty;
  EXPECT_TRUE(throwsMessage([&] { poisson.eval(empty, empty, dev, empty); },
                            "cannot evaluate Poisson(log)"));
  TMatrix<double> shortEta(1, 1);
  EXPECT_TRUE(
      throwsMessage([&] { poisson.eval(ym, em, dev, shortEta); }, "cannot evaluate Poisson(log)"));
  EXPECT_EQ(dev, 0.0);
}

// Poisson with the log link: mu = exp(eta) = dmu/deta = V, so the working weight is mu and the
// working response eta + (y - mu)/mu; values written out from those definitions.
TEST(GLMFamily, EvalAccumulatesDevianceAndAppliesPriorWeights) {
  const PoissonFamily poisson(GLMLink::Link::Log);
  double y[] = {2.0, 0.0};
  double eta[] = {0.0, std::log(4.0)};
  double z[] = {-1.0, -1.0};
  double dev = 10.0;
  poisson.eval(2, y, eta, z, dev, nullptr);
  // d(2, 1) = 2(2 ln 2 - 1); d(0, 4) = 8.
  const double unitDeviance = 2.0 * (2.0 * std::log(2.0) - 1.0) + 8.0;
  EXPECT_TRUE(closeTo(dev, 10.0 + unitDeviance, 1e-15, 0.0));
  EXPECT_TRUE(closeTo(z[0], 1.0, 1e-15, 0.0));
  EXPECT_TRUE(closeTo(z[1], std::log(4.0) - 1.0, 1e-15, 0.0));
  EXPECT_TRUE(closeTo(eta[0], 1.0, 1e-15, 0.0));
  EXPECT_TRUE(closeTo(eta[1], 4.0, 1e-15, 0.0));
  EXPECT_EQ(y[0], 2.0);  // y is not touched

  double pw[] = {3.0, 0.5};
  double eta2[] = {0.0, std::log(4.0)};
  double weightedDev = 0.0;
  poisson.eval(2, y, eta2, nullptr, weightedDev, pw);  // z may be left out
  EXPECT_TRUE(closeTo(weightedDev, 3.0 * 2.0 * (2.0 * std::log(2.0) - 1.0) + 0.5 * 8.0, 1e-15, 0));
  EXPECT_TRUE(closeTo(eta2[0], 3.0, 1e-15, 0.0));
  EXPECT_TRUE(closeTo(eta2[1], 2.0, 1e-15, 0.0));
}

// With trial counts the binomial turns successes into proportions in the caller's array and
// weights by the counts: 3 of 4 at eta = 0 (mu = 1/2) is the proportion 3/4 with weight 4/4.
TEST(GLMFamily, BinomialEvalTurnsCountsIntoProportions) {
  const BinomialFamily binomial(GLMLink::Link::Logit);
  double y[] = {3.0, 0.0};
  double trials[] = {4.0, 1.0};
  double eta[] = {0.0, 0.0};
  double z[] = {0.0, 0.0};
  double dev = 0.0;
  binomial.eval(2, y, eta, z, dev, trials);
  EXPECT_EQ(y[0], 0.75);
  EXPECT_EQ(y[1], 0.0);
  EXPECT_EQ(eta[0], 1.0);   // 4 * (1/4)^2 / (1/4)
  EXPECT_EQ(eta[1], 0.25);  // 1 * (1/4)^2 / (1/4)
  EXPECT_EQ(z[0], 1.0);     // (0.75 - 0.5) / 0.25
  EXPECT_EQ(z[1], -2.0);
  // 4 d(0.75, 0.5) + d(0, 0.5), with d(y, 1/2) = 2[y ln 2y + (1-y) ln 2(1-y)].
  const double expected =
      4.0 * 2.0 * (0.75 * std::log(1.5) + 0.25 * std::log(0.5)) + 2.0 * std::log(2.0);
  EXPECT_TRUE(closeTo(dev, expected, 1e-15, 0.0));
}

TEST(GLMFamily, MatrixEvalGuardsAndWeightForms) {
  // Logit at eta = 1000: dmu/deta = 0, so y := eta and V = 0 is replaced by eps (weight 0).
  const BinomialFamily binomial(GLMLink::Link::Logit);
  TMatrix<double> y(1, 1), w(1, 1), eta(1, 1);
  y[0] = 1.0;
  eta[0] = 1000.0;
  w[0] = 2.0;
  double dev = 0.0;
  binomial.eval(y, w, dev, eta);
  EXPECT_EQ(y[0], 1000.0);
  EXPECT_EQ(w[0], 0.0);
  EXPECT_EQ(dev, 0.0);
  // Poisson with the identity link at mu = 0: V = 0 -> eps, weight 1/eps.
  const PoissonFamily poisson(GLMLink::Link::Identity);
  TMatrix<double> py(1, 1), pEta(1, 1);
  py[0] = 1.0;
  poisson.eval(py, pEta, dev, pEta);
  EXPECT_EQ(pEta[0], 1.0 / glm::kEps);
  EXPECT_EQ(py[0], 1.0);
}

// The matrix form gives the per-row form's working response, weights and deviance, with W
// either the eta matrix itself (no prior weights) or a separate matrix of prior weights.
TEST(GLMFamily, MatrixEvalAgreesWithTheRowForm) {
  const double yValues[] = {0.5, 2.0, 7.0, 0.1};
  const double etaValues[] = {1.5, 0.4, 0.2, 3.0};
  const double prior[] = {1.0, 2.0, 0.5, 4.0};
  const FamilyGamma gamma(GLMLink::Link::Inverse);

  std::vector<double> yRow(yValues, yValues + 4), etaRow(etaValues, etaValues + 4), z(4);
  double devRow = 0.0;
  gamma.eval(4, yRow.data(), etaRow.data(), z.data(), devRow, nullptr);
  TMatrix<double> y(yValues, 4, 1), eta(etaValues, 4, 1);
  double dev = 0.0;
  gamma.eval(y, eta, dev, eta);
  EXPECT_EQ(dev, devRow);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(y[i], z[i]);
    EXPECT_EQ(eta[i], etaRow[i]);
  }

  std::vector<double> etaWeighted(etaValues, etaValues + 4), pw(prior, prior + 4);
  double devWeighted = 0.0;
  gamma.eval(4, yRow.data(), etaWeighted.data(), z.data(), devWeighted, pw.data());
  TMatrix<double> y2(yValues, 4, 1), eta2(etaValues, 4, 1), w2(prior, 4, 1);
  const TMatrix<double> eta2Before = eta2;
  double dev2 = 0.0;
  gamma.eval(y2, w2, dev2, eta2);
  EXPECT_EQ(dev2, devWeighted);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(y2[i], z[i]);
    EXPECT_EQ(w2[i], etaWeighted[i]);
    EXPECT_EQ(eta2[i], eta2Before[i]);  // eta is read only
  }
}

// Gaussian responses may have several columns: each column is its own response, one prior
// weight column serves them all.
TEST(GLMFamily, MatrixEvalOverSeveralResponses) {
  const GaussianFamily gaussian(GLMLink::Link::Identity);
  const double yValues[] = {1.0, 2.0, 3.0, 10.0, 20.0, 30.0};
  const double etaValues[] = {0.0, 2.0, 4.0, 10.0, 19.0, 32.0};
  TMatrix<double> y(yValues, 3, 2), eta(etaValues, 3, 2);
  const double prior[] = {1.0, 2.0, 3.0};
  TMatrix<double> w(prior, 3, 1);
  double dev = 0.0;
  gaussian.eval(y, w, dev, eta);
  EXPECT_EQ(dev, 1.0 * 1 + 0.0 + 3.0 * 1 + 0.0 + 2.0 * 1 + 3.0 * 4);
  for (int k = 0; k < 6; ++k)
    EXPECT_EQ(y[k], yValues[k]);  // identity: z = y
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(w[i], prior[i]);
}

// Chunk sizes 1, 2, 7 and the whole data give bitwise the same outputs and deviance.
TEST(GLMFamily, EvalIsChunkInvariant) {
  const int n = 23;
  std::vector<double> y(n), eta(n), trials(n);
  for (int i = 0; i < n; ++i) {
    trials[i] = 1.0 + i % 5;
    y[i] = static_cast<double>(i % 3 == 0 ? 0 : (i * 7) % static_cast<int>(trials[i] + 1));
    eta[i] = -3.0 + 0.27 * i;
  }
  const BinomialFamily family(GLMLink::Link::CLogLog);
  std::vector<double> wholeY = y, wholeEta = eta, wholeZ(n);
  double wholeDev = 0.0;
  family.eval(n, wholeY.data(), wholeEta.data(), wholeZ.data(), wholeDev, trials.data());
  for (const int chunk : {1, 2, 7}) {
    std::vector<double> cy = y, cEta = eta, cz(n);
    double dev = 0.0;
    for (int first = 0; first < n; first += chunk) {
      const int count = std::min(chunk, n - first);
      family.eval(count, cy.data() + first, cEta.data() + first, cz.data() + first, dev,
                  trials.data() + first);
    }
    EXPECT_EQ(dev, wholeDev) << chunk;
    EXPECT_EQ(cz, wholeZ) << chunk;
    EXPECT_EQ(cEta, wholeEta) << chunk;
    EXPECT_EQ(cy, wholeY) << chunk;
  }
}
