// QMXProcKMeansPredict: scores rows with a fitted k-means model (a KMeansFit read from the
// ClusteringModel document). QMXProcPredict handles the output definitions, chunking, rows
// with missing values and the output buffer; for the complete rows of each chunk this class
// computes the nearest center (KMeansFit::computeMembership).
//
// Prediction matrix handed to writeOutputData: column 0 "clusterMembership" (the cluster
// number, from 1), column 1 "distanceToCenter" (the Euclidean distance to that center in the
// scaled space); an output definition reads the column of its index. With C generation
// requested it writes the fit's "KMeansCluster" package instead.
//
// The host creates it through qmx_s_create_QMXProcKMeansPredict.
#pragma once

#include "qmxmisc/cluster/KMeansFit.h"
#include "qmxmisc/predict/QMXProcPredict.h"

class QMXProcKMeansPredict : public QMXProcPredict {
 public:
  QMXProcKMeansPredict() = default;
  ~QMXProcKMeansPredict() override = default;

  // Parses the VTML text with KMeansFitHandler and keeps the fit. A failing document leaves
  // the previous fit in place; its message propagates.
  void setXML(const char* xml) override;
  const KMeansFit& getFit() const override { return fit_; }
  // The base's properties and "fitted.model.pmml" (get): the fit's document.
  static const QMXPropertyTable& properties();
  void getProperty(QMXPropertyInfo* prop) override;
  // Checks the directories ("Missing directory names", "cannot access one of directories:
  // %s, %s"), then KMeansFit::generatePredictCSource.
  void generatePredictCSource() override;
  void processChunk() override;

  void setFit(const KMeansFit& fit);

 private:
  KMeansFit fit_;
};
