// KMeansFit: a fitted k-means clustering model: K cluster centers over F numeric clustering
// fields (model-matrix columns), the size and within-cluster sum of squares of each cluster
// and one input-scaling divisor per field (a value x of field j is clustered as x / s_j; a
// divisor of 0 is taken as 1). The centers are held in the scaled space. It writes the
// ClusteringModel element of the model document, is read back by KMeansFitHandler, assigns
// rows to their nearest center and writes itself as a C scoring package ("KMeansCluster").
//
// A document read back gives sizes and within sums of 0 (size(), withinSS()): scoring counts
// its own rows from there. The sizes and within sums the document was written with are kept
// apart, in writtenSize() and writtenWithinSS(), for summaries of a fitted document.
//
// Implementation files: KMeansFit.cpp (fields, membership), KMeansFitXML.cpp (getXML),
// KMeansFitCSource.cpp (the C scoring package).
#pragma once

#include <ostream>

#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/String.h"
#include "qmxmisc/numeric/TMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

class KMeansFit : public MiningModel {
 public:
  KMeansFit();
  KMeansFit(const KMeansFit&) = default;
  KMeansFit(KMeansFit&&) noexcept = default;
  KMeansFit& operator=(const KMeansFit&) = default;
  KMeansFit& operator=(KMeansFit&&) noexcept = default;
  // Reads a model document (KMeansFitHandler); throws QMXException for a bad one.
  explicit KMeansFit(const char* xml);
  ~KMeansFit() override = default;

  // keep false also erases the MiningModel part; the clustering part is always emptied.
  void erase(bool keep = false) override;
  // The MiningModel part is valid; unless `quick`, also F > 0, K > 0, K sizes and at least F
  // scaling divisors.
  bool valid(bool quick = false) const override;

  long nClusters() const { return centers_.getNRow(); }
  long nVariables() const { return centers_.getNCol(); }
  // The row names of the centers (empty when the clusters are unnamed).
  const strVector& clusterNames() const { return centers_.getRowNames(); }
  // The clustering field names: the centers' column names, else the model's variables.
  strVector fieldNames() const;

  // Each setter shares the matrix's data (and names).
  void setCenters(const DoubleMatrix& centers) { centers_ = centers; }
  void setWithinSS(const DoubleMatrix& withinSS) { withinSS_ = withinSS; }
  void setSize(const DoubleMatrix& size) { size_ = size; }
  void setInputScaling(const DoubleMatrix& scaling) { inputScaling_ = scaling; }
  const DoubleMatrix& centers() const { return centers_; }
  const DoubleMatrix& withinSS() const { return withinSS_; }
  const DoubleMatrix& size() const { return size_; }
  const DoubleMatrix& inputScaling() const { return inputScaling_; }

  // The "size" and "withinSS" attributes of the Cluster elements of a document read back (K x
  // 1 each; empty for a fit that was not read, or a document without them).
  void setWritten(const DoubleMatrix& size, const DoubleMatrix& withinSS);
  const DoubleMatrix& writtenSize() const { return writtenSize_; }
  const DoubleMatrix& writtenWithinSS() const { return writtenWithinSS_; }

  // The whole model document: frame, ClusteringModel element, end of the document.
  bool getXML(std::ostream& os) const;
  // The frame, then the opening ClusteringModel element and its MiningSchema.
  bool beginXMLModel(std::ostream& os) const override;
  // The closing ClusteringModel element, then the end of the document.
  bool endXMLModel(std::ostream& os) const override;

  // The nearest center of each row of `data` (n x F, unscaled): an n x 2 matrix of the
  // cluster number (from 1; on equal distances the first cluster) and the Euclidean distance
  // in the scaled space. Each row is added to its cluster's size and within sum; both start
  // at 0 when they do not hold K values yet. A cluster of exactly one row has within sum 0.
  TMatrix<double> computeMembership(const TMatrix<double>& data);

  // The C scoring package of model kind "KMeansCluster" in distDir, from the standalone
  // scoring library's sources in srcDir.
  bool generatePredictCSource(const char* srcDir, const char* distDir) const;

 private:
  DoubleMatrix centers_;
  DoubleMatrix withinSS_;
  DoubleMatrix size_;
  DoubleMatrix inputScaling_;
  DoubleMatrix writtenSize_;
  DoubleMatrix writtenWithinSS_;
};
