#include "qmxmisc/framework/QMXProcCov.h"

#include <algorithm>
#include <cstdio>

#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/framework/QMXProcCovInternal.h"
#include "qmxmisc/framework/QMXProcRegistry.h"

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
  usedRows_.reserve(static_cast<std::size_t>(std::clamp(getNumRows(), 0L, kQMXCovMaxRowsPerCall)));
}

void QMXProcCov::execute() {
  qmxBoundary(*this, kQMXProcCovInternalError, kQMXRunBoundary, [&] { executeChunk(); });
}

// One chunk: the first min(n, 1000) ready rows are examined and released; the complete ones
// become one record, combined with the earlier records. At the end of input every record is
// combined into one and the pool is freed.
void QMXProcCov::executeChunk() {
  const long n = executeRequestRows();
  const QMXBufReader* reader = getInputBufReader(0);
  if (n < 0) return;
  const long m = std::min(n, kQMXCovMaxRowsPerCall);

  const auto isMissing = [&](long row, long col) {
    return isDoubleNaN(reader->getDouble(row, static_cast<int>(col)));
  };
  usedRows_.clear();
  for (long row = 0; row < m; ++row) {
    const bool missing = std::any_of(correlationColumns_.begin(), correlationColumns_.end(),
                                     [&](long col) { return isMissing(row, col); }) ||
                         std::any_of(targetColumns_.begin(), targetColumns_.end(),
                                     [&](long col) { return isMissing(row, col); });
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
    node->fill(usedRows_, targetColumns_.data(), correlationColumns_.data(),
               [&](long row, long col) { return reader->getDouble(row, static_cast<int>(col)); });
    nodes_.pushFront(std::move(node));
    nodes_.combine(false);
  }

  executeReleaseRows(m, 0);

  if (reader->getEOF() && reader->getRowsReady() == 0) {
    nodes_.combine(true);
    nodes_.releasePool();
  }
}
