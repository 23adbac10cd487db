// The properties of QMXProcCov: column definitions, printing, and the result entries.
#include <cmath>
#include <cstdio>

#include "qmxmisc/framework/QMXProcBoundary.h"
#include "qmxmisc/multivariate/QMXProcCov.h"
#include "qmxmisc/multivariate/QMXProcCovInternal.h"

void QMXProcCov::setProperty(QMXPropertyInfo* prop) {
  qmxBoundary(*this, kQMXProcCovInternalError, kQMXPropertyBoundary, [&] {
    if (prop == nullptr) return QMXProc::setProperty(prop);
    setOwnProperty(*prop);
  });
}

void QMXProcCov::setOwnProperty(QMXPropertyInfo& prop) {
  if (prop.isName("clear.calc.columns")) {
    targetList_.clear();
    correlationList_.clear();
  } else if (prop.isName("define.target.column")) {
    targetList_.push_back(prop.getLong());
  } else if (prop.isName("define.correlation.column")) {
    correlationList_.push_back(prop.getLong());
  } else if (prop.isName("print.matrix")) {
    printMatrix();
  } else {
    QMXProc::setProperty(&prop);
  }
}

void QMXProcCov::getProperty(QMXPropertyInfo* prop) {
  qmxBoundary(*this, kQMXProcCovInternalError, kQMXPropertyBoundary, [&] {
    if (prop == nullptr) return QMXProc::getProperty(prop);
    getOwnProperty(*prop);
  });
}

namespace {

// The second value of an entry request (the correlation position); -1 when absent.
long secondIndex(QMXPropertyInfo& prop) {
  QMXPropertyInfo* next = prop.getNext();
  return next != nullptr ? next->getLong() : -1;
}

}  // namespace

void QMXProcCov::getOwnProperty(QMXPropertyInfo& prop) {
  if (prop.isName("cov.entry")) {
    const long i = prop.getLong();
    prop.setDouble(covEntry(i, secondIndex(prop)));
  } else if (prop.isName("cor.entry")) {
    const long i = prop.getLong();
    prop.setDouble(corEntry(i, secondIndex(prop)));
  } else if (prop.isName("matrix.entry")) {
    const long i = prop.getLong();
    prop.setDouble(matrixEntry(i, secondIndex(prop)));
  } else if (prop.isName("total.rows.processed")) {
    prop.setLongLong(totalRowsProcessed());
  } else if (prop.isName("allocated.nodes")) {
    prop.setLong(allocatedNodes());
  } else if (prop.isName("target.mean")) {
    prop.setDouble(targetMean(prop.getLong()));
  } else if (prop.isName("correlation.mean")) {
    prop.setDouble(correlationMean(prop.getLong()));
  } else {
    QMXProc::getProperty(&prop);
  }
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
  return result()->targetSums[i] / static_cast<double>(result()->rows);
}

double QMXProcCov::correlationMean(long j) const {
  if (result() == nullptr || j < 0 || j >= nCorrelations_) return getDoubleNaN();
  return result()->correlationSums[j] / static_cast<double>(result()->rows);
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
