// QMXProcIGLM: init, the passes of the IRLS iteration, the chunk step and the statistics.
#include "qmxmisc/glm/QMXProcIGLM.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/base/QMXProcRegistry.h"
#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

QMX_REGISTER_PROC(QMXProcIGLM)

void QMXProcIGLM::init() {
  QMXProcILM::init();
  nullDeviance = 0.0;
  deviance = 0.0;
  iterations = 0;
  previousDeviance = std::numeric_limits<double>::quiet_NaN();
  maxStepSize = 0.0;
  delDeviance = 0.0;
  // A mean this proc computed in an earlier run is computed again.
  meanFromData = meanText.empty() || meanText == computedMeanText;
  scan = GLMResponseScan();
  if (isDone() || getError() != nullptr || hasError()) return;
  qmxBoundary(*this, "internal Error", kQMXRunBoundary, [&] {
    const long nResponse = fit.nResponse();
    const bool gaussian =
        !fit.hasFamily() || fit.family().distType() == GLMFamily::Distribution::Gaussian;
    if (nResponse > 1 && !gaussian) {
      QMX_ThrowException(
          "%d dependent variables specified, but only one dependent variable is allowed for the "
          "GLM model using the %s distribution",
          static_cast<int>(nResponse), fit.hasFamily() ? fit.family().distName() : "Gaussian");
    }
  });
}

// The working response z = eta + (y - mu)/(dmu/deta) and working weight
// w = prior weight * (dmu/deta)^2 / V(mu) of every row, from the previous pass's
// coefficients, or in the first pass from the family's starting values (R's glm.fit).
long QMXProcIGLM::getDataChunk() {
  const long n = QMXProcModel::getDataChunk();
  if (n < 1) return n;
  const bool hasWeights = !fit.weights().empty();
  if (iterations == 0 && fit.nCoefficients() == 0) {
    if (meanFromData && !scanChunk()) return 0;
    TMatrix<double> eta(response.constData(), response.getNRow(), response.getNCol());
    if (hasWeights) {
      // The binomial response holds proportions and the weights the trials, while the
      // family's starting values read successes out of trials: give it w*y, so the start is
      // R's binomial()$initialize, mu = (w*y + 0.5)/(w + 1).
      if (fit.hasFamily() && fit.distType() == GLMFamily::Distribution::Binomial)
        for (long k = 0; k < eta.size(); ++k)
          eta.data()[k] *= weights.constData()[k % weights.getNRow()];
      fit.initialize(eta, mean, weights);
      if (!meanFromData) nullDeviance += fit.computeNullDev(response, weights, mean);
    } else {
      weights = DoubleMatrix(n, 1L);
      std::fill_n(weights.data(), n, 1.0);
      if (!meanFromData) nullDeviance += fit.computeNullDev(response, weights, mean);
      fit.initialize(eta, mean, weights);
    }
    fit.getWorkResp(response, weights, deviance, eta);
    return n;
  }
  if (meanFromData && iterations == 1) {
    if (hasWeights) {
      nullDeviance += fit.computeNullDev(response, weights, mean);
    } else {
      DoubleMatrix ones(n, 1L);
      std::fill_n(ones.data(), n, 1.0);
      nullDeviance += fit.computeNullDev(response, ones, mean);
    }
  }
  const DoubleMatrix coef(fit.coefficients());
  const DoubleMatrix eta = modelMatrix.multiply(coef, TransOp::kNone, true);
  if (hasWeights) {
    fit.getWorkResp(response, weights, deviance, eta);
  } else {
    weights = eta;
    fit.getWorkResp(response, weights, deviance, weights);
  }
  return n;
}

void QMXProcIGLM::execute() {
  qmxBoundary(*this, "internal error in proceedure during estimation", kQMXRunBoundary,
              [&] { executeChunk(); });
  if (!isDone()) return;
  if (QMXBufReader* reader = getInputBufReader(0)) reader->releaseAll();
  if (getNumOutputs() > 0) {
    if (QMXBufWriter* writer = getOutputBufWriter(0)) writer->setEOF();
  }
  if (getError() == nullptr && !hasError()) closingMessage();
  eraseChunk();
}

void QMXProcIGLM::executeChunk() {
  const long rows = executeRequestRows();
  if (rows < 0) return;
  processChunk();
  QMXBufReader* reader = getInputBufReader(0);
  reader->releaseRows(rows);
  incrementRowsDone(rows);
  if (reader->getEOF() && reader->getRowsReady() == 0) endPass(*reader);
}

