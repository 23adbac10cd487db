// DataColumn: what the model layer needs to know about one column of a data set, without
// depending on the CSV or buffer layer: its name, its kind (numeric, factor with levels, or
// text that cannot enter a model) and, optionally, its univariate statistics as a metadata
// pass gathers them (the count of non-missing values, min, max, mean, standard deviation,
// and the count of rows per factor level).
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

enum class DataColumnKind { kNumeric, kFactor, kText };

struct DataColumn {
  std::string name;
  DataColumnKind kind = DataColumnKind::kNumeric;
  std::vector<std::string> levels;  // factor columns: level labels in code order

  // Statistics (optional; written as UnivariateStats by the specification writer).
  std::int64_t count = 0;                 // non-missing values
  std::vector<std::int64_t> levelCounts;  // factor columns: rows per level, parallel to levels
  double min = std::numeric_limits<double>::quiet_NaN();
  double max = std::numeric_limits<double>::quiet_NaN();
  double mean = std::numeric_limits<double>::quiet_NaN();
  double sd = std::numeric_limits<double>::quiet_NaN();

  static DataColumn numeric(std::string name) {
    DataColumn column;
    column.name = std::move(name);
    return column;
  }
  static DataColumn factor(std::string name, std::vector<std::string> levels) {
    DataColumn column;
    column.name = std::move(name);
    column.kind = DataColumnKind::kFactor;
    column.levels = std::move(levels);
    return column;
  }
  static DataColumn text(std::string name) {
    DataColumn column;
    column.name = std::move(name);
    column.kind = DataColumnKind::kText;
    return column;
  }
};
