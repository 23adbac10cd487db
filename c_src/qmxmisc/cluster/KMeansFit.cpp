// KMeansFit: fields, validity and the assignment of rows to their nearest center.
#include "qmxmisc/cluster/KMeansFit.h"

#include <cmath>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/cluster/KMeansFitHandler.h"
#include "qmxmisc/model/ModelParse.h"

KMeansFit::KMeansFit() {
  setModelName(String("KMeans"));
}

KMeansFit::KMeansFit(const char* xml) : KMeansFit() {
  ModelParseXMLString(KMeansFitHandler(*this), xml);
}

void KMeansFit::erase(bool keep) {
  if (!keep) {
    MiningModel::erase(false);
    setModelName(String("KMeans"));
  }
  centers_ = DoubleMatrix();
  withinSS_ = DoubleMatrix();
  size_ = DoubleMatrix();
  inputScaling_ = DoubleMatrix();
  writtenSize_ = DoubleMatrix();
  writtenWithinSS_ = DoubleMatrix();
}

bool KMeansFit::valid(bool quick) const {
  if (!MiningModel::valid(quick)) return false;
  if (quick) return true;
  return nVariables() > 0 && nClusters() > 0 && size_.getNRow() == nClusters() &&
         inputScaling_.size() >= nVariables();
}

strVector KMeansFit::fieldNames() const {
  if (static_cast<long>(centers_.getColNames().size()) == nVariables())
    return centers_.getColNames();
  strVector names;
  for (long varIdx = 0; varIdx < nVariables() && varIdx < ModelTerms::nVariables(); ++varIdx)
    names.push_back(variable(varIdx));
  return names;
}

void KMeansFit::setWritten(const DoubleMatrix& size, const DoubleMatrix& withinSS) {
  writtenSize_ = size;
  writtenWithinSS_ = withinSS;
}

TMatrix<double> KMeansFit::computeMembership(const TMatrix<double>& data) {
  const long k = nClusters();
  const long f = nVariables();
  if (data.getNCol() != f || inputScaling_.size() < f) {
    QMX_ThrowException("the data have %ld columns, but the clustering model has %ld fields",
                       data.getNCol(), f);
  }
  if (size_.getNRow() < k || withinSS_.getNRow() < k) {
    size_ = DoubleMatrix(k, 1L);
    withinSS_ = DoubleMatrix(k, 1L);
  }
  const long n = data.getNRow();
  TMatrix<double> result(n, 2L);
  const double* scaling = inputScaling_.constData();
  const double* center = centers_.constData();  // column-major K x F
  double* sizes = size_.data();
  double* sums = withinSS_.data();
  for (long rowIdx = 0; rowIdx < n; ++rowIdx) {
    long best = 0;
    double bestDistance = 0.0;
    for (long c = 0; c < k; ++c) {
      double distance = 0.0;
      for (long j = 0; j < f; ++j) {
        const double divisor = scaling[j] == 0.0 ? 1.0 : scaling[j];
        const double diff = data(rowIdx, j) / divisor - center[c + k * j];
        distance += diff * diff;
      }
      // A later cluster replaces the chosen one only when strictly closer.
      if (c == 0 || distance < bestDistance) {
        best = c;
        bestDistance = distance;
      }
    }
    result(rowIdx, 0) = static_cast<double>(best + 1);
    result(rowIdx, 1) = std::sqrt(bestDistance);
    sizes[best] += 1.0;
    sums[best] += bestDistance;
  }
  for (long c = 0; c < k; ++c)
    if (sizes[c] == 1.0) sums[c] = 0.0;
  return result;
}
