// qmx describe: one metadata pass over a CSV file, printed as a table (text) or as one
// CSV line per column.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLimits.h"
#include "Commands.h"
#include "DataOptions.h"
#include "ReadingOptions.h"
#include "TerminalText.h"
#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXNumberText.h"

namespace {

struct DescribeSettings {
  std::string path;
  std::string format = "text";
  std::size_t maxLevels = QMXCsvOptions{}.maxLevels;
  DataOptions data;
};

constexpr std::size_t kShownLevels = 8;      // text format: levels listed per factor
constexpr std::size_t kLevelTextWidth = 72;  // text format: width of the level list

std::string formatNumber(double x, int digits) {
  if (std::isnan(x)) return "NA";
  if (std::isinf(x)) return x > 0 ? "Inf" : "-Inf";
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, x);
  return text;
}

// Texts of the data, escaped for the terminal (a control character would break the table or
// drive the terminal).
std::string printable(const std::string& text) {
  return terminalText(text);
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string levelSummary(const QMXCsvColumnSummary& column, std::size_t maxLevels) {
  if (column.info.type == QMXColumnType::String)
    return "more than " + std::to_string(maxLevels) + " distinct values";
  const std::size_t nLevels = column.info.levels.size();
  std::string out = std::to_string(nLevels) + (nLevels == 1 ? " level" : " levels");
  std::size_t shown = 0;
  for (; shown < nLevels && shown < kShownLevels; ++shown) {
    std::string item = printable(column.info.levels[shown]) + " (" +
                       std::to_string(column.levelCounts[shown]) + ")";
    if (shown > 0 && displayWidth(out) + displayWidth(item) > kLevelTextWidth) break;
    out += (shown == 0 ? ": " : ", ") + item;
  }
  if (shown < nLevels) out += ", ... (" + std::to_string(nLevels - shown) + " more)";
  return out;
}

void printText(const QMXCsvMetadata& meta, std::size_t maxLevels) {
  std::printf("%s: %lld rows, %zu columns\n\n", printable(meta.path).c_str(),
              static_cast<long long>(meta.rows), meta.columns.size());
  const std::vector<std::string> head = {"#",   "column", "type", "n", "missing",
                                         "min", "max",    "mean", "sd"};
  std::vector<std::vector<std::string>> rows;
  for (std::size_t colIdx = 0; colIdx < meta.columns.size(); ++colIdx) {
    const QMXCsvColumnSummary& column = meta.columns[colIdx];
    std::vector<std::string> row = {std::to_string(colIdx + 1), printable(column.info.name),
                                    QMXColumnTypeName(column.info.type),
                                    std::to_string(column.count), std::to_string(column.missing)};
    if (column.info.type == QMXColumnType::Double) {
      for (double x : {column.min, column.max, column.mean, column.sd})
        row.push_back(formatNumber(x, 6));
    } else {
      row.push_back(levelSummary(column, maxLevels));  // spans min..sd
    }
    rows.push_back(std::move(row));
  }
  std::vector<std::size_t> widths(head.size());
  for (std::size_t cellIdx = 0; cellIdx < head.size(); ++cellIdx)
    widths[cellIdx] = head[cellIdx].size();
  for (const auto& row : rows)
    if (row.size() == head.size())
      for (std::size_t cellIdx = 0; cellIdx < row.size(); ++cellIdx)
        widths[cellIdx] = std::max(widths[cellIdx], displayWidth(row[cellIdx]));
    else
      for (std::size_t cellIdx = 0; cellIdx + 1 < row.size(); ++cellIdx)
        widths[cellIdx] = std::max(widths[cellIdx], displayWidth(row[cellIdx]));
  // Numbers right-aligned, names and types left-aligned; the level list of a factor or
  // string row (its last cell) is printed as it is.
  auto printRow = [&](const std::vector<std::string>& row) {
    std::string line;
    for (std::size_t cellIdx = 0; cellIdx < row.size(); ++cellIdx) {
      const std::string& cell = row[cellIdx];
      const bool levelList = row.size() != head.size() && cellIdx + 1 == row.size();
      const std::size_t pad = levelList ? 0 : widths[cellIdx] - displayWidth(cell);
      const bool rightAligned = cellIdx == 0 || cellIdx >= 3;
      if (cellIdx > 0) line += "  ";
      line += rightAligned ? std::string(pad, ' ') + cell : cell + std::string(pad, ' ');
    }
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    std::printf("%s\n", line.c_str());
  };
  printRow(head);
  for (const auto& row : rows)
    printRow(row);
}

// On a terminal the lines are escaped as the text format's; into a file or a pipe they
// stay the data's bytes.
void printCsv(const QMXCsvMetadata& meta) {
  const bool terminal = isatty(STDOUT_FILENO) != 0;
  std::printf("column,type,n,missing,min,max,mean,sd,levels\n");
  for (const QMXCsvColumnSummary& column : meta.columns) {
    std::string line = csvField(column.info.name) + "," + QMXColumnTypeName(column.info.type) +
                       "," + std::to_string(column.count) + "," + std::to_string(column.missing);
    std::string levels;
    if (column.info.type == QMXColumnType::Double) {
      for (double x : {column.min, column.max, column.mean, column.sd})
        line += "," + QMXCsvNumberText(x);
    } else {
      line += ",,,,";
      for (std::size_t levelIdx = 0; levelIdx < column.info.levels.size(); ++levelIdx)
        levels += (levelIdx == 0 ? "" : ";") + column.info.levels[levelIdx] + ":" +
                  std::to_string(column.levelCounts[levelIdx]);
    }
    line += "," + csvField(levels);
    std::printf("%s\n", (terminal ? printable(line) : line).c_str());
  }
}

void runDescribe(const DescribeSettings& settings) {
  checkMaxLevels(settings.maxLevels);
  QMXCsvOptions options = settings.data.csv();
  options.maxLevels = settings.maxLevels;
  QMXCsvMetadata meta = scanData(settings.path, settings.data, options);
  checkHasRows(settings.path, meta.rows);
  noteAlmostNumericColumns(meta);
  if (settings.format == "csv")
    printCsv(meta);
  else
    printText(meta, settings.maxLevels);
}

}  // namespace

void addDescribeCommand(CLI::App& app) {
  auto settings = std::make_shared<DescribeSettings>();
  auto* cmd = app.add_subcommand(
      "describe",
      "Column types, factor levels with counts, and min/max/mean/sd of numeric columns of a "
      "CSV file, in two streaming passes (the second refines the means as R's mean does)");
  cmd->add_option("data", settings->path,
                  "CSV file with a header line (- for standard input; gzip data is read too)")
      ->required();
  cmd->add_option("--format", settings->format, "Output format: text (a table) or csv")
      ->check(CLI::IsMember({"text", "csv"}))
      ->capture_default_str();
  cmd->add_option("--max-levels", settings->maxLevels,
                  "A non-numeric column with at most this many distinct values is a factor, "
                  "with more a string column")
      ->check(wholeNumber(0))
      ->capture_default_str();
  addDataOptions(cmd, settings->data);
  addMemoryBudgetOption(cmd);
  addReadingOptions(cmd);
  cmd->footer(
      "Examples:\n"
      "  qmx describe examples/mtcars.csv\n"
      "  qmx describe data.csv --format csv --max-levels 50 --na NA --na -999\n");
  cmd->callback([settings] { runDescribe(*settings); });
}