void QMXProcIGLM::endPass(QMXBufReader& reader) {
  if (rowsUsed < 1) {
    if (rowsMissing > 0)
      addInformation(
          glm_proc::format(glm_proc::kMissingRowsInfo, static_cast<int>(rowsMissing)).c_str());
    QMX_ThrowException("there is no valid data to fit the model");
  }
  if (iterations == 0 && meanFromData) endScan();
  const TMatrix<double> before = fit.coefficients();
  backSolve();
  ++iterations;
  bool stop = false;
  if (iterations == 1) {
    delDeviance = deviance;
    maxStepSize = 1.0;
  } else {
    maxStepSize = glm_proc::largestRelativeStep(before, fit.coefficients());
    delDeviance =
        std::fabs(deviance - previousDeviance) / (glm_proc::kRelativeGuard + previousDeviance);
    stop = iterations >= maxIterations || delDeviance < epsilon;
  }
  fit.setDeviance(deviance, nullDeviance);
  if (stop) {
    setDone(1);
    computeModelStats();
    return;
  }
  addInformation(glm_proc::format("completed %d iterations with maximum relative step size of "
                                  "%10.3e and relative change in deviance of %10.3e",
                                  static_cast<int>(iterations), maxStepSize, delDeviance)
                     .c_str());
  previousDeviance = deviance;
  deviance = 0.0;
  eraseAccumulator();
  // Every pass sees the whole input: the counts of used and missing rows start again.
  rowsUsed = 0;
  rowsMissing = 0;
  reader.setChunkPosition(0);
  setRowsDone(0);
  reader.setRequestRows(getNumRows());
}

bool QMXProcIGLM::scanChunk() {
  const GLMFamily::Distribution family =
      fit.hasFamily() ? fit.distType() : GLMFamily::Distribution::Gaussian;
  const bool hasWeights = !fit.weights().empty();
  for (long row = 0; row < response.getNRow(); ++row)
    scan.update(response(row, 0), hasWeights ? weights(row, 0) : 1.0);
  return !scan.refused(family);
}

void QMXProcIGLM::endScan() {
  if (fit.hasFamily()) {
    const std::string refusal = scan.refusal(fit.distType(), fit.response(0).name().str());
    if (!refusal.empty()) QMX_ThrowException("%s", refusal.c_str());
  }
  mean = scan.nullMean(fit.intercept(), fit.hasFamily() ? fit.linkType() : GLMLink::Link::Identity);
  linkOfMean = fit.hasFamily() ? fit.link().eval(mean) : mean;
  meanText = glm_proc::format("%.17g", mean);
  computedMeanText = meanText;
}

void QMXProcIGLM::closingMessage() {
  if (maxStepSize < epsilon) {
    addInformation(glm_proc::format("converged in %d iterations with maximum relative step size "
                                    "of %10.3e",
                                    static_cast<int>(iterations), maxStepSize)
                       .c_str());
  } else if (delDeviance < epsilon) {
    addInformation(glm_proc::format("relative function convergence in %d iterations with "
                                    "relative deviance change of %10.3e and maximum relative "
                                    "step size of %10.3e",
                                    static_cast<int>(iterations), delDeviance, maxStepSize)
                       .c_str());
  } else {
    addWarning(glm_proc::format("exceeded maximum number of iterations %d with maximum relative "
                                "step size of %10.3e",
                                static_cast<int>(maxIterations), maxStepSize)
                   .c_str());
  }
}

// Unscaled standard errors sqrt(diag((X'WX)^-1)) (restricted as in QMXProcILM), as R's
// summary.glm cov.unscaled; the
// deviance table holds the regression, error (residual deviance) and null rows.
void QMXProcIGLM::computeModelStats() {
  computeCoefCovariance();
  const long p = lls.nCoef();
  const long q = lls.nResp();
  const std::vector<bool> aliased = aliasedCoefficients();
  TMatrix<double> stdErr(p, q, coefNames, responseNames());
  for (long j = 0; j < q; ++j) {
    for (long k = 0; k < p; ++k) {
      stdErr(k, j) = aliased[static_cast<std::size_t>(k)] ? std::numeric_limits<double>::quiet_NaN()
                                                          : std::sqrt(coefCovariance(k, k));
    }
  }
  const long total = static_cast<long>(lls.getN(true)) - 1;
  const long fitted = lls.fitRank() - (fit.intercept() ? 1 : 0);
  fit.setDf(total, total - fitted);
  fit.setDeviance(deviance, nullDeviance);
  fit.setMissing(static_cast<long>(rowsMissing));
  fit.setStdErr(stdErr);
  computeCoefTable();
  computeCorrelations();
  computeImportance();
}
