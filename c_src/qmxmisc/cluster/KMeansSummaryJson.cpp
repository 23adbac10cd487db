// kmeansSummaryJson: the JSON summary of a k-means fit, under R's kmeans component names
// where R has one (centers, size as "sizes", withinss, tot.withinss as "tot_withinss",
// betweenss, totss, iter as "iterations").
#include <string>
#include <vector>

#include "qmxmisc/cluster/KMeansSummary.h"
#include "qmxmisc/model/JsonText.h"

namespace {

std::string array(const std::vector<double>& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i)
    out += (i > 0 ? ", " : "") + jsonNumber(values[i]);
  return out + "]";
}

std::string rows(const std::vector<std::vector<double>>& matrix) {
  std::string out = "[";
  for (std::size_t i = 0; i < matrix.size(); ++i)
    out += (i > 0 ? ", " : "") + array(matrix[i]);
  return out + "]";
}

}  // namespace

std::string kmeansSummaryJson(const KMeansFigures& fig) {
  std::string columns = "[";
  for (std::size_t j = 0; j < fig.columns.size(); ++j)
    columns += (j > 0 ? ", " : "") + jsonString(fig.columns[j]);
  columns += "]";
  std::vector<std::pair<std::string, std::string>> fields = {{"columns", columns},
                                                             {"centers", rows(fig.centers)}};
  if (fig.isScaled) fields.emplace_back("centers_scaled", rows(fig.scaled));
  fields.emplace_back("sizes", array(fig.sizes));
  fields.emplace_back("withinss", array(fig.withinss));
  fields.emplace_back("tot_withinss", jsonNumber(fig.totWithinss));
  fields.emplace_back("betweenss", jsonNumber(fig.betweenss));
  fields.emplace_back("totss", jsonNumber(fig.totss));
  fields.emplace_back("iterations", jsonNumber(fig.iterations));
  fields.emplace_back("converged", fig.converged < 0    ? "null"
                                   : fig.converged == 1 ? "true"
                                                        : "false");
  fields.emplace_back("n_used", jsonNumber(fig.used));
  fields.emplace_back("n_dropped", jsonNumber(fig.dropped));
  std::string out = "{\n";
  for (std::size_t i = 0; i < fields.size(); ++i)
    out += "  " + jsonString(fields[i].first) + ": " + fields[i].second +
           (i + 1 < fields.size() ? ",\n" : "\n");
  return out + "}\n";
}
