// QMXProcKMeans: init, the passes over the input and the chunks of the fitting pass.
#include "qmxmisc/cluster/QMXProcKMeans.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "qmxbase/QMXMemoryStatus.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/base/QMXProcRegistry.h"
#include "qmxmisc/framework/QMXNaNExclude.h"
#include "qmxmisc/framework/QMXProcBoundary.h"

QMX_REGISTER_PROC(QMXProcKMeans)

namespace {

constexpr char kRunError[] = "internal error in k-means procedure during estimation";
// Doubles the retained set may take when "rowsRetainedSet" is not positive (128 MiB).
constexpr double kRetainedBudgetDoubles = 16777216.0;

// Every fold clusters a batch of retained-set rows, and data that fit the retained set have
// no more rows than it: more centers than its rows can never be fitted (and would only
// allocate K x F centers to fail later).
void checkCentersFitRetainedSet(long k, long rows) {
  if (k > rows) {
    QMX_ThrowException(
        "number of centers (%ld) is greater than the rows of the retained set (%ld): try smaller "
        "number of centers or a larger retained set",
        k, rows);
  }
}

}  // namespace

void QMXProcKMeans::init() {
  QMXProc::init();
  rowsMissing = 0;
  rowsUsed_ = 0;
  fit.erase(true);
  modelMatrix.erase(false);
  engine.allocate(0, 0, 0);
  divisors_.clear();
  startCenters_.clear();
  totalMean_.clear();
  totalSS_.clear();
  iterations_ = 0;
  converged_ = false;
  warning_.clear();
  const bool firstPass =
      engine.initializingCenter() == KMeansEngine::kInitSample || !initialRows_.empty();
  samplingStage = firstPass ? kSampling : kNormal;
  checkBufs(1, 1, 0, 1);
  if (getError() != nullptr) {
    setDone(1);
    return;
  }
  qmxBoundary(*this, kRunError, kQMXRunBoundarySetError, [&] {
    checkVariables();
    if (rowsRetainedSet >= 1) checkCentersFitRetainedSet(nClusters, rowsRetainedSet);
    // Clustering has no intercept: the model matrix holds the variables' columns only.
    fit.setIntercept(false);
    modelMatrix.setModel(fit);
    modelMatrix.init(*getInputBuf(0));
    if (samplingStage == kSampling) initSampling();
  });
}

void QMXProcKMeans::checkVariables() const {
  for (long v = 0; v < fit.ModelTerms::nVariables(); ++v) {
    const String& name = fit.variable(v);
    if (name.empty())
      QMX_ThrowException(fit.isFactor(name.c_str()) ? "Bad categorical variable name"
                                                    : "Bad variable name");
  }
}

// One divisor per model-matrix column: the range (scale 1) or standard deviation (scale 2)
// of the variable's univariate statistics, else 1; 0 (or undefined) becomes 1.
void QMXProcKMeans::initScaling() {
  const DoubleMatrix& stats = fit.varStats();
  const strVector& statNames = stats.getRowNames();
  const strVector& columns = modelMatrix.getColNames();
  const long nCol = modelMatrix.getNCol();
  if (static_cast<long>(columns.size()) > modelMatrix.maxCol() && modelMatrix.maxCol() > 0) {
    QMX_ThrowException("internal error:  nCol >= maxCol, nCol=%d, maxCol=%d",
                       static_cast<int>(columns.size()), static_cast<int>(modelMatrix.maxCol()));
  }
  divisors_.assign(nCol, 1.0);
  for (long colIdx = 0; colIdx < nCol && colIdx < static_cast<long>(columns.size()); ++colIdx) {
    const auto stat = std::find(statNames.begin(), statNames.end(), columns[colIdx]);
    if (stat == statNames.end() || scale < 1 || scale > 2) continue;
    const long row = stat - statNames.begin();
    double divisor = scale == 1 ? stats(row, 1) - stats(row, 0) : stats(row, 3);
    if (divisor == 0.0 || !std::isfinite(divisor)) divisor = 1.0;
    divisors_[colIdx] = divisor;
  }
  totalMean_.assign(nCol, 0.0);
  totalSS_.assign(nCol, 0.0);
}

