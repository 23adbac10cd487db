// qmx cov: covariance and Pearson correlation between target columns and --with columns of
// a CSV file, computed by the QMXProcCov proc of the procedures library in one streaming
// pass (rows with a missing value in any named column are left out, as R's
// use = "complete.obs").
//
// The proc is created the way any host creates it: the library is loaded with the proc
// loader and the factory qmx_s_create_QMXProcCov is called; the host driver feeds it the
// file chunk by chunk, and the results are read back through its properties.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "CommandLimits.h"
#include "Commands.h"
#include "Console.h"
#include "DataOptions.h"
#include "ReadingOptions.h"
#include "TerminalText.h"
#include "qmxbase/QMXChunkRows.h"
#include "qmxbase/QMXCsvSource.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXNumberText.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXProcLoader.h"

namespace {

struct CovOptions {
  std::string data;
  std::vector<std::string> targets;
  std::vector<std::string> with;
  long chunkRows = qmxDefaultChunkRows();
  std::string format = "text";
  DataOptions dataOptions;
};

// The results of one run, read back from the proc's properties.
struct CovResults {
  std::vector<std::string> targets;
  std::vector<std::string> with;
  std::vector<double> cov;  // target i, with j at i * with.size() + j
  std::vector<double> cor;
  std::vector<double> targetMeans;
  std::vector<double> withMeans;
  long long rows = 0;
};

const char* typeName(QMXColumnType type) {
  switch (type) {
    case QMXColumnType::Double:
      return "numeric";
    case QMXColumnType::Factor:
      return "factor";
    case QMXColumnType::String:
      return "text";
  }
  return "unknown";
}

// Column numbers of `names` in the file; a clear error for a name not in the file or a
// column that is not numeric.
std::vector<long> resolveColumns(const QMXSchema& schema, const std::vector<std::string>& names,
                                 const std::string& path) {
  std::vector<long> columns;
  for (const std::string& name : names) {
    long found = -1;
    for (std::size_t col = 0; col < schema.size() && found < 0; ++col)
      if (schema[col].name == name) found = static_cast<long>(col);
    if (found < 0) {
      std::string available;
      for (const QMXColumnInfo& info : schema)
        available += (available.empty() ? "" : ", ") + info.name;
      throw CommandError("column '" + name + "' is not in " + path +
                         "; available columns: " + available);
    }
    if (schema[found].type != QMXColumnType::Double)
      throw CommandError("column '" + name + "' of " + path + " is not numeric (it is a " +
                         typeName(schema[found].type) + " column); qmx cov needs numeric columns");
    columns.push_back(found);
  }
  return columns;
}

void setColumn(QMXPipeline& pipeline, const char* property, long column) {
  QMXPropertyInfo prop(property, {std::to_string(column)});
  if (!pipeline.setProperty(prop)) throw CommandError(pipeline.error());
}

double getEntry(QMXPipeline& pipeline, const char* property, std::vector<std::string> index) {
  QMXPropertyInfo prop(property, index);
  if (!pipeline.getProperty(prop) || !std::holds_alternative<double>(prop.answer()))
    throw CommandError(std::string("cannot read ") + property + " from QMXProcCov" +
                       (pipeline.error().empty() ? "" : ": " + pipeline.error()));
  return std::get<double>(prop.answer());
}

CovResults runCov(const CovOptions& options) {
  const QMXCsvOptions csv = options.dataOptions.csv();
  std::unique_ptr<QMXDataSource> source;
  try {
    source = std::make_unique<QMXCsvSource>(options.data,
                                            scanData(options.data, options.dataOptions, csv), csv);
  } catch (const QMXDataError& e) {
    throw CommandError(e.what());
  }
  checkHasRows(options.data, source->totalRows());
  checkChunkRows(options.chunkRows, source->schema());
  const std::vector<long> targetCols =
      resolveColumns(source->schema(), options.targets, options.data);
  const std::vector<long> withCols = resolveColumns(source->schema(), options.with, options.data);

  std::unique_ptr<QMXProc> proc = createLinkedProc("QMXProcCov");

  QMXPipeline pipeline(*proc, "QMXProcCov");
  pipeline.addInput(*source);
  pipeline.setChunkRows(options.chunkRows);
  ProgressLine progress("qmx cov");
  pipeline.setProgressCallback(
      [&progress](std::int64_t done, std::int64_t total) { progress.update(done, total); });
  pipeline.attach();
  for (const long col : targetCols)
    setColumn(pipeline, "define.target.column", col);
  for (const long col : withCols)
    setColumn(pipeline, "define.correlation.column", col);
  const bool ok = pipeline.run();
  progress.clear();
  if (!ok) throw CommandError(pipeline.error());

  CovResults results;
  results.targets = options.targets;
  results.with = options.with;
  for (std::size_t i = 0; i < targetCols.size(); ++i) {
    const std::string ti = std::to_string(i);
    for (std::size_t j = 0; j < withCols.size(); ++j) {
      const std::string wj = std::to_string(j);
      results.cov.push_back(getEntry(pipeline, "cov.entry", {ti, wj}));
      results.cor.push_back(getEntry(pipeline, "cor.entry", {ti, wj}));
    }
    results.targetMeans.push_back(getEntry(pipeline, "target.mean", {ti}));
  }
  for (std::size_t j = 0; j < withCols.size(); ++j)
    results.withMeans.push_back(getEntry(pipeline, "correlation.mean", {std::to_string(j)}));
  QMXPropertyInfo rows("total.rows.processed");
  if (!pipeline.getProperty(rows) || !std::holds_alternative<long long>(rows.answer()))
    throw CommandError("cannot read total.rows.processed from QMXProcCov");
  results.rows = std::get<long long>(rows.answer());
  return results;
}

// With NaN written as NaN; without a format the shortest text that reads back to x.
std::string number(double x, const char* format = nullptr) {
  if (std::isnan(x)) return "NaN";
  char text[64];
  if (format == nullptr) return std::string(text, QMXWriteShortest(text, x));
  std::snprintf(text, sizeof text, format, x);
  return text;
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

void printCsv(const CovResults& r) {
  std::printf("target,with,cov,cor,n\n");
  for (std::size_t i = 0; i < r.targets.size(); ++i)
    for (std::size_t j = 0; j < r.with.size(); ++j) {
      const std::size_t at = i * r.with.size() + j;
      std::printf("%s,%s,%s,%s,%lld\n", csvField(r.targets[i]).c_str(), csvField(r.with[j]).c_str(),
                  number(r.cov[at]).c_str(), number(r.cor[at]).c_str(), r.rows);
    }
}

// `text` and spaces up to `width` terminal columns, on the left or the right of it.
std::string padded(const std::string& text, std::size_t width, bool left) {
  const std::string pad(width - std::min(width, displayWidth(text)), ' ');
  return left ? pad + text : text + pad;
}

// Column names escaped for the terminal and aligned by the columns they take; every cell at
// least one space from the next.
void printMatrix(const char* title, const CovResults& r, const std::vector<double>& values) {
  std::vector<std::string> cells;
  for (const double value : values)
    cells.push_back(number(value, "%.6g"));
  std::size_t width = 12;
  for (const std::string& name : r.with)
    width = std::max(width, displayWidth(terminalText(name)) + 2);
  for (const std::string& cell : cells)
    width = std::max(width, cell.size() + 1);
  std::size_t labelWidth = 1;
  for (const std::string& name : r.targets)
    labelWidth = std::max(labelWidth, displayWidth(terminalText(name)));
  std::string out = std::string(title) + "\n" + std::string(labelWidth, ' ');
  for (const std::string& name : r.with)
    out += padded(terminalText(name), width, true);
  out += "\n";
  for (std::size_t i = 0; i < r.targets.size(); ++i) {
    out += padded(terminalText(r.targets[i]), labelWidth, false);
    for (std::size_t j = 0; j < r.with.size(); ++j)
      out += padded(cells[i * r.with.size() + j], width, true);
    out += "\n";
  }
  std::printf("%s\n", out.c_str());
}

void printText(const CovResults& r) {
  printMatrix("covariance", r, r.cov);
  printMatrix("correlation", r, r.cor);
  std::printf("means\n");
  for (std::size_t i = 0; i < r.targets.size(); ++i)
    std::printf("  %s = %s\n", terminalText(r.targets[i]).c_str(),
                number(r.targetMeans[i], "%.10g").c_str());
  for (std::size_t j = 0; j < r.with.size(); ++j)
    std::printf("  %s = %s\n", terminalText(r.with[j]).c_str(),
                number(r.withMeans[j], "%.10g").c_str());
  std::printf("\nrows used: %lld\n", r.rows);
}

}  // namespace

void addCovCommand(CLI::App& app) {
  auto options = std::make_shared<CovOptions>();
  auto* cmd = app.add_subcommand(
      "cov",
      "Covariance and Pearson correlation between every --target column and every --with "
      "column, with the means and the number of rows used (rows with a missing value in any "
      "named column are left out). One streaming pass; memory does not grow with the file.");
  cmd->add_option("DATA", options->data,
                  "CSV file with a header line (- for standard input; gzip data is read too)")
      ->required();
  cmd->add_option("--target", options->targets, "target columns (rows of the matrices)")
      ->required()
      ->delimiter(',');
  cmd->add_option("--with", options->with, "columns to pair with each target (matrix columns)")
      ->required()
      ->delimiter(',');
  cmd->add_option("--chunk-rows", options->chunkRows,
                  "rows per chunk (default 1000, or QMX_CHUNK_ROWS)")
      ->check(wholeNumber(1));
  addDataOptions(cmd, options->dataOptions);
  addMemoryBudgetOption(cmd);
  addReadingOptions(cmd);
  cmd->add_option("--format", options->format,
                  "text: matrices, means and rows used; csv: target,with,cov,cor,n per pair")
      ->check(CLI::IsMember({"text", "csv"}));
  cmd->footer(
      "Example:\n"
      "  qmx cov examples/mtcars.csv --target mpg,hp --with wt,qsec,disp\n"
      "  qmx cov examples/mtcars.csv --target mpg --with wt --format csv");
  cmd->callback([options] {
    const CovResults results = runCov(*options);
    if (options->format == "csv")
      printCsv(results);
    else
      printText(results);
  });
}
