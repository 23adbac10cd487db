#include "qmxmisc/multivariate/QMXProcCov.h"

#include <algorithm>
#include <cstdio>
#include <new>

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
  chunkValues_ = std::vector<double>();
  acc_ = CovAccumulator();

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

  const long capacity = std::clamp(getNumRows(), 0L, kQMXCovMaxRowsPerCall);
  acc_ = CovAccumulator(nTargets_, nCorrelations_, capacity);
  chunkValues_.reserve(static_cast<std::size_t>(capacity * (nTargets_ + nCorrelations_)));
}

void QMXProcCov::execute() {
  qmxBoundary(*this, kQMXProcCovInternalError, kQMXRunBoundary, [&] { executeChunk(); });
}

void QMXProcCov::mergeAccumulator(const CovAccumulator& other) {
  acc_.merge(other);
  acc_.compact();
}

// Copies the first m ready rows of every chosen column into chunkValues_, targets first:
// slot s holds its column at [s * m, (s + 1) * m). The values are those getDouble returns
// (NaN for a column the reader cannot give); gathering them once per column keeps the
// per-value cost of the accumulator off the reader's checked accessor.
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
// go to the accumulator. At the end of input the accumulator is compacted.
void QMXProcCov::executeChunk() {
  const long n = executeRequestRows();
  const QMXBufReader* reader = getInputBufReader(0);
  if (n < 0) return;
  const long m = std::min(n, kQMXCovMaxRowsPerCall);
  // Without a successful init there are no columns: nothing is used, the rows are released.
  if (!targetColumns_.empty() && !correlationColumns_.empty()) {
    gatherChunk(*reader, m);
    try {
      acc_.update(CovChunk{m, chunkValues_.data(), nullptr});
    } catch (const std::bad_alloc&) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "can't allocate covariance array for %ld targets and %ld correlations",
                    nTargets_, nCorrelations_);
      addError(text);
      return;
    }
    if (hasError()) return;
  }

  executeReleaseRows(m, 0);

  if (reader->getEOF() && reader->getRowsReady() == 0) acc_.compact();
}
