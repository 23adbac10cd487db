// QMXProcIGLM: init, the chunk step and the passes of the IRLS iteration.
#include "qmxmisc/glm/QMXProcIGLM.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/base/QMXProcRegistry.h"
#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/glm/FamilyQuasi.h"
#include "qmxmisc/glm/GaussianFamily.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

QMX_REGISTER_PROC(QMXProcIGLM)

void QMXProcIGLM::init() {
  QMXProcILM::init();
  candidate = TMatrix<double>();
  previous = TMatrix<double>();
  solveBase = TMatrix<double>();
  sums = GLMPassSums();
  devOld = 0.0;
  halvings = 0;
  boundary = false;
  checkValues = true;
  passResiduals = GLMResidualQuantiles(residualBound);
  passResiduals.startPass();
  passResidualsDone = false;
  nullDone = false;
  nullDeviance = 0.0;
  deviance = 0.0;
  iterations = 0;
  failures = String();
  passes = 0;
  converged = false;
  dispersion = std::numeric_limits<double>::quiet_NaN();
  aic = std::numeric_limits<double>::quiet_NaN();
  maxStepSize = 0.0;
  delDeviance = 0.0;
  // A mean this proc computed in an earlier run is computed again.
  meanFromData = meanText.empty() || meanText == computedMeanText;
  scan = GLMResponseScan();
  nestedPass = false;
  nestedLimits.clear();
  nestedResults.clear();
  nested.reset();
  if (isDone() || getError() != nullptr || hasError()) return;
  qmxBoundary(*this, "internal Error", kQMXRunBoundary, [&] {
    const long nResponse = fit.nResponse();
    const bool gaussian =
        !fit.hasFamily() || fit.family().distType() == GLMFamily::Distribution::Gaussian;
    if (nResponse == 2 && binomialCounts()) return;
    if (nResponse > 1 && !gaussian) {
      QMX_ThrowException(
          "%d dependent variables specified, but only one dependent variable is allowed for the "
          "GLM model using the %s distribution",
          static_cast<int>(nResponse), fit.hasFamily() ? fit.family().distName() : "Gaussian");
    }
  });
}

const GLMFamily& QMXProcIGLM::family() const {
  static const GaussianFamily gaussian(GLMLink::Link::Identity);
  return fit.hasFamily() ? fit.family() : gaussian;
}

double QMXProcIGLM::glmRankTolerance() const {
  return std::min(1e-7, epsilon / 1000.0);
}

// The chunk's rows evaluated at the pass's candidate (GLMIrlsPass): the working responses and
// weights replace the response and the prior weights.
long QMXProcIGLM::getDataChunk() {
  const long n = QMXProcModel::getDataChunk();
  if (n < 1) return n;
  if (fit.weights().empty()) {
    weights = DoubleMatrix(n, 1L);
    std::fill_n(weights.data(), n, 1.0);
  }
  const bool counts = response.getNCol() == 2 && binomialCounts();
  if (counts) countsToProportions();
  if (passes == 0 && !scanChunk()) return 0;
  const GLMFamily& fam = family();
  if (!nullDone && (!meanFromData || passes > 0))
    nullDeviance += offset.getNRow() == n && !fit.intercept()
                        ? offsetNullDeviance()
                        : fit.computeNullDev(response, weights, mean);
  const auto etaOf = [&](const TMatrix<double>& coef) -> TMatrix<double> {
    TMatrix<double> eta = modelMatrix.multiply(DoubleMatrix(coef), TransOp::kNone, true);
    addChunkOffset(eta);
    return eta;
  };
  const TMatrix<double> start = candidate.size() == 0 || solveBase.size() == 0
                                    ? glmStartEta(fam, response, weights)
                                    : TMatrix<double>();
  const TMatrix<double> eta = candidate.size() == 0 ? start : etaOf(candidate);
  TMatrix<double> solveEta;
  // The Pearson sum at the coefficients of the solve serves the dispersion only.
  if (candidate.size() > 0 && !glm_proc::fixedDispersion(fam))
    solveEta = solveBase.size() == 0 ? start : etaOf(solveBase);
  // Each pass gives the residuals at its candidate: the pass that converges gives the fit's
  // (beyond the selection's bound, their first pass).
  glmIrlsChunk(fam, eta, solveEta, response, weights, sums,
               residualSummary && candidate.size() > 0 ? &passResiduals : nullptr);
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
  if (getError() == nullptr && !hasError()) {
    closingMessage();
  }
  eraseChunk();
}

