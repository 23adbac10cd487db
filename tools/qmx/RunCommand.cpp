// qmx run: creates any proc of the library, feeds it CSV input chunk by chunk, sets and reads
// its properties, and writes its output rows to a CSV file.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CommandLimits.h"
#include "Commands.h"
#include "OutputFile.h"
#include "ReadingOptions.h"
#include "TerminalText.h"
#include "qmxbase/QMXChunkRows.h"
#include "qmxbase/QMXCsvSink.h"
#include "qmxbase/QMXCsvSource.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXDataSink.h"
#include "qmxbase/QMXDataSource.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXProcLoader.h"
#include "qmxbase/QMXPropertyInfo.h"

#ifndef QMX_DEFAULT_LIBRARY_DIR
#define QMX_DEFAULT_LIBRARY_DIR "."
#endif

namespace {

struct RunOptions {
  std::string className;
  std::string input;
  std::string input2;
  std::vector<std::string> sets;
  std::vector<std::string> gets;
  std::string output;
  std::vector<std::string> outputColumns;
  long chunkRows = qmxDefaultChunkRows();
  std::string library;
  bool verbose = false;
};

constexpr const char* kRunHelp =
    R"(Runs one proc of the procedures library over CSV input, chunk by chunk.

  --set name=value      sets a property before the run; repeat, applied in order.
                        name=v1,v2,...  a chain of values (e.g. two indexes)
                        name=@PATH      the contents of a file as one value (XML documents)
                        name            a request with no value (e.g. clear.calc.columns)
  --get name            after the run, prints name=value on stdout
  --get name=i,j        passes input values and prints name[i,j]=value
  --output-column NAME[:double|factor|string]
                        defines an output column (default type double); repeat in order
  Messages go to stderr as "error: ", "warning: ", "info: " ("debug: " with --verbose).
  The exit status is 1 when the proc ends with an error.

Examples:
  qmx run QMXProcCov --input cars.csv --set clear.calc.columns \
      --set define.target.column=1 --set define.correlation.column=2 \
      --set define.correlation.column=3 --get cov.entry=0,0 --get cor.entry=0,1
  qmx run QMXProcGLMFit --input new.csv --set model.xml=@fit.xml \
      --set define.output=0,fitted.value,mpg --output scores.csv --output-column mpg.fit
  QMX_LIBRARY=/path/libqmxmisc.so qmx run QMXProcKMeans --input data.csv --chunk-rows 500 ...
)";

