// The options of every command that reads CSV data (--separator, --na, --decimal, --quote)
// and the metadata pass over it with messages a user can act on: a header of one field that
// holds tabs or semicolons suggests --separator, and a column that is almost all numbers but
// reads as text names the texts that made it so and suggests --na.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXCsvOptions.h"

struct DataOptions {
  std::string separator = ",";
  std::vector<std::string> naStrings;
  std::string decimal = ".";
  std::string quote = "\"";
  CLI::Option* separatorOption = nullptr;
  CLI::Option* naOption = nullptr;

  // The reader's settings; throws CommandError (a usage error) naming the option at fault.
  QMXCsvOptions csv() const;
};

// Adds the data options to `cmd`, bound to `options` (which must outlive the parse).
void addDataOptions(CLI::App* cmd, DataOptions& options);

// The metadata pass over `path` (a file, "-" for standard input, or gzip data). Throws
// CommandError with the reader's message, and a --separator hint when the header line is one
// field holding another likely separator and none was given.
QMXCsvMetadata scanData(const std::string& path, const DataOptions& options,
                        const QMXCsvOptions& csv);

// "note: ..." on stderr (unless --quiet) for every factor or text column of which at least
// nine values in ten read as numbers: the column, the count and the first such text.
void noteAlmostNumericColumns(const QMXCsvMetadata& meta);