double QMXProcIGLM::offsetNullDeviance() const {
  const GLMFamily& fam = family();
  double dev = 0.0;
  for (long row = 0; row < response.getNRow(); ++row)
    dev += weights(row, 0) * fam.deviance(response(row, 0), fam.link().evalInv(offset(row, 0)));
  return dev;
}

void QMXProcIGLM::executeChunk() {
  if (prepareStep()) return;
  if (nestedPass) {
    nestedStep();
    return;
  }
  if (residualPass) {
    residualStep();
    if (!residualPass) keepSuccessesResponse();
    return;
  }
  const long rows = executeRequestRows();
  // The input ends before any row: only an input without rows does that.
  if (rows < 0) QMX_ThrowException("the data has no rows to fit the model");
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
  const bool startPass = candidate.size() == 0;
  if (startPass) endScan();
  checkValues = false;  // every later pass reads the rows this pass checked
  if (!meanFromData || passes > 0) nullDone = true;
  ++passes;
  deviance = sums.deviance;
  if (startPass) {
    if (!sums.valid()) QMX_ThrowException("cannot find valid starting values: please specify some");
  } else if (!std::isfinite(deviance) || !sums.valid() || raisesDeviance()) {
    // R's glm.fit: the step is halved towards the last accepted coefficients. A mean outside
    // the family's domain makes R's deviance NaN (its "divergence"); a step that raises the
    // deviance counts as divergence too (halveOnIncrease).
    const bool finite = std::isfinite(deviance) && sums.validMu && !raisesDeviance();
    if (previous.size() == 0)
      QMX_ThrowException(
          "no valid set of coefficients has been found: please supply starting values");
    if (++halvings > maxIterations)
      QMX_ThrowException("inner loop %d; cannot correct step size", finite ? 2 : 1);
    if (halvings == 1)
      addWarning(finite ? "step size truncated: out of bounds"
                        : "step size truncated due to divergence");
    for (long k = 0; k < candidate.size(); ++k)
      candidate.data()[k] = (candidate[k] + previous[k]) / 2.0;
    rewind(reader);
    return;
  } else {
    ++iterations;
    boundary = halvings > 0;
    halvings = 0;
    maxStepSize = previous.size() == 0 ? 1.0 : glm_proc::largestRelativeStep(previous, candidate);
    converged = convergedNow();
    if (converged || iterations >= maxIterations) {
      fit.setCoefficients(candidate);
      // The pass just made saw every row at the final coefficients: the residual quantiles'
      // first pass (and, for at most the selection's bound of rows, their only one).
      passResidualsDone = residualSummary && passResiduals.finishPass();
      fittedWarning = boundaryWarning(family(), sums.boundaryMu);
      if (!beginNestedFits(reader)) finishFit();
      return;
    }
    addInformation(glm_proc::format("completed %d iterations with maximum relative step size of "
                                    "%10.3e and relative change in deviance of %10.3e",
                                    static_cast<int>(iterations), maxStepSize, delDeviance)
                       .c_str());
    previous = candidate;
    solveBase = candidate;
  }
  devOld = deviance;
  // Each weighted least-squares solve uses glm.fit's rank tolerance.
  rankTolerance = glmRankTolerance();
  backSolve();
  candidate = fit.coefficients();
  rewind(reader);
}

// R's glm.fit warning for fitted values numerically at the edge of the family's range, or "".
std::string QMXProcIGLM::boundaryWarning(const GLMFamily& fam, long rows) {
  if (rows == 0) return "";
  if (fam.distType() == GLMFamily::Distribution::Binomial)
    return "fitted probabilities numerically 0 or 1 occurred";
  return "fitted rates numerically 0 occurred";
}

