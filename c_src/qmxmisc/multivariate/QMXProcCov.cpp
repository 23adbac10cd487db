#include "qmxmisc/multivariate/QMXProcCov.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "qmxmisc/base/QMXProcRegistry.h"
#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/multivariate/QMXProcCovInternal.h"

QMX_REGISTER_PROC(QMXProcCov)

void QMXProcCov::init() {
  qmxBoundary(*this, kQMXProcCovInternalError, kQMXRunBoundary, [&] { initColumns(); });
}

void QMXProcCov::initColumns() {
  QMXProc::init();
  checkBufs(1, 1, 0, 1);
  if (getError() != nullptr) return;

  targetColumns_.clear();
  correlationColumns_.clear();
  usedRows_ = std::vector<long>();
  chunkValues_ = std::vector<double>();
  nodes_.clear();

  nTargets_ = static_cast<long>(targetList_.size());
  if (nTargets_ < 1) {
    setError("no target columns have been defined for correlation calculation");
    return;
  }
  targetColumns_ = targetList_;

  nCorrelations_ = static_cast<long>(correlationList_.size());
  if (nCorrelations_ < 1) {
    setError("no correlation columns have been defined for correlation calculation");
    return;
  }
  correlationColumns_ = correlationList_;

  nodes_.reset(nTargets_, nCorrelations_);
  const long capacity = std::clamp(getNumRows(), 0L, kQMXCovMaxRowsPerCall);
  usedRows_.reserve(static_cast<std::size_t>(capacity));
  targetSlots_.resize(static_cast<std::size_t>(nTargets_));
  std::iota(targetSlots_.begin(), targetSlots_.end(), 0L);
  correlationSlots_.resize(static_cast<std::size_t>(nCorrelations_));
  std::iota(correlationSlots_.begin(), correlationSlots_.end(), nTargets_);
  chunkValues_.reserve(static_cast<std::size_t>(capacity * (nTargets_ + nCorrelations_)));
}

void QMXProcCov::execute() {
  qmxBoundary(*this, kQMXProcCovInternalError, kQMXRunBoundary, [&] { executeChunk(); });
}

// Copies the first m ready rows of every chosen column into chunkValues_, targets first:
// slot s holds its column at [s * m, (s + 1) * m). The values are those getDouble returns
// (NaN for a column the reader cannot give); gathering them once per column keeps the
// per-value cost of the record filling off the reader's checked accessor, while the filling
// still reads a value afresh each time it needs one, in the same order of arithmetic.
void QMXProcCov::gatherChunk(const QMXBufReader& reader, long m) {
  const long slots = nTargets_ + nCorrelations_;
  chunkValues_.resize(static_cast<std::size_t>(m * slots));
  for (long slot = 0; slot < slots; ++slot) {
    const long col =
        slot < nTargets_ ? targetColumns_[slot] : correlationColumns_[slot - nTargets_];
    double* out = chunkValues_.data() + slot * m;
    if (m > 0 && reader.getDoubleArray(0, static_cast<int>(col), m, out) != m)
      std::fill(out, out + m, getDoubleNaN());
  }
}

// One chunk: the first min(n, 1000) ready rows are examined and released; the complete ones
// become one record, combined with the earlier records. At the end of input every record is
// combined into one and the pool is freed.
void QMXProcCov::executeChunk() {
  const long n = executeRequestRows();
  const QMXBufReader* reader = getInputBufReader(0);
  if (n < 0) return;
  const long m = std::min(n, kQMXCovMaxRowsPerCall);
  // Without a successful init there are no columns: nothing is used, the rows are released.
  const bool configured = !targetColumns_.empty() && !correlationColumns_.empty();

  usedRows_.clear();
  if (configured) {
    gatherChunk(*reader, m);
    const auto value = [&](long row, long slot) { return chunkValues_[slot * m + row]; };
    const auto isMissing = [&](long row, long slot) { return isDoubleNaN(value(row, slot)); };
    for (long row = 0; row < m; ++row) {
      const bool missing = std::any_of(correlationSlots_.begin(), correlationSlots_.end(),
                                       [&](long slot) { return isMissing(row, slot); }) ||
                           std::any_of(targetSlots_.begin(), targetSlots_.end(),
                                       [&](long slot) { return isMissing(row, slot); });
      if (!missing) usedRows_.push_back(row);
    }

    if (!usedRows_.empty()) {
      std::unique_ptr<CovNode> node = nodes_.take();
      if (node == nullptr) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "can't allocate covariance array for %ld targets and %ld correlations",
                      nTargets_, nCorrelations_);
        addError(text);
      }
      if (hasError()) return;
      node->fill(usedRows_, targetSlots_.data(), correlationSlots_.data(), value);
      nodes_.pushFront(std::move(node));
      nodes_.combine(false);
    }
  }

  executeReleaseRows(m, 0);

  if (reader->getEOF() && reader->getRowsReady() == 0) {
    nodes_.combine(true);
    nodes_.releasePool();
  }
}
