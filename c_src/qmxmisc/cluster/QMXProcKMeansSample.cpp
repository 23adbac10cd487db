// QMXProcKMeans: the first pass, which gathers the rows of the starting centers: a random
// sample of the data ("initializingCenter" 3, clustered hierarchically at the end of the
// pass) or the rows named by "initialRows".
#include <algorithm>
#include <cmath>

#include "qmxbase/QMXMemoryStatus.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/cluster/QMXProcKMeans.h"
#include "qmxmisc/numeric/RandomGenerator.h"

namespace {

// Doubles the sample may take (32 MiB): its hierarchical clustering needs about S^2 / 2.
constexpr double kSampleBudgetDoubles = 4194304.0;

}  // namespace

void QMXProcKMeans::initSampling() {
  sampleCursor = 0;
  sampleMatrix = DoubleMatrix();
  if (!initialRows_.empty()) {
    if (static_cast<long>(initialRows_.size()) != nClusters) {
      QMX_ThrowException("initialRows names %d rows, but N.clusters is %d",
                         static_cast<int>(initialRows_.size()), static_cast<int>(nClusters));
    }
    std::vector<long> rows;
    for (const long row : initialRows_)
      rows.push_back(row - 1);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    sampleRows.clear();
    for (const long row : rows)
      sampleRows.push_back(static_cast<std::int32_t>(row));
    sampleTaken_.assign(sampleRows.size(), 0);
    return;
  }
  if (maxRows < 1) {
    const QMXBufReader* reader = getInputBufReader(0);
    if (reader != nullptr && reader->getTotalNumRows() > 0)
      maxRows = static_cast<long>(reader->getTotalNumRows());
  }
  if (maxRows < 1)
    QMX_ThrowException("the sample for the initial centers needs the number of rows: set max.rows");
  const double nCol = static_cast<double>(std::max(1U, modelMatrix.maxCol()));
  const double budget =
      std::min(kSampleBudgetDoubles, static_cast<double>(QMXAvailableMemory()) / 8.0 / 4.0);
  const double rows = static_cast<double>(maxRows);
  long size = maxRows;
  if ((rows + nCol) * rows >= budget) {
    const double root = std::floor(std::sqrt(nCol * nCol + 4.0 * budget));
    size = std::min(maxRows, static_cast<long>((root - nCol) * 0.5));
  }
  createSamplingIndex(size);
  sampleTaken_.assign(sampleRows.size(), 0);
}

void QMXProcKMeans::createSamplingIndex(long size) {
  if (size < 1 || maxRows < 1) return;
  sampleRows.assign(static_cast<std::size_t>(size), 0);
  if (size == maxRows) {
    for (long i = 0; i < size; ++i)
      sampleRows[i] = static_cast<std::int32_t>(i);
    return;
  }
  RandomGenerator random(static_cast<std::uint32_t>(randomSeed));
  for (long i = 0; i < size; ++i) {
    std::int32_t draw = random.nextInt(0, static_cast<std::int32_t>(maxRows - 1));
    for (long redraw = 0; redraw < size; ++redraw) {
      if (std::find(sampleRows.begin(), sampleRows.begin() + i, draw) == sampleRows.begin() + i)
        break;
      draw = random.nextInt(0, static_cast<std::int32_t>(maxRows - 1));
    }
    sampleRows[i] = draw;
  }
  std::sort(sampleRows.begin(), sampleRows.end());
}

// The chunk's rows whose data row number (counting rows with missing values) is next in
// sampleRows are copied into the sample.
void QMXProcKMeans::sampleChunk(long n) {
  const long size = static_cast<long>(sampleRows.size());
  if (size == 0) return;
  const long nCol = modelMatrix.getNCol();
  if (sampleMatrix.getNRow() != size) sampleMatrix = DoubleMatrix(size, nCol);
  const Index& excluded = modelMatrix.rowsExcluded();
  const long ready = n + static_cast<long>(excluded.size());
  const long base = static_cast<long>(getRowsDone());
  std::size_t nextExcluded = 0;
  long matrixRow = 0;
  for (long chunkRow = 0; chunkRow < ready && sampleCursor < size; ++chunkRow) {
    const bool missing =
        nextExcluded < excluded.size() && static_cast<long>(excluded[nextExcluded]) == chunkRow;
    if (missing) ++nextExcluded;
    if (sampleRows[sampleCursor] == base + chunkRow) {
      if (missing && !initialRows_.empty())
        QMX_ThrowException("initial row %d has a missing value",
                           static_cast<int>(base + chunkRow + 1));
      if (!missing) {
        for (long colIdx = 0; colIdx < nCol; ++colIdx)
          sampleMatrix(sampleCursor, colIdx) = modelMatrix(matrixRow, colIdx);
        sampleTaken_[sampleCursor] = 1;
      }
      ++sampleCursor;
    }
    if (!missing) ++matrixRow;
  }
}

// Starting centers (scaled) from the gathered rows: the named rows in the order given, or
// the group means of a complete-linkage clustering of the sample.
void QMXProcKMeans::centersFromSample() {
  const long nCol = static_cast<long>(divisors_.size());
  const auto scaled = [&](long sampleRow, long colIdx) {
    const double divisor = divisors_[colIdx] == 0.0 ? 1.0 : divisors_[colIdx];
    return sampleMatrix(sampleRow, colIdx) / divisor;
  };
  startCenters_.assign(nClusters * nCol, 0.0);
  if (!initialRows_.empty()) {
    for (long l = 0; l < nClusters; ++l) {
      const auto at = std::lower_bound(sampleRows.begin(), sampleRows.end(), initialRows_[l] - 1);
      const long sampleRow = at - sampleRows.begin();
      if (!sampleTaken_[sampleRow]) {
        QMX_ThrowException("initial row %d is beyond the %d rows of the data",
                           static_cast<int>(initialRows_[l]), static_cast<int>(getRowsDone()));
      }
      for (long colIdx = 0; colIdx < nCol; ++colIdx)
        startCenters_[l + colIdx * nClusters] = scaled(sampleRow, colIdx);
    }
    return;
  }
  const long taken = std::count(sampleTaken_.begin(), sampleTaken_.end(), 1);
  if (taken < nClusters || nCol < 1) throwCannotInitializeCenters();
  DoubleMatrix sample(taken, nCol);
  long sampleRow = 0;
  for (long row = 0; row < static_cast<long>(sampleTaken_.size()); ++row) {
    if (!sampleTaken_[row]) continue;
    for (long colIdx = 0; colIdx < nCol; ++colIdx)
      sample(sampleRow, colIdx) = scaled(row, colIdx);
    ++sampleRow;
  }
  DoubleMatrix centers(nClusters, nCol);
  long made = 0;
  try {
    made = sample.hclustCenters(centers, nClusters, 3);
  } catch (...) {
    throwCannotInitializeCenters();
  }
  if (made != nClusters) throwCannotInitializeCenters();
  std::copy_n(centers.data(), nClusters * nCol, startCenters_.begin());
}
