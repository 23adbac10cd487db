// The properties of QMXProcCov: column definitions, printing, and the result entries.
#include <cmath>
#include <cstdio>

#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/multivariate/QMXProcCov.h"
#include "qmxmisc/multivariate/QMXProcCovInternal.h"

namespace {

// The second value of an entry request (the correlation position); -1 when absent.
long secondIndex(QMXPropertyInfo& prop) {
  QMXPropertyInfo* next = prop.getNext();
  return next != nullptr ? next->getLong() : -1;
}

}  // namespace

const QMXPropertyTable& QMXProcCov::properties() {
  using Rows = QMXPropertyRows<QMXProcCov>;
  using Type = QMXPropertyType;
  using Info = QMXPropertyInfo;
  static const QMXPropertyTable table(
      nullptr, {kQMXProcCovInternalError, kQMXProcCovInternalError},
      {
          Rows::row("clear.calc.columns", Type::Action,
                    "forgets the target and correlation columns", nullptr,
                    [](QMXProcCov& p, Info&) {
                      p.targetList_.clear();
                      p.correlationList_.clear();
                    }),
          Rows::row("define.target.column", Type::Long, "adds an input column index as a target",
                    nullptr, [](QMXProcCov& p, Info& v) { p.targetList_.push_back(v.getLong()); }),
          Rows::row("define.correlation.column", Type::Long,
                    "adds an input column index as a correlation column", nullptr,
                    [](QMXProcCov& p, Info& v) { p.correlationList_.push_back(v.getLong()); }),
          Rows::row("print.matrix", Type::Action,
                    "prints the covariances, means and used rows to standard output", nullptr,
                    [](QMXProcCov& p, Info&) { p.printMatrix(); }),
          Rows::row(
              "cov.entry", Type::Double,
              "covariance of target i and correlation column j (values i, j)",
              [](QMXProcCov& p, Info& v) {
                const long i = v.getLong();
                v.setDouble(p.covEntry(i, secondIndex(v)));
              },
              nullptr),
          Rows::row(
              "cor.entry", Type::Double,
              "Pearson correlation of target i and correlation column j (values i, j)",
              [](QMXProcCov& p, Info& v) {
                const long i = v.getLong();
                v.setDouble(p.corEntry(i, secondIndex(v)));
              },
              nullptr),
          Rows::row(
              "matrix.entry", Type::Double,
              "centred cross product of target i and correlation column j (values i, j)",
              [](QMXProcCov& p, Info& v) {
                const long i = v.getLong();
                v.setDouble(p.matrixEntry(i, secondIndex(v)));
              },
              nullptr),
          Rows::row(
              "total.rows.processed", Type::LongLong, "rows used so far",
              [](QMXProcCov& p, Info& v) { v.setLongLong(p.totalRowsProcessed()); }, nullptr),
          Rows::row(
              "allocated.nodes", Type::Long, "partial-result records allocated",
              [](QMXProcCov& p, Info& v) { v.setLong(p.allocatedNodes()); }, nullptr),
          Rows::row(
              "target.mean", Type::Double, "mean of target i (value i)",
              [](QMXProcCov& p, Info& v) { v.setDouble(p.targetMean(v.getLong())); }, nullptr),
          Rows::row(
              "correlation.mean", Type::Double, "mean of correlation column j (value j)",
              [](QMXProcCov& p, Info& v) { v.setDouble(p.correlationMean(v.getLong())); }, nullptr),
      });
  return table;
}

QMX_REGISTER_PROPERTIES(QMXProcCov, QMXProcCov::properties)

void QMXProcCov::setProperty(QMXPropertyInfo* prop) {
  properties().set(*this, prop);
}

void QMXProcCov::getProperty(QMXPropertyInfo* prop) {
  properties().get(*this, prop);
}

bool QMXProcCov::inRange(long i, long j) const {
  return nTargets_ >= 1 && nCorrelations_ >= 1 && i >= 0 && i < nTargets_ && j >= 0 &&
         j < nCorrelations_;
}

std::int64_t QMXProcCov::totalRowsProcessed() const {
  return result() != nullptr ? result()->rows : 0;
}

double QMXProcCov::matrixEntry(long i, long j) const {
  if (!inRange(i, j) || result() == nullptr) return getDoubleNaN();
  return result()->crossProducts[j * nTargets_ + i];
}

double QMXProcCov::covEntry(long i, long j) const {
  if (!inRange(i, j) || result() == nullptr || result()->rows < 2) return getDoubleNaN();
  const double n = static_cast<double>(result()->rows);
  return result()->crossProducts[j * nTargets_ + i] / (n - 1);
}

// Pearson correlation: (n - 1) * cov / (sqrt(SS_corr) * sqrt(SS_target)), as cor() in R.
double QMXProcCov::corEntry(long i, long j) const {
  const double cov = covEntry(i, j);
  if (std::isnan(cov)) return getDoubleNaN();
  const double corrSquares = result()->correlationSumSquares[j];
  const double targetSquares = result()->targetSumSquares[i];
  if (std::isnan(corrSquares) || std::isnan(targetSquares)) return getDoubleNaN();
  if (!(corrSquares > 0.0) || !(targetSquares > 0.0)) return getDoubleNaN();
  const double n = static_cast<double>(result()->rows);
  return (n - 1) * cov / (std::sqrt(corrSquares) * std::sqrt(targetSquares));
}

double QMXProcCov::targetMean(long i) const {
  if (result() == nullptr || i < 0 || i >= nTargets_) return getDoubleNaN();
  return result()->targetMean(i);
}

double QMXProcCov::correlationMean(long j) const {
  if (result() == nullptr || j < 0 || j >= nCorrelations_) return getDoubleNaN();
  return result()->correlationMean(j);
}

// Prints the covariance matrix (correlation columns across, targets down, each labelled by
// its input column index), the means and the number of used rows. Before any row has been
// used the means print as not-a-number and the row count as 0.
void QMXProcCov::printMatrix() const {
  std::printf("covariance matrix=\n");
  std::printf("     ");
  for (const long col : correlationColumns_)
    std::printf("       %d ", static_cast<int>(col));
  std::printf("\n");
  for (long i = 0; i < static_cast<long>(targetColumns_.size()); ++i) {
    std::printf("i=%d: ", static_cast<int>(targetColumns_[i]));
    for (long j = 0; j < static_cast<long>(correlationColumns_.size()); ++j)
      std::printf("%f ", covEntry(i, j));
    std::printf("\n");
  }
  std::printf("\n\n");
  std::printf("target means=\n");
  for (long i = 0; i < static_cast<long>(targetColumns_.size()); ++i)
    std::printf("%f ", targetMean(i));
  std::printf("\n\n");
  std::printf("correlation means=\n");
  for (long j = 0; j < static_cast<long>(correlationColumns_.size()); ++j)
    std::printf("%f ", correlationMean(j));
  std::printf("\n\n");
  std::printf("used rows = %ld\n\n", static_cast<long>(totalRowsProcessed()));
}
