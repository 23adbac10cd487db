// QMXProcCov: covariance and Pearson correlation between every (target column, correlation
// column) pair of numeric input columns, with the means of these columns, in one pass over
// chunked input with bounded memory.
//
// Each call examines at most 1000 rows of its chunk and hands the chosen columns to a
// CovAccumulator (rows with a missing value in any chosen column are left out there); the
// end of input compacts it. The proc only drives the accumulator; results are read by
// property.
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
#include "qmxmisc/multivariate/CovAccumulator.h"

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
  long allocatedNodes() const { return acc_.allocatedNodes(); }

  // The fit so far; mergeAccumulator folds in another run's fit of the same columns (a
  // distributed run) and compacts the result.
  const CovAccumulator& accumulator() const { return acc_; }
  void mergeAccumulator(const CovAccumulator& other);

 private:
  void initColumns();
  void executeChunk();
  void gatherChunk(const QMXBufReader& reader, long m);
  void printMatrix() const;
  // The record holding the results, or null when no row has been used.
  const CovNode* result() const { return acc_.head(); }
  bool inRange(long i, long j) const;

  long nTargets_ = 0;
  long nCorrelations_ = 0;
  std::vector<long> targetColumns_;
  std::vector<long> correlationColumns_;
  // The chosen columns of the current chunk, one slot per target then per correlation
  // column (capacity min(getNumRows(), 1000) rows).
  std::vector<double> chunkValues_;
  std::vector<long> targetList_;
  std::vector<long> correlationList_;
  CovAccumulator acc_;
};
