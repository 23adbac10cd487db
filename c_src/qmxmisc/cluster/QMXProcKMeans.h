// QMXProcKMeans: the k-means fitting proc. One pass over the chunks folds every complete row
// into a KMeansEngine (bounded retained set); at the end of the input the engine's
// Hartigan-Wong refinement gives the centers, sizes and within sums stored in a KMeansFit
// (centers in the scaled space: each variable divided by its input-scaling divisor).
//
// Starting centers: "initializingCenter" 0 the first K rows, 1 K random rows (seed
// "randomSeed"), 2 a hierarchical clustering of the first chunk, 3 a first pass that draws a
// random sample of "max.rows" rows and clusters it hierarchically; "initialRows" (1-based
// data rows, "1,51,101") gives the starting rows themselves. The two pass kinds are one
// mechanism: a first pass gathers the sample (or the given rows, wherever they lie), then
// the proc rewinds its input and fits; the host needs no second run.
//
// Results beyond the document: "iterations" (Hartigan-Wong iterations of the final
// refinement, as R's kmeans()$iter), "converged" (1/0), "warning" (R's text when the
// quick-transfer stage hit its step limit), "totss" (sum of squares of the scaled data
// around its mean, for between_SS / total_SS).
//
// Implementation files: QMXProcKMeans.cpp (init, passes, chunks), QMXProcKMeansSample.cpp
// (the first pass), QMXProcKMeansWrapup.cpp (the fit), QMXProcKMeansProperties.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qmxbase/QMXProc.h"
#include "qmxmisc/cluster/KMeansEngine.h"
#include "qmxmisc/cluster/KMeansFit.h"
#include "qmxmisc/framework/QMXPropertyTable.h"
#include "qmxmisc/model/ModelMatrix.h"
#include "qmxmisc/numeric/Vectors.h"

class QMXProcKMeans : public QMXProc {
 public:
  enum enMode : long { kNormal = 0, kSampling = 1, kSampled = 2 };

  QMXProcKMeans() = default;
  ~QMXProcKMeans() override = default;
  void init() override;
  void setProperty(QMXPropertyInfo* prop) override;
  void getProperty(QMXPropertyInfo* prop) override;
  void execute() override;

  void createSamplingIndex(long size);
  bool isSamplingForInitCenters() const { return samplingStage == kSampling; }
  void setSamplingForInitCentersFlag(enMode mode) { samplingStage = mode; }

  static const QMXPropertyTable& properties();
  const KMeansFit& fitted() const { return fit; }
  const KMeansEngine& kmeansEngine() const { return engine; }
  long iterations() const { return iterations_; }
  bool converged() const { return converged_; }

 protected:
  virtual long processChunk();
  virtual long getDataChunk();

 private:
  void checkVariables() const;
  void initScaling();
  void initSampling();
  void executeChunk();
  void endPass(QMXBufReader& reader);
  void rewind(QMXBufReader& reader);
  void sampleChunk(long n);
  void centersFromSample();
  void foldChunk(long n);
  void addToTotals(const DoubleMatrix& scaled);
  void wrapup();
  void writeFittedModel(QMXPropertyInfo& prop) const;
  void setInitialRows(const char* text);

  KMeansFit fit;
  KMeansEngine engine;
  long nClusters = 10;
  ModelMatrix modelMatrix;
  std::int64_t rowsMissing = 0;
  long rowsRetainedSet = 10000;
  long scale = 0;
  long samplingStage = kNormal;
  lVector sampleRows;
  long maxRows = 0;
  DoubleMatrix sampleMatrix;
  long sampleCursor = 0;
  long randomSeed = 150;

  std::vector<long> initialRows_;     // 1-based starting rows ("initialRows")
  std::vector<double> divisors_;      // input scaling, one per model-matrix column
  std::vector<double> startCenters_;  // K x F scaled, from the first pass
  std::vector<char> sampleTaken_;     // per sample row: gathered
  std::int64_t rowsUsed_ = 0;
  long iterations_ = 0;
  bool converged_ = false;
  std::string warning_;
  // Per scaled column: mean and sum of squared deviations (Welford), for "totss".
  std::vector<double> totalMean_, totalSS_;
};
