// QMXProcILM and QMXProcIGLM: the residual passes after the fit, which give the summaries R's
// residual quantiles (exact, in bounded memory: GLMResidualQuantiles). Each pass rewinds the
// input and reads the rows again at the fitted coefficients; one pass suffices while the
// rows are at most "summary.residuals.bound".
#include <algorithm>
#include <cmath>
#include <string>

#include "qmxmisc/glm/GLMIrlsPass.h"
#include "qmxmisc/glm/QMXProcIGLM.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

void QMXProcILM::rewindForResiduals() {
  QMXBufReader* reader = getInputBufReader(0);
  reader->setChunkPosition(0);
  setRowsDone(0);
  reader->setRequestRows(getNumRows());
  setDone(0);
}

void QMXProcILM::beginResidualPasses() {
  QMXBufReader* reader = getInputBufReader(0);
  if (reader == nullptr) return;
  residuals = GLMResidualQuantiles(residualBound);
  residuals.startPass();
  minWeight = maxWeight = std::nan("");
  residualPass = true;
  rewindForResiduals();
}

void QMXProcILM::residualStep() {
  const long rows = executeRequestRows();
  if (rows > 0) addChunkResiduals();
  executeReleaseRows(rows > 0 ? rows : 0, 0);
  if (!isDone()) return;
  if (residuals.finishPass()) {
    residualPass = false;
    return;
  }
  residuals.startPass();
  rewindForResiduals();
}

void QMXProcILM::addChunkResiduals() {
  const long n = QMXProcModel::getDataChunk();
  if (n < 1) return;
  DoubleMatrix fitted =
      modelMatrix.multiply(DoubleMatrix(fit.coefficients()), TransOp::kNone, true);
  addChunkOffset(fitted);
  const bool weighted = !fit.weights().empty() && weights.isValid() && weights.getNRow() == n;
  for (long row = 0; row < n; ++row) {
    const double w = weighted ? weights(row, 0) : 1.0;
    minWeight = std::isnan(minWeight) ? w : std::min(minWeight, w);
    maxWeight = std::isnan(maxWeight) ? w : std::max(maxWeight, w);
    residuals.add(std::sqrt(w) * (response(row, 0) - fitted(row, 0)));
  }
}

void QMXProcIGLM::addChunkResiduals() {
  const long n = QMXProcModel::getDataChunk();
  if (n < 1) return;
  DoubleMatrix eta = modelMatrix.multiply(DoubleMatrix(fit.coefficients()), TransOp::kNone, true);
  addChunkOffset(eta);
  // cbind(successes, failures): the proportions, weighted by the trials, as the fit saw them.
  const bool counts = response.getNCol() == 2;
  if (counts) {
    if (fit.weights().empty()) {
      weights = DoubleMatrix(n, 1L);
      std::fill_n(weights.data(), n, 1.0);
    }
    countsToProportions();
  }
  const GLMFamily& fam = family();
  // Without a weights column (or counts) `weights` may hold a pass's working weights.
  const bool weighted =
      counts || (!fit.weights().empty() && weights.isValid() && weights.getNRow() == n);
  for (long row = 0; row < n; ++row) {
    const double y = response(row, 0), w = weighted ? weights(row, 0) : 1.0;
    // The mean as the IRLS passes compute it (R's linkinv, thresholds included).
    double mu = 0.0, dmu = 0.0;
    fam.link().evalDeriv(eta(row, 0), mu, dmu);
    residuals.add(glmDevianceResidual(y, mu, w * fam.deviance(y, mu)));
  }
}

std::string QMXProcILM::residualsText() const {
  if (!residualSummary || residualPass || residuals.passes() == 0) return "";
  const bool weighted = !std::isnan(minWeight) && minWeight != maxWeight;
  std::string out = std::string("weighted\t") + (weighted ? "1" : "0") + "\nquantiles\t" +
                    std::to_string(residuals.count());
  for (const double q : residuals.quantiles())
    out += glm_proc::format("\t%.17g", q);
  out += "\n";
  if (!residuals.values().empty() && residuals.values().size() <= 100) {
    out += "values";
    for (const double v : residuals.values())
      out += glm_proc::format("\t%.17g", v);
    out += "\n";
  }
  return out;
}
