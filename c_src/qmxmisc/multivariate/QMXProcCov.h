// QMXProcCov: covariance and Pearson correlation between every (target column, correlation
// column) pair of numeric input columns, with the means of these columns, in one pass over
// chunked input with bounded memory.
//
// Each call examines at most 1000 rows of its chunk; rows with a missing value in any
// chosen column are left out. The used rows of one call become one CovNode record (computed
// with the chunk's own means), and records are combined pairwise (CovNodeChain) so that
// results do not depend on the chunk size beyond rounding. Results are read by property.
//
// Properties (set): "clear.calc.columns", "define.target.column" (input column index),
// "define.correlation.column", "print.matrix" (prints the results to standard output).
// Properties (get): "cov.entry", "cor.entry", "matrix.entry" (i, j: 0-based positions in
// the order of definition), "total.rows.processed", "allocated.nodes", and the means
// "target.mean" (i) and "correlation.mean" (j).
#pragma once

#include <cstdint>
#include <vector>

#include "qmxbase/QMXProc.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/multivariate/CovNodeChain.h"

class QMXProcCov : public QMXProc {
 public:
  QMXProcCov() = default;
  ~QMXProcCov() override = default;

  void init() override;
  void setProperty(QMXPropertyInfo* prop) override;
  void getProperty(QMXPropertyInfo* prop) override;
  void execute() override;
  // The properties listed above.
  static const QMXPropertyTable& properties();

  // The answers of the entry properties; not-a-number when undefined.
  double covEntry(long i, long j) const;
  double corEntry(long i, long j) const;
  double matrixEntry(long i, long j) const;
  double targetMean(long i) const;
  double correlationMean(long j) const;
  std::int64_t totalRowsProcessed() const;
  long allocatedNodes() const { return nodes_.allocatedNodes(); }

 private:
  void initColumns();
  void executeChunk();
  void gatherChunk(const QMXBufReader& reader, long m);
  void printMatrix() const;
  // The record holding the results, or null when no row has been used.
  const CovNode* result() const { return nodes_.head(); }
  bool inRange(long i, long j) const;

  long nTargets_ = 0;
  long nCorrelations_ = 0;
  std::vector<long> targetColumns_;
  std::vector<long> correlationColumns_;
  std::vector<long> usedRows_;  // capacity min(getNumRows(), 1000)
  // The chosen columns of the current chunk, one slot per target then per correlation
  // column; targetSlots_ / correlationSlots_ are the slot numbers.
  std::vector<double> chunkValues_;
  std::vector<long> targetSlots_;
  std::vector<long> correlationSlots_;
  std::vector<long> targetList_;
  std::vector<long> correlationList_;
  CovNodeChain nodes_;  // `head`, `freeNodes` and the count of allocated records
};
