// Shared by the k-means model tests: a fitted KMeansFit built from an R reference
// (tests/ref/cluster/<case>_fit.csv: centers in the scaled space, divisors, sizes, withinss),
// over a model of the csv's center columns.
#pragma once

#include <string>
#include <vector>

#include "qmxmisc/cluster/KMeansFit.h"
#include "support/RefCsv.h"

namespace kmeans_test {

// The fit of R's reference `name`; its fields are the center columns in file order.
inline KMeansFit fitFromR(const std::string& name, std::vector<std::string>* fields = nullptr) {
  const std::vector<RefRow> rows = readRefCsv("cluster", name + "_fit.csv");
  // Field order: the order of the header line.
  const std::vector<std::vector<std::string>> cells =
      readRefCells(refPath("cluster", name + "_fit.csv"));
  std::vector<std::string> names;
  for (const std::string& column : cells[0])
    if (rows[0].fields.count("scale." + column) != 0) names.push_back(column);
  std::string columns, schema;
  for (const std::string& column : names) {
    columns += "<ColumnInfo name=\"" + column + "\" role=\"independent\"/>";
    schema += "<MiningField name=\"" + column + "\"/>";
  }
  const std::string frame = "<VTML><XTMetaData><ColumnDefinitions>" + columns +
                            "</ColumnDefinitions></XTMetaData><ClusteringModel><MiningSchema>" +
                            schema + "</MiningSchema></ClusteringModel></VTML>";
  KMeansFit fit;
  fit.setModel(MiningModel(frame.c_str()));
  const long k = static_cast<long>(rows.size());
  const long f = static_cast<long>(names.size());
  DoubleMatrix centers(k, f), size(k, 1L), within(k, 1L), scaling(f, 1L);
  strVector rowNames, colNames;
  for (long c = 0; c < k; ++c) {
    for (long j = 0; j < f; ++j) {
      centers(c, j) = rows[c].num(names[j]);
      scaling(j, 0) = rows[c].num("scale." + names[j]);
    }
    size(c, 0) = rows[c].num("size");
    within(c, 0) = rows[c].num("withinss");
    rowNames.push_back(String("cluster " + std::to_string(c + 1)));
  }
  for (const std::string& column : names)
    colNames.push_back(String(column));
  centers.setRowNames(rowNames);
  centers.setColNames(colNames);
  fit.setCenters(centers);
  fit.setSize(size);
  fit.setWithinSS(within);
  fit.setInputScaling(scaling);
  if (fields != nullptr) *fields = names;
  return fit;
}

}  // namespace kmeans_test
