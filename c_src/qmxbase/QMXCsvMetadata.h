// The metadata pass over a CSV file: one streaming pass with bounded memory that decides
// each column's type and gathers its summary, as `qmx describe` prints it and as
// QMXCsvSource needs it (the factor levels must be known before the first row is read).
//
// Types: Double when every non-missing field reads as a number (QMXCsvParseNumber);
// otherwise Factor when the column has at most maxLevels distinct values, else String.
// A column with no values at all (all missing, or a file with a header only) is Double.
// Factor levels are sorted in byte order, as R sorts them in the C locale, and numbered
// 0..L-1 in that order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qmxbase/QMXColumnInfo.h"
#include "qmxbase/QMXCsvOptions.h"

struct QMXCsvColumnSummary {
  QMXColumnInfo info;                     // name, type, sorted levels (Factor only)
  std::vector<std::int64_t> levelCounts;  // parallel to info.levels
  std::int64_t count = 0;                 // non-missing fields
  std::int64_t missing = 0;               // missing fields (markers, and NaN in Double columns)
  // Double columns, like R's min, max, mean and sd (n - 1 divisor); NaN when undefined
  // (no values; sd with fewer than two).
  double min = 0, max = 0, mean = 0, sd = 0;
};

struct QMXCsvMetadata {
  std::string path;
  std::int64_t rows = 0;
  std::vector<QMXCsvColumnSummary> columns;

  QMXSchema schema() const;
};

// Reads `path` once. Throws QMXDataError for unreadable or malformed files.
QMXCsvMetadata scanCsvMetadata(const std::string& path, const QMXCsvOptions& options = {});
