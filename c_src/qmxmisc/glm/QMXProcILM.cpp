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
  acc.reset();
  lls.resize(0, 0, 0);
  restrictionsAdded = false;
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
    chooseRestrictions();
  });
}

// Sum-to-zero restrictions are used with an intercept; a categorical variable with its own
// main-effect term gets flag 1 and its coefficients (in every term holding it) sum to zero.
void QMXProcILM::chooseRestrictions() {
  restrictMode = fit.intercept() ? 1 : 0;
  const long nVariables = fit.nVariables();
  restrictFlags.assign(static_cast<std::size_t>(nVariables), 0);
  if (restrictMode == 0 || fit.nFactors() < 1) return;
  for (long v = 0; v < nVariables; ++v) {
    const String& name = fit.variable(v);
    if (name.empty()) QMX_ThrowException("Bad variable name");
    if (!fit.isFactor(name.c_str())) continue;
    if (mainEffectTerm(name) >= 0) restrictFlags[static_cast<std::size_t>(v)] = 1;
  }
}

long QMXProcILM::mainEffectTerm(const String& variable) const {
  for (long t = 0; t < fit.nTerms(); ++t)
    if (fit.term(t) == variable) return t;
  return -1;
}

void QMXProcILM::execute() {
  qmxBoundary(*this, kExecuteInternalError, kQMXRunBoundary, [&] { executeChunk(); });
  if (isDone()) eraseChunk();
}

void QMXProcILM::executeChunk() {
  const long rows = executeRequestRows();
  if (rows < 0) {
    setDone(1);
    return;
  }
  processChunk();
  executeReleaseRows(rows, 0);
  if (!isDone()) return;
  if (acc.rowsUsed() <= 0) {
    if (acc.rowsMissing() > 0)
      addInformation(
          glm_proc::format(glm_proc::kMissingRowsInfo, static_cast<int>(acc.rowsMissing()))
              .c_str());
    QMX_ThrowException("there is no valid data to fit the regression model");
  }
  backSolve();
  computeModelStats();
}

void QMXProcILM::mergeAccumulator(const ILMAccumulator& other) {
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
    acc.update(ILMChunk{none, none, none, nFixed, used, missing});
    return 0;
  }
  if (coefNames.empty()) coefNames = modelMatrix.getColNames();
  acc.update(ILMChunk{modelMatrix, response, weights, nFixed, used, missing});
  return n;
}

strVector QMXProcILM::responseNames() const {
  strVector names;
  for (long k = 0; k < fit.nResponse(); ++k)
    names.push_back(fit.response(k).name());
  return names;
}

// The end of the data: the pooled factor, its restrictions, the coefficients.
void QMXProcILM::backSolve() {
  ILMPooled pooled = acc.finalize();
  if (pooled.rowsUsed < 1) return;
  lls = std::move(pooled.factor);
  restrictionsAdded = false;
  applyRestrictions();
  const strVector responses = responseNames();
  if (coefNames.empty()) QMX_ThrowException("missing coefficient names");
  DoubleMatrix coef = lls.coef(glm_proc::kRankTolerance, true);
  coef.setRowNames(coefNames);
  coef.setColNames(responses);
  fit.setCoefficients(coef);
}
