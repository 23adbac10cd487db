// The summary printer of the k-means kind, from the fitted document and the fitting proc's
// properties "totss" (total sum of squares of the rows used around their mean, in the
// scaled space), "iterations", "converged" (1 or 0) and "warning":
//   text: as R prints a kmeans object (without the clustering vector and the list of
//     components): the sizes line, "Cluster means:" (in the clustered, scaled space), the
//     within sums by cluster, the "(between_SS / total_SS = ...)" line; then, for scaled data,
//     "Cluster means in the data's units:"; R's warning for a fit that did not converge (or
//     the proc's warning); last
//     the rows used and left out.
//   csv: one line per cluster: cluster,size,withinss and the centers in the data's units.
//   json: columns, centers (data's units), centers_scaled (scaled data only), sizes,
//     withinss, tot_withinss, betweenss, totss, iterations, converged, n_used, n_dropped
//     (KMeansSummaryJson.cpp). A figure that is not known is null.
// Throws QMXException "cannot read the fitted model: ..." for a bad document.
#pragma once

#include <string>
#include <vector>

#include "qmxmisc/cluster/KMeansFit.h"
#include "qmxmisc/model/ModelKind.h"

std::string kmeansSummary(const std::string& document, SummaryFormat format,
                          const SummaryInput& input);

// The figures of a summary (KMeansSummary.cpp), shared by the formats.
struct KMeansFigures {
  std::vector<std::string> columns;
  std::vector<std::vector<double>> centers;  // [cluster][field], data's units
  std::vector<std::vector<double>> scaled;   // [cluster][field], clustered space
  bool isScaled = false;                     // some divisor other than 1
  std::vector<double> sizes, withinss;
  double totWithinss = 0, totss = 0, betweenss = 0;  // totss, betweenss NaN when unknown
  double iterations = 0;                             // NaN when unknown
  int converged = -1;                                // 1, 0; -1 when unknown
  std::string warning;                               // the proc's "warning", "" for none
  double used = 0;                                   // rows used (the sum of the sizes)
  double dropped = 0;                                // rows left out
};

KMeansFigures kmeansFigures(const KMeansFit& fit, const SummaryInput& input);
std::string kmeansSummaryJson(const KMeansFigures& figures);