long QMXProcKMeans::getDataChunk() {
  QMXBufReader* reader = getInputBufReader(0);
  const long ready = reader == nullptr ? 0 : std::min(reader->getRowsReady(), getNumRows());
  if (ready < 1) {
    modelMatrix.erase(true);
    return ready;
  }
  QMXNaNExclude filter(*reader);
  strVector variables;
  for (long v = 0; v < fit.ModelTerms::nVariables(); ++v)
    variables.push_back(fit.variable(v));
  filter.setVariables(variables);
  const long n = modelMatrix.construct(filter);
  rowsMissing += ready - n;
  return n;
}

long QMXProcKMeans::processChunk() {
  const long n = getDataChunk();
  if (n < 1) return 0;
  if (divisors_.empty()) initScaling();
  if (samplingStage == kSampling) {
    sampleChunk(n);
  } else {
    foldChunk(n);
  }
  return n;
}

void QMXProcKMeans::foldChunk(long n) {
  const long nCol = modelMatrix.getNCol();
  if (!engine.hasStorage()) {
    if (rowsRetainedSet < 1) {
      double budget =
          std::min(kRetainedBudgetDoubles, static_cast<double>(QMXAvailableMemory()) / 8.0 / 3.0);
      budget = std::max(budget, static_cast<double>(nCol * nClusters));
      rowsRetainedSet = std::max(1L, static_cast<long>(budget) / nCol / 2);
      addInformation(("\n  internally setting rows of the retained set = " +
                      std::to_string(rowsRetainedSet) + "\n")
                         .c_str());
    }
    checkCentersFitRetainedSet(nClusters, rowsRetainedSet);
    engine.setRowsRetained(rowsRetainedSet);
    engine.setSeed(static_cast<unsigned>(randomSeed));
    engine.allocate(rowsRetainedSet, nCol, nClusters);
    if (samplingStage == kSampled) engine.setInitialCenters(startCenters_);
  }
  engine.add(modelMatrix, divisors_);
  for (long rowIdx = 0; rowIdx < n; ++rowIdx) {
    ++rowsUsed_;
    for (long colIdx = 0; colIdx < nCol; ++colIdx) {
      const double divisor = divisors_[colIdx] == 0.0 ? 1.0 : divisors_[colIdx];
      const double x = modelMatrix(rowIdx, colIdx) / divisor;
      const double delta = x - totalMean_[colIdx];
      totalMean_[colIdx] += delta / static_cast<double>(rowsUsed_);
      totalSS_[colIdx] += delta * (x - totalMean_[colIdx]);
    }
  }
}

void QMXProcKMeans::execute() {
  qmxBoundary(*this, kRunError, kQMXRunBoundarySetError, [&] { executeChunk(); });
  if (isDone()) modelMatrix.erase(true);
}

void QMXProcKMeans::executeChunk() {
  const long rows = executeRequestRows();
  QMXBufReader* reader = getInputBufReader(0);
  if (rows < 0) {
    setDone(1);
    endPass(*reader);
    return;
  }
  processChunk();
  reader->releaseRows(rows);
  incrementRowsDone(rows);
  if (reader->getEOF() && reader->getRowsReady() == 0) endPass(*reader);
}

void QMXProcKMeans::endPass(QMXBufReader& reader) {
  if (getRowsDone() <= rowsMissing) {
    setDone(1);
    if (rowsMissing > 0) {
      addInformation(
          ("Data set has " + std::to_string(rowsMissing) + " rows with one or more missing values")
              .c_str());
    }
    QMX_ThrowException("there is no valid data for clustering");
  }
  if (samplingStage == kSampling) {
    centersFromSample();
    samplingStage = kSampled;
    rewind(reader);
    return;
  }
  setDone(1);
  wrapup();
}

// The fitting pass after the first pass sees the whole input again.
void QMXProcKMeans::rewind(QMXBufReader& reader) {
  rowsMissing = 0;
  modelMatrix.erase(true);
  reader.setChunkPosition(0);
  setRowsDone(0);
  reader.setRequestRows(getNumRows());
}
