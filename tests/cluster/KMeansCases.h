// The k-means reference cases of tests/ref/cluster/kmeans_cases.R: the data sets, the cases
// (set, k, starting rows, iteration limit, scaling, weights) and R's results as named values
// ("center:<cluster>:<column>", "withinss:<cluster>", "size:<cluster>", 1-based).
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/RefCompare.h"
#include "support/RefCsv.h"

namespace kmcase {

struct DataSet {
  long rows = 0;
  long cols = 0;
  std::vector<double> x;  // rows x cols, column-major
  std::vector<double> weights;
};

inline std::vector<RefRow> cases() {
  return readRefCsv("cluster", "kmeans_cases.csv");
}

// The set's columns x1..xp, divided by R's sd when `bySd`.
inline DataSet dataSet(const std::string& set, bool bySd = false) {
  const std::vector<RefRow> rows = readRefCsv("cluster", "kmeans_" + set + ".csv");
  DataSet data;
  data.rows = static_cast<long>(rows.size());
  while (rows[0].fields.count("x" + std::to_string(data.cols + 1)))
    ++data.cols;
  for (long col = 0; col < data.cols; ++col) {
    const std::string name = "x" + std::to_string(col + 1);
    double divisor = 1.0;
    for (const RefRow& stat : readRefCsv("cluster", "kmeans_stats.csv"))
      if (bySd && stat.text("set") == set && stat.text("column") == name) divisor = stat.num("sd");
    for (const RefRow& row : rows)
      data.x.push_back(row.num(name) / divisor);
  }
  if (rows[0].fields.count("w"))
    for (const RefRow& row : rows)
      data.weights.push_back(row.num("w"));
  return data;
}

// The 1-based starting rows of a case ("1;51;101"); none for "hclust:k".
inline std::vector<long> startRows(const RefRow& c) {
  std::vector<long> rows;
  if (c.text("start").starts_with("hclust:")) return rows;
  std::istringstream in(c.text("start"));
  for (std::string item; std::getline(in, item, ';');)
    rows.push_back(std::stol(item));
  return rows;
}

inline std::string key(const std::string& what, std::size_t cluster, long col = -1) {
  return what + ":" + std::to_string(cluster) + (col < 0 ? "" : ":" + std::to_string(col));
}

// Results under those names: centers k x cols column-major, within sums and sizes k each.
inline qmxtest::NamedValues named(const double* centers, const double* withinSS, const double* size,
                                  std::size_t k, long cols) {
  qmxtest::NamedValues values;
  for (std::size_t l = 0; l < k; ++l) {
    values[key("size", l + 1)] = size[l];
    values[key("withinss", l + 1)] = withinSS[l];
    for (long col = 0; col < cols; ++col)
      values[key("center", l + 1, col + 1)] = centers[l + col * k];
  }
  return values;
}

inline qmxtest::NamedValues refResult(const RefRow& c, long cols) {
  qmxtest::NamedValues values;
  for (const RefRow& row : readRefCsv("cluster", "kmeans_centers.csv")) {
    if (row.text("case") != c.text("case")) continue;
    const long cluster = std::stol(row.text("cluster"));
    values[key("size", cluster)] = row.num("size");
    values[key("withinss", cluster)] = row.num("withinss");
    for (long col = 1; col <= cols; ++col)
      values[key("center", cluster, col)] = row.num("c" + std::to_string(col));
  }
  return values;
}

inline std::vector<int> refClusters(const RefRow& c) {
  std::vector<int> clusters;
  for (const RefRow& row : readRefCsv("cluster", "kmeans_clusters.csv"))
    if (row.text("case") == c.text("case")) clusters.push_back(std::stoi(row.text("cluster")));
  return clusters;
}

}  // namespace kmcase
