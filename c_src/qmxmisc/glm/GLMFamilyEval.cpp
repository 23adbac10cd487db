// The per-row evaluation of one IRLS pass (GLMFamily::eval, both forms): working response,
// working weight and deviance from the linear predictor, as in R's glm.fit
// (z = eta + (y - mu)/mu.eta(eta), w = weights * mu.eta(eta)^2 / variance(mu)).
#include <cmath>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMClamp.h"
#include "qmxmisc/glm/GLMFamily.h"

void GLMFamily::checkEvalArguments(long n, const double* y, const double* eta) const {
  if (!link_) QMX_ThrowException("link function is undefined");
  if (n < 1 || y == nullptr || eta == nullptr) {
    QMX_ThrowException("cannot evaluate %s(%s)", distName(), linkName());
  }
}

void GLMFamily::eval(long n, double* y, double* eta, double* z, double& dev, double* pw) const {
  checkEvalArguments(n, y, eta);
  for (long i = 0; i < n; ++i) {
    double mu = 0.0, dmudeta = 0.0;
    link_->evalDeriv(eta[i], mu, dmudeta);
    const double v = variance(mu);
    if (z != nullptr) z[i] = eta[i] + (y[i] - mu) / dmudeta;
    eta[i] = dmudeta * dmudeta / v;
    if (pw != nullptr) {
      dev += deviance(y[i], mu) * pw[i];
      eta[i] *= pw[i];
    } else {
      dev += deviance(y[i], mu);
    }
  }
}

void GLMFamily::eval(TMatrix<double>& y, TMatrix<double>& w, double& dev,
                     const TMatrix<double>& eta) const {
  const long n = y.getNRow();
  const long count = y.size();
  const bool weightsAreEta = &w == &eta;
  const bool shapesFit =
      count > 0 && eta.size() == count &&
      (weightsAreEta || (w.getNRow() == n && (w.getNCol() == 1 || w.getNCol() == y.getNCol())));
  if (!link_) QMX_ThrowException("link function is undefined");
  if (!shapesFit) QMX_ThrowException("cannot evaluate %s(%s)", distName(), linkName());

  // Take the mutable pointers first: unsharing y or w must not move eta's block under us.
  double* response = y.data();
  double* weights = w.data();
  const double* predictor = weightsAreEta ? weights : eta.constData();
  const std::vector<double> prior =
      weightsAreEta ? std::vector<double>() : std::vector<double>(weights, weights + w.size());
  const bool oneWeightColumn = w.getNCol() == 1;

  for (long k = 0; k < count; ++k) {
    const double etaK = predictor[k];
    const double yK = response[k];
    double mu = 0.0, dmudeta = 0.0;
    link_->evalDeriv(etaK, mu, dmudeta);
    const double v = variance(mu);
    response[k] = std::fabs(dmudeta) > glm::kEps ? etaK + (yK - mu) / dmudeta : etaK;
    const double guardedV = v > glm::kEps ? v : glm::kEps;
    const double workingWeight = dmudeta * dmudeta / guardedV;
    if (weightsAreEta) {
      dev += deviance(yK, mu);
      weights[k] = workingWeight;
    } else {
      const long weightIdx = oneWeightColumn ? k % n : k;
      dev += deviance(yK, mu) * prior[weightIdx];
      weights[weightIdx] = workingWeight * prior[weightIdx];
    }
  }
}
