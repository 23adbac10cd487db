// QMXProcKMeans: the end of the fitting pass: the engine's Hartigan-Wong refinement and the
// fit it leaves in the KMeansFit.
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/cluster/QMXProcKMeans.h"
#include "qmxmisc/model/ModelTerms.h"

void QMXProcKMeans::wrapup() {
  const KMeansResult result = engine.finish();
  switch (result.fault) {
    case HartiganWongFault::kEmptyCluster:
      QMX_ThrowException("empty cluster: try smaller number of centers");
    case HartiganWongFault::kMaxIterations:
      QMX_ThrowException("max iterations have been reached: try increasing it");
    case HartiganWongFault::kBadK:
      QMX_ThrowException(
          "number of centers is greater than chunck size (number of rows) : try smaller number "
          "of centers");
    case HartiganWongFault::kQuickTransferSteps:
      // R's kmeans keeps this fit with a warning.
      warning_ =
          "Quick-TRANSfer stage steps exceeded maximum (= " + std::to_string(50 * result.points) +
          ")";
      addWarning(warning_.c_str());
      break;
    case HartiganWongFault::kNone:
      break;
  }
  iterations_ = result.iterations;
  converged_ = result.fault == HartiganWongFault::kNone;

  DoubleMatrix centers = result.centers;
  strVector columns;
  for (long v = 0; v < fit.ModelTerms::nVariables(); ++v)
    columns.push_back(fit.variable(v));
  centers.setColNames(columns);
  strVector clusters;
  for (long k = 1; k <= nClusters; ++k)
    clusters.push_back(
        String((std::string("cluster ") + ModelTerms::Format(static_cast<double>(k))).c_str()));
  centers.setRowNames(clusters);
  fit.setCenters(centers);
  fit.setWithinSS(result.withinSS);
  fit.setSize(result.size);
  fit.setInputScaling(DoubleMatrix(divisors_.data(), static_cast<long>(divisors_.size()), 1L));
  if (!fit.valid(false)) QMX_ThrowException("Invalid k-means fit");
}