void QMXProcIGLM::finishFit() {
  setDone(1);
  computeModelStats();
  mainRank = lls.fitRank();
  if (binomialCounts()) failures = fit.response(1).name();
  if (residualSummary && passResidualsDone) {
    // The last pass saw every row at the final coefficients.
    residuals = std::move(passResiduals);
    passResiduals = GLMResidualQuantiles();
    keepSuccessesResponse();
  } else if (residualSummary) {
    beginResidualPasses();  // they read both columns of cbind(successes, failures)
    // The passes go on from the first, made by the last IRLS pass.
    residuals = std::move(passResiduals);
    residuals.startPass();
    passResiduals = GLMResidualQuantiles();
  } else {
    keepSuccessesResponse();
  }
}

// A step from accepted coefficients whose deviance exceeds the last accepted deviance by more
// than the convergence tolerance (the start values' deviance is no such bound: R's mustart
// can fit better than any coefficients).
bool QMXProcIGLM::raisesDeviance() const {
  return halveOnIncrease && previous.size() > 0 && std::isfinite(deviance) &&
         deviance - devOld > epsilon * (std::fabs(devOld) + 0.1);
}

bool QMXProcIGLM::convergedNow() {
  if (rule == ConvergenceRule::Deviance) {
    delDeviance = std::fabs(deviance - devOld) / (std::fabs(deviance) + 0.1);
    return delDeviance < epsilon;
  }
  delDeviance = std::fabs(deviance - devOld) / (glm_proc::kRelativeGuard + devOld);
  return maxStepSize < epsilon || delDeviance < epsilon;
}

void QMXProcIGLM::rewind(QMXBufReader& reader) {
  folds.drain();
  acc.reset();
  sums = GLMPassSums();
  passResiduals = GLMResidualQuantiles(residualBound);
  passResiduals.startPass();
  // Every pass sees the whole input: the counts of used and missing rows start again.
  rowsUsed = 0;
  rowsMissing = 0;
  reader.setChunkPosition(0);
  setRowsDone(0);
  reader.setRequestRows(getNumRows());
}

bool QMXProcIGLM::scanChunk() {
  const GLMFamily::Distribution dist = family().distType();
  for (long row = 0; row < response.getNRow(); ++row)
    scan.update(response(row, 0), weights(row, 0));
  return !scan.refused(dist);
}

bool QMXProcIGLM::binomialCounts() const {
  if (!fit.hasFamily() || fit.nResponse() != 2) return false;
  if (fit.distType() == GLMFamily::Distribution::Binomial) return true;
  const auto* quasi = dynamic_cast<const FamilyQuasi*>(&fit.family());
  return quasi != nullptr &&
         quasi->varianceFunction().varType() == GLMQuasiVariance::VARIANCES::Mu0;
}

// The document of a fit of cbind(successes, failures) names the successes as its response
// and the failures among its extras (scoring's residuals read both).
void QMXProcIGLM::keepSuccessesResponse() {
  if (binomialCounts()) fit.setResponses(factVector{fit.response(0)});
}

strVector QMXProcIGLM::responseNames() const {
  if (!binomialCounts()) return QMXProcILM::responseNames();
  return strVector{fit.response(0).name()};
}

// R's binomial initialize for a two-column response: trials n = s + f, y = s / n (0 when
// n = 0), and the prior weight times n.
void QMXProcIGLM::countsToProportions() {
  const long n = response.getNRow();
  DoubleMatrix proportion(n, 1L);
  for (long row = 0; row < n; ++row) {
    const double s = response(row, 0);
    const double f = response(row, 1);
    if (s < 0 || f < 0) {
      QMX_ThrowException("binomial response cbind(%s, %s): counts must not be negative (%g, %g)",
                         fit.response(0).name().c_str(), fit.response(1).name().c_str(), s, f);
    }
    const double trials = s + f;
    proportion(row, 0) = trials > 0 ? s / trials : 0.0;
    weights(row, 0) *= trials;
  }
  response = proportion;
}

void QMXProcIGLM::endScan() {
  if (fit.hasFamily()) {
    const std::string refusal = scan.refusal(fit.distType(), fit.response(0).name().str());
    if (!refusal.empty()) QMX_ThrowException("%s", refusal.c_str());
  }
  if (!meanFromData) return;
  mean = scan.nullMean(fit.intercept(), fit.hasFamily() ? fit.linkType() : GLMLink::Link::Identity);
  linkOfMean = fit.hasFamily() ? fit.link().eval(mean) : mean;
  meanText = glm_proc::format("%.17g", mean);
  computedMeanText = meanText;
}
