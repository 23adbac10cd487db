// QMXProcILM: init, the chunk protocol of execute, the chunk step and the back-solve.
#include "qmxmisc/glm/QMXProcILM.h"

#include "qmxbase/QMXProc.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/base/QMXProcRegistry.h"
#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

QMX_REGISTER_PROC(QMXProcILM)

namespace {

constexpr const char kExecuteInternalError[] =
    "internal error in linear regression proceedure during estimation";
constexpr double kBytesToMegabytes = 9.5367431640625e-07;  // 1 / 1048576

}  // namespace

void QMXProcILM::eraseAccumulator() {
  try {
    folds.drain();
  } catch (...) {
    // The folds of a run being discarded: their error no longer matters.
  }
  acc.reset();
  lls.resize(0, 0, 0);
}

void QMXProcILM::addChunkOffset(TMatrix<double>& m) const {
  if (offset.getNRow() != m.getNRow() || offset.getNRow() == 0) return;
  for (long col = 0; col < m.getNCol(); ++col)
    for (long row = 0; row < m.getNRow(); ++row)
      m(row, col) += offset(row, 0);
}

void QMXProcILM::init() {
  eraseAccumulator();
  fit.erase(true);
  coefNames.clear();
  clearMessages();
  if (!fit.valid(true)) {
    addError("failed to initialize linear model object");
    setDone(1);
    return;
  }
  QMXProcModel::init();
  if (getError() != nullptr || hasError()) return;
  qmxBoundary(*this, "Internal Error", kQMXRunBoundary, [&] {
    const double megabytes = static_cast<double>(getNumRows()) *
                             static_cast<double>(modelMatrix.maxCol()) * 8.0 * kBytesToMegabytes;
    addInformation(glm_proc::format("specified model will generate %d coefficients requiring "
                                    "%.2f Mb per chunk for the model matrix",
                                    static_cast<int>(modelMatrix.maxCol()), megabytes)
                       .c_str());
    for (long v = 0; v < fit.nVariables(); ++v)
      if (fit.variable(v).empty()) QMX_ThrowException("Bad variable name");
    checkReferences();
  });
}

void QMXProcILM::execute() {
  qmxBoundary(*this, kExecuteInternalError, kQMXRunBoundary, [&] { executeChunk(); });
  if (isDone()) eraseChunk();
}

void QMXProcILM::executeChunk() {
  if (prepareStep()) return;
  if (residualPass) {
    residualStep();
    return;
  }
  const long rows = executeRequestRows();
  if (rows >= 0) {
    processChunk();
    executeReleaseRows(rows, 0);
    if (!isDone()) return;
  } else {
    setDone(1);  // an input with no rows at all: reported below
  }
  folds.drain();
  if (acc.rowsUsed() <= 0) {
    if (acc.rowsMissing() > 0)
      addInformation(
          glm_proc::format(glm_proc::kMissingRowsInfo, static_cast<int>(acc.rowsMissing()))
              .c_str());
    QMX_ThrowException("there is no valid data to fit the regression model");
  }
  backSolve();
  computeModelStats();
  if (residualSummary) beginResidualPasses();
}

void QMXProcILM::mergeAccumulator(const ILMAccumulator& other) {
  folds.drain();
  acc.merge(other);
  backSolve();
  computeModelStats();
}

long QMXProcILM::processChunk() {
  const std::int64_t usedBefore = rowsUsed, missingBefore = rowsMissing;
  const long n = getDataChunk();
  const std::int64_t used = rowsUsed - usedBefore, missing = rowsMissing - missingBefore;
  const long nFixed = fit.intercept() ? 1 : 0;
  if (n < 1) {
    const DoubleMatrix none;
    folds.update(acc, ILMChunk{none, none, none, nFixed, used, missing});
    return 0;
  }
  if (coefNames.empty()) coefNames = modelMatrix.getColNames();
  // R's lm.fit and glm.fit solve for y - offset (glm: the working response).
  if (offset.getNRow() == n)
    for (long col = 0; col < response.getNCol(); ++col)
      for (long row = 0; row < n; ++row)
        response(row, col) -= offset(row, 0);
  // The fold takes the chunk's blocks: the next chunk makes new ones.
  folds.take(acc, modelMatrix, response, weights, nFixed, used, missing);
  return n;
}

strVector QMXProcILM::responseNames() const {
  strVector names;
  for (long k = 0; k < fit.nResponse(); ++k)
    names.push_back(fit.response(k).name());
  return names;
}

// The end of the data: the pooled factor, R's parametrisation, the coefficients. The fit on
// X C is decomposed through R C (X = Q R), so no row is read again.
void QMXProcILM::backSolve() {
  folds.drain();
  ILMPooled pooled = acc.finalize();
  if (pooled.rowsUsed < 1) return;
  lls = std::move(pooled.factor);
  const strVector responses = responseNames();
  if (coefNames.empty()) QMX_ThrowException("missing coefficient names");
  buildContrasts();
  gammaQR = LimitedQR(lls.inputOrderR().multiply(contrasts, TransOp::kNone, true), rankTolerance);
  effects = gammaQR.qty(lls.getQTY(true));
  gamma = gammaQR.solveEffects(effects);
  lls.setFitRank(gammaQR.rank());
  DoubleMatrix coef = contrasts.multiply(gamma, TransOp::kNone, true);
  coef.setRowNames(coefNames);
  coef.setColNames(responses);
  fit.setCoefficients(coef);
}
