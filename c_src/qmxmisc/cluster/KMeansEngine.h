// KMeansEngine: the incremental k-means state of the fitting proc. It keeps a bounded
// retained set of rows (R slots of F values, each with a weight; 0 marks an empty slot),
// K centers with the weight of the rows each stands for and their within sums, and the
// count of rows seen. Nothing grows with the number of rows.
//
// add(chunk): the chunk's rows are divided by the input-scaling divisors. The first R rows
// seen fill the retained set (the centers stay as initialized). Later rows gather in a
// pending batch of R rows, whatever the chunks' sizes; a full batch is folded: the K centers
// (weighted by their cluster weights), the retained rows and the batch are clustered together
// by weighted Hartigan-Wong (HartiganWong.h) from the current centers; the R points with the
// largest AS 136 removal costs go back to the retained set and every other point stays
// absorbed in its center (KMeansEngineFold.cpp). A center's within sum carries the spread of
// the rows it absorbed from fold to fold. The fit is thus the same at every chunk size, and
// a batch smaller than K (R < K) is refused as a chunk smaller than K.
//
// Initial centers come from the first rows seen, once the retained set is full (from the
// full retained set and the first batch when R < K) or at finish(): method 0 the first K
// rows, 1 K distinct rows drawn with a RandomGenerator seeded with the seed, 2 the means of a
// hierarchical clustering of those rows (hclustCenters, complete linkage); or, given by the caller,
// setInitialCenters (the sample pass, method 3, and explicit starting rows).
//
// finish(): Hartigan-Wong over the stored centers (weight > 0), retained rows and pending rows
// from the current centers. When every row seen is retained this is R's kmeans(x, centers,
// algorithm = "Hartigan-Wong") on those rows.
#pragma once

#include <vector>

#include "qmxmisc/numeric/DoubleMatrix.h"
#include "qmxmisc/numeric/HartiganWong.h"

struct KMeansResult {
  DoubleMatrix centers;   // K x F, scaled units
  DoubleMatrix withinSS;  // K x 1
  DoubleMatrix size;      // K x 1: total weight (rows) of each cluster
  long iterations = 0;    // Hartigan-Wong iterations of the final refinement
  long points = 0;        // points it clustered (centers and retained rows)
  HartiganWongFault fault = HartiganWongFault::kNone;
};

// "cannot initialize centers: try decreasing number of centers or increasing chunk size".
[[noreturn]] void throwCannotInitializeCenters();

class KMeansEngine {
 public:
  static constexpr long kInitFirstRows = 0;
  static constexpr long kInitRandomRows = 1;
  static constexpr long kInitHierarchical = 2;
  static constexpr long kInitSample = 3;

  KMeansEngine() = default;
  virtual ~KMeansEngine() = default;
  virtual void setRowsRetained(long rows) { rowsRetained_ = rows; }
  virtual void setMaxIterations(long iterations) { maxIterations_ = iterations; }
  virtual void setInitializingCenter(long method) { initMethod_ = method; }
  // Kept for the property; the fold does not consult it.
  virtual void setMaxTimesRetainPoints(long times) { maxTimesRetain_ = times; }

  long rowsRetained() const { return rowsRetained_; }
  long maxIterations() const { return maxIterations_; }
  long initializingCenter() const { return initMethod_; }
  long maxTimesRetainPoints() const { return maxTimesRetain_; }
  // At least 1: K may exceed the rows of a folded chunk.
  void setTolerance(double tolerance) { tolerance_ = tolerance; }
  void setSeed(unsigned seed) { seed_ = seed; }

  // Storage for `rows` retained rows of `nCol` columns and `k` centers; forgets all rows and
  // centers.
  void allocate(long rows, long nCol, long k);
  bool hasStorage() const { return capacity_ > 0; }
  // Initial centers in scaled units (k x F, column-major), replacing any initialization
  // from the data.
  void setInitialCenters(const std::vector<double>& centers);
  bool centersReady() const { return centersReady_; }

  // Adds n x F rows in data units; `divisors` (F values; 0 and 1 leave a column as it is).
  void add(const DoubleMatrix& chunk, const std::vector<double>& divisors);
  // The final Hartigan-Wong refinement (changes the engine only to initialize its centers).
  KMeansResult finish();

  long rowsSeen() const { return rowsSeen_; }
  long occupiedSlots() const;
  long pendingRows() const { return nPending_; }
  long capacity() const { return capacity_; }
  const std::vector<double>& centers() const { return centers_; }
  const std::vector<double>& clusterWeights() const { return clusterWeight_; }

 private:
  // Appends the first m rows of `rows` (leading dimension ld) to the retained set.
  void append(const std::vector<double>& rows, long ld, long m);
  void initFromStored();
  void foldPending();
  // Initial centers from the first m rows of `rows` (column-major, leading dimension ld) by
  // the initialization method.
  void initFrom(const std::vector<double>& rows, long ld, long m);
  void fold(const std::vector<double>& rows, long n);

  long rowsRetained_ = 10000;
  long maxIterations_ = 10;
  long initMethod_ = kInitFirstRows;
  long maxTimesRetain_ = 0;
  double tolerance_ = 0.0;
  unsigned seed_ = 150;

  long capacity_ = 0;  // R
  long nCol_ = 0;      // F
  long k_ = 0;         // K
  long rowsSeen_ = 0;
  bool centersReady_ = false;
  std::vector<double> retained_;        // R x F column-major
  std::vector<double> retainedWeight_;  // R
  std::vector<double> pending_;         // R x F column-major, once the retained set is full
  long nPending_ = 0;
  std::vector<double> centers_;        // K x F column-major
  std::vector<double> clusterWeight_;  // K
  std::vector<double> withinSum_;      // K
};
