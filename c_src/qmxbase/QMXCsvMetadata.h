// The metadata pass over a CSV file: one streaming pass with bounded memory that decides
// each column's type and gathers its summary, as `qmx describe` prints it and as
// QMXCsvSource needs it (the factor levels must be known before the first row is read).
//
// Types, as R's read.csv decides them: Double when every non-missing field reads as a
// number (QMXCsvParseNumber); otherwise Factor when the column has at most maxLevels
// distinct values (and they fit in its share of a quarter of the memory available), else
// String. A column with no values at all (all missing) is Double. Factor levels are sorted
// in byte order, as R sorts them in the C locale, and numbered 0..L-1 in that order.
// A caller that needs a column as numbers (a model's numeric predictor) calls
// readAsNumbers: the fields that are not numbers then read as missing, with a warning.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qmxbase/QMXColumnInfo.h"
#include "qmxbase/QMXCsvOptions.h"

class QMXCsvSpill;

struct QMXCsvColumnSummary {
  QMXColumnInfo info;                     // name, type, sorted levels (Factor only)
  std::vector<std::int64_t> levelCounts;  // parallel to info.levels
  std::int64_t count = 0;                 // non-missing fields
  std::int64_t missing = 0;               // missing fields (markers, and NaN in Double columns)
  // Double columns, like R's min, max, mean and sd (n - 1 divisor); NaN when undefined
  // (no values; sd with fewer than two) or not asked for (QMXCsvOptions::summaries).
  double min = 0, max = 0, mean = 0, sd = 0;
  // Non-missing fields that do not read as numbers (0 for a Double column unless made one
  // by readAsNumbers), and the first of them: 1-based data row, file line, text (at most
  // 64 bytes).
  std::int64_t notNumbers = 0;
  std::int64_t firstNotNumberRow = 0, firstNotNumberLine = 0;
  std::string firstNotNumber;
  // The fields that read as numbers, summarized as for a Double column (nan: those that are
  // NaN); readAsNumbers takes count, missing, min, max, mean and sd from here.
  struct Numbers {
    std::int64_t count = 0, nan = 0;
    double min = 0, max = 0, mean = 0, sd = 0;
  } asNumbers;
};

struct QMXCsvMetadata {
  std::string path;
  std::int64_t rows = 0;
  std::vector<QMXCsvColumnSummary> columns;
  // The parsed cells, when the pass kept them (QMXCsvOptions::spill): QMXCsvSource then
  // reads them instead of the text. Shared by copies.
  std::shared_ptr<const QMXCsvSpill> spill;

  QMXSchema schema() const;

  // Makes column `colIdx` a Double column, its fields that are not numbers missing (also
  // for QMXCsvSource), and returns a warning that names how many there are and the first
  // (row, line, column, text); "" when the column is already Double. Throws QMXDataError
  // when `strict` ("<path>:<line>: column '<name>' (<k>): cannot read '<text>' as a
  // number") or when no field of the column is a number.
  std::string readAsNumbers(std::size_t colIdx, bool strict = false);
};

// Reads `path` once; with options.spill (and QMXSpillEnabled()) it also writes the parsed
// cells to a temporary file (QMXCsvSpill: its errors name the directory). Throws QMXDataError for
// unreadable or malformed files, "no rows of data in <path>" for a file with a header only (unless
// options.allowNoRows), and "not enough memory: ..." when an allocation fails.
QMXCsvMetadata scanCsvMetadata(const std::string& path, const QMXCsvOptions& options = {});
