// KMeansFitHandler: reads the ClusteringModel element of a model document into a KMeansFit
// through an element table (ElementTableHandler over MiningModelHandler, which reads the
// frame and the MiningSchema). Element, required parent and action:
//
//   ClusteringModel    (document)                  K x F centers, K sizes and within sums of 0
//   ClusteringField    ClusteringModel             next field name; squaredEuclidean only
//   Cluster            ClusteringModel             optional name of the next cluster
//   Center             ClusteringModel/Cluster     field counter 0
//   CenterField        .../Cluster/Center          next coordinate of the current cluster
//   InputScaling       ClusteringModel             field counter 0
//   InputScalingField  ClusteringModel/InputScaling  next divisor
//   Total              ClusteringModel             not read
//
// An element out of place throws "Unexpected <name> element" ("Unexpected Array element"
// for a Center, "Unexpected Cluster element" for an InputScaling); another element inside
// ClusteringModel throws "Bad <name> element". Numbers must be finite; K, F and K x F are
// bounded (kMaxClusters, kMaxModelColumns, kMaxCenterValues). The sizes and within sums of
// the fit start at 0; the Cluster elements' "size" and "withinSS" attributes are kept as the
// fit's written sizes (KMeansFit::writtenSize).
#pragma once

#include <string>
#include <vector>

#include "qmxmisc/cluster/KMeansFit.h"
#include "qmxmisc/model/ElementTableHandler.h"
#include "qmxmisc/model/MiningModelHandler.h"
#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

// Clusters, and center values (clusters x fields), a document may declare.
inline constexpr long kMaxClusters = 100000;
inline constexpr long kMaxCenterValues = 10000000;

class KMeansFitHandler : public ElementTableHandler<MiningModelHandler> {
 public:
  // State bits of the clustering elements (above the frame's and the mining schema's).
  static constexpr unsigned XML_clusteringModel = 0x8000;
  static constexpr unsigned XML_cluster = 0x10000;
  static constexpr unsigned XML_center = 0x20000;
  static constexpr unsigned XML_inputScaling = 0x40000;

  // Fills `fit` (written through, see ModelHandler).
  explicit KMeansFitHandler(const KMeansFit& fit);
  ~KMeansFitHandler() override;

  void startDocument() override;
  void endDocument() override;

 private:
  void addRules();
  void startModel(ElementAttributes& a);
  void startClusteringField(ElementAttributes& a);
  void startCluster(ElementAttributes& a);
  void startCenterField(ElementAttributes& a);
  void startScalingField(ElementAttributes& a);
  // Throws the matrix message when `row` is not a cluster index.
  void checkCluster(long row) const;

  KMeansFit* fit_;
  bool sawModel_ = false;
  long clusters_ = 0;  // K declared
  long fields_ = 0;    // F declared
  long cluster_ = 0;   // cluster counter
  long field_ = 0;     // field counter
  long fieldNames_ = 0;
  long scalings_ = 0;
  long namesRead_ = 0;
  DoubleMatrix centers_;
  DoubleMatrix scaling_;
  DoubleMatrix writtenSize_;
  DoubleMatrix writtenWithinSS_;
  strVector clusterNames_;
  strVector fieldNameList_;
};
