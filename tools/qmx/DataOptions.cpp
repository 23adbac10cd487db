#include "DataOptions.h"

#include <fstream>

#include "Commands.h"
#include "Console.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXSeekablePath.h"

namespace {

// The longest first line read to look for another separator.
constexpr std::size_t kFirstLineBytes = 64 * 1024;

char separatorChar(const std::string& text) {
  if (text == "tab" || text == "\\t") return '\t';
  if (text.size() != 1 || text == "\"" || text == "\n" || text == "\r")
    throw CommandError("--separator takes one character (or tab), not '" + text + "'", kExitUsage);
  return text[0];
}

std::string shown(char c) {
  return c == '\t' ? std::string("tab") : "'" + std::string(1, c) + "'";
}

// The first line of the data, at most kFirstLineBytes ("" when it cannot be read).
std::string firstLine(const std::string& path) {
  try {
    std::ifstream in(QMXSeekablePath(path), std::ios::binary);
    std::string line(kFirstLineBytes, '\0');
    in.read(line.data(), static_cast<std::streamsize>(line.size()));
    line.resize(static_cast<std::size_t>(in.gcount()));
    return line.substr(0, line.find_first_of("\r\n"));
  } catch (const QMXDataError&) {
    return "";
  }
}

// " (the first line holds no ',' but tabs: give --separator tab)" when the first line does
// not hold the separator and holds a tab, a semicolon, a comma or a bar; else "".
std::string separatorHint(const std::string& path, char separator) {
  const std::string line = firstLine(path);
  if (line.find(separator) != std::string::npos) return "";
  for (const char other : {'\t', ';', ',', '|'}) {
    if (other == separator || line.find(other) == std::string::npos) continue;
    const std::string option = other == '\t' ? "tab" : "'" + std::string(1, other) + "'";
    return " (its first line holds no " + shown(separator) + " but " +
           (other == '\t' ? std::string("tabs") : shown(other)) + ": give --separator " + option +
           ")";
  }
  return "";
}

}  // namespace

QMXCsvOptions DataOptions::csv() const {
  QMXCsvOptions options;
  options.separator = separatorChar(separator);
  if (quote.size() != 1 || quote[0] == options.separator || quote == "\n" || quote == "\r")
    throw CommandError("--quote takes one character other than the separator, not '" + quote + "'",
                       kExitUsage);
  options.quote = quote[0];
  if (decimal != "." && decimal != ",")
    throw CommandError("--decimal takes . or , not '" + decimal + "'", kExitUsage);
  options.decimal = decimal[0];
  if (options.decimal == options.separator)
    throw CommandError("--decimal , needs another --separator (e.g. ';')", kExitUsage);
  if (naOption != nullptr && naOption->count() > 0) options.naStrings = naStrings;
  return options;
}

void addDataOptions(CLI::App* cmd, DataOptions& options) {
  options.separatorOption =
      cmd->add_option("--separator", options.separator, "Field separator: one character, or tab")
          ->capture_default_str();
  options.naOption = cmd->add_option("--na", options.naStrings,
                                     "A text that marks a missing value; repeat for several "
                                     "(default: the empty field and NA; --na '' for the empty "
                                     "field)");
  options.naOption->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->allow_extra_args(false);
  cmd->add_option("--decimal", options.decimal, "Decimal mark of numbers: . or ,")
      ->capture_default_str();
  cmd->add_option("--quote", options.quote, "Quote character of fields")->capture_default_str();
}

QMXCsvMetadata scanData(const std::string& path, const DataOptions& options,
                        const QMXCsvOptions& csv) {
  const bool separatorGiven = options.separatorOption && options.separatorOption->count() > 0;
  QMXCsvMetadata meta;
  try {
    meta = scanCsvMetadata(path, csv);
  } catch (const QMXDataError& e) {
    throw CommandError(e.what() + (separatorGiven ? "" : separatorHint(path, csv.separator)));
  }
  if (meta.columns.size() == 1 && !separatorGiven) {
    const std::string hint = separatorHint(path, csv.separator);
    if (!hint.empty()) throw CommandError(path + " has a single column" + hint);
  }
  return meta;
}

void noteAlmostNumericColumns(const QMXCsvMetadata& meta) {
  for (const QMXCsvColumnSummary& column : meta.columns) {
    if (column.info.type == QMXColumnType::Double || column.notNumbers == 0) continue;
    if (column.notNumbers * 10 > column.count) continue;
    printNote("note: column '" + column.info.name + "' reads as " +
              (column.info.type == QMXColumnType::Factor ? "a factor" : "text") + ", though only " +
              std::to_string(column.notNumbers) + " of its " + std::to_string(column.count) +
              " values are not numbers (the first: '" + column.firstNotNumber + "' on line " +
              std::to_string(column.firstNotNumberLine) +
              "); if that text marks missing values, add --na '" + column.firstNotNumber +
              "' (with --na NA --na '' to keep the default markers)");
  }
}