// "a,b,c" -> {"a", "b", "c"}; "" -> {""}.
std::vector<std::string> splitValues(const std::string& text) {
  std::vector<std::string> values;
  std::string::size_type start = 0;
  while (true) {
    const auto comma = text.find(',', start);
    values.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return values;
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CommandError("cannot read " + path + " (given with @ in --set)");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One --set or --get argument as a property request.
std::unique_ptr<QMXPropertyInfo> makeRequest(const std::string& argument) {
  const auto equals = argument.find('=');
  if (equals == 0) throw CommandError("property request '" + argument + "' has no name");
  auto request = std::make_unique<QMXPropertyInfo>(argument.substr(0, equals));
  if (equals == std::string::npos) return request;
  const std::string value = argument.substr(equals + 1);
  if (!value.empty() && value[0] == '@') {
    request->addValue(readWholeFile(value.substr(1)));
  } else {
    for (auto& part : splitValues(value))
      request->addValue(std::move(part));
  }
  return request;
}

QMXColumnInfo parseOutputColumn(const std::string& spec) {
  QMXColumnInfo column;
  const auto colon = spec.rfind(':');
  column.name = spec.substr(0, colon);
  if (colon != std::string::npos) {
    const std::string type = spec.substr(colon + 1);
    if (type == "double") {
      column.type = QMXColumnType::Double;
    } else if (type == "factor") {
      column.type = QMXColumnType::Factor;
    } else if (type == "string") {
      column.type = QMXColumnType::String;
    } else {
      throw CommandError("--output-column " + spec + ": type must be double, factor or string");
    }
  }
  if (column.name.empty()) throw CommandError("--output-column " + spec + ": the name is empty");
  return column;
}

// CSV input (a metadata pass gives the schema and row count, then chunked reads).
std::unique_ptr<QMXDataSource> openCsvInput(const std::string& path) {
  return std::make_unique<QMXCsvSource>(path);
}

// Prints messages on stderr as they arrive; remembers error texts so that the final error is
// not printed twice.
class MessagePrinter {
 public:
  explicit MessagePrinter(bool verbose) : verbose_(verbose) {}
  void print(const QMXMessage& message) {
    if (message.kind == QMXMessageKind::Debug && !verbose_) return;
    clearProgress();
    std::fprintf(stderr, "%s: %s\n", QMXMessageKindName(message.kind),
                 terminalText(message.text).c_str());
    if (message.kind == QMXMessageKind::Error) errors_.insert(message.text);
  }
  void error(const std::string& text) {
    if (errors_.count(text)) return;
    print({QMXMessageKind::Error, text});
  }
  // At most ten updates a second, and only on a terminal.
  void progress(std::int64_t done, std::int64_t total) {
    if (!isatty(STDERR_FILENO)) return;
    const auto now = std::chrono::steady_clock::now();
    if (progressShown_ && now - lastProgress_ < std::chrono::milliseconds(100)) return;
    lastProgress_ = now;
    if (total > 0)
      std::fprintf(stderr, "\rrows %lld / %lld", static_cast<long long>(done),
                   static_cast<long long>(total));
    else
      std::fprintf(stderr, "\rrows %lld", static_cast<long long>(done));
    std::fflush(stderr);
    progressShown_ = true;
  }
  void clearProgress() {
    if (!progressShown_) return;
    std::fprintf(stderr, "\r\033[K");
    progressShown_ = false;
  }

 private:
  bool verbose_;
  bool progressShown_ = false;
  std::chrono::steady_clock::time_point lastProgress_;
  std::set<std::string> errors_;
};

// "name=value" or "name[i,j]=value" for a --get answer.
std::string answerLine(const QMXPropertyInfo& request) {
  std::string line = request.name();
  if (request.valueCount() > 0) {
    line += "[";
    const QMXPropertyInfo* value = &request;
    bool first = true;
    for (; value; value = value->next()) {
      if (!first) line += ",";
      line += value->valueText().value_or("");
      first = false;
    }
    line += "]";
  }
  return line + "=" + request.answerText();
}

void runProc(const RunOptions& options) {
  if (!options.input2.empty() && options.input.empty())
    throw CommandError("--input2 needs --input");
  if (!options.output.empty() && options.outputColumns.empty())
    throw CommandError("--output needs at least one --output-column");
  QMXSchema outputSchema;
  for (const auto& spec : options.outputColumns)
    outputSchema.push_back(parseOutputColumn(spec));

  const std::string libraryPath = options.library.empty()
                                      ? QMXProcLoader::defaultLibraryPath(QMX_DEFAULT_LIBRARY_DIR)
                                      : options.library;
  std::unique_ptr<QMXProc> proc;
  try {
    QMXProcLoader loader(libraryPath);
    proc = loader.create(options.className);
  } catch (const QMXLoadError& e) {
    throw CommandError(e.what(), 2);
  }

  MessagePrinter printer(options.verbose);
  proc->setMessageListener([&printer](const QMXMessage& message) { printer.print(message); });

  std::vector<std::unique_ptr<QMXDataSource>> sources;
  try {
    if (!options.input.empty()) sources.push_back(openCsvInput(options.input));
    if (!options.input2.empty()) sources.push_back(openCsvInput(options.input2));
  } catch (const QMXDataError& e) {
    throw CommandError(e.what());
  }
  QMXSchema inputColumns;
  for (const auto& source : sources) {
    checkHasRows(source == sources.front() ? options.input : options.input2, source->totalRows());
    inputColumns.insert(inputColumns.end(), source->schema().begin(), source->schema().end());
  }
  checkChunkRows(options.chunkRows, inputColumns);
  // The output rows go to an OutputFile, committed when the run succeeds.
  std::unique_ptr<OutputFile> file;
  std::unique_ptr<QMXDataSink> sink;
  if (!options.output.empty()) {
    file = std::make_unique<OutputFile>(options.output);
    sink = std::make_unique<QMXCsvSink>(file->stream(), options.output);
  }

  QMXPipeline pipeline(*proc, options.className);
  for (auto& source : sources)
    pipeline.addInput(*source);
  if (!outputSchema.empty()) pipeline.setOutput(std::move(outputSchema), sink.get());
  pipeline.setChunkRows(options.chunkRows);
  pipeline.setProgressCallback(
      [&printer](std::int64_t done, std::int64_t total) { printer.progress(done, total); });
  pipeline.attach();

  const auto failWith = [&printer](const std::string& error) {
    printer.clearProgress();
    printer.error(error);
    throw CommandError("", 1);
  };
  for (const auto& argument : options.sets) {
    auto request = makeRequest(argument);
    if (!pipeline.setProperty(*request)) failWith(pipeline.error());
  }
  const bool ok = pipeline.run();
  printer.clearProgress();
  if (!ok) failWith(pipeline.error());
  if (file) file->commit();
  if (!options.output.empty() && options.verbose)
    printer.print({QMXMessageKind::Debug, "wrote " + options.output});

  for (const auto& argument : options.gets) {
    auto request = makeRequest(argument);
    if (!pipeline.getProperty(*request)) failWith(pipeline.error());
    if (!request->hasAnswer()) {
      printer.print({QMXMessageKind::Warning, "property " + request->name() + " gave no answer"});
      continue;
    }
    std::printf("%s\n", terminalText(answerLine(*request), true).c_str());
  }
  std::fflush(stdout);
}

}  // namespace

void addRunCommand(CLI::App& app) {
  auto options = std::make_shared<RunOptions>();
  auto* cmd = app.add_subcommand("run", "run any proc of the library over CSV input");
  cmd->footer(kRunHelp);
  cmd->add_option("CLASS", options->className, "proc class, e.g. QMXProcCov")->required();
  cmd->add_option("--input", options->input, "CSV file for input buffer 1");
  cmd->add_option("--input2", options->input2, "CSV file for input buffer 2");
  cmd->add_option("--set", options->sets, "property to set: name[=v1,v2,...|=@PATH]")
      ->allow_extra_args(false);
  cmd->add_option("--get", options->gets, "property to print after the run: name[=i,j]")
      ->allow_extra_args(false);
  cmd->add_option("--output", options->output, "CSV file for the output rows");
  cmd->add_option("--output-column", options->outputColumns,
                  "output column NAME[:double|factor|string]")
      ->allow_extra_args(false);
  cmd->add_option("--chunk-rows", options->chunkRows,
                  "rows per chunk (default 1000, or QMX_CHUNK_ROWS)")
      ->check(wholeNumber());
  addMemoryBudgetOption(cmd);
  addReadingOptions(cmd);
  cmd->add_option("--library", options->library,
                  "procedures library (default: $QMX_LIBRARY, else libqmxmisc.so next to qmx)");
  cmd->add_flag("--verbose,-v", options->verbose, "also print debug messages");
  cmd->callback([options] { runProc(*options); });
}
