// qmx run: creates any proc of the library, feeds it CSV input chunk by chunk, sets and reads
// its properties, and writes its output rows to a CSV file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CommandLimits.h"
#include "Commands.h"
#include "Console.h"
#include "DataOptions.h"
#include "OutputFile.h"
#include "ProcCatalog.h"
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
  bool list = false;
  bool helpProperties = false;
  DataOptions dataOptions;
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
  --list                lists the procs of the library; CLASS --help-properties lists
                        the properties of one (name, type, get/set, effect)
  Messages go to stderr as "error: ", "warning: ", "info: " ("debug: " with --verbose).
  The exit status is 1 when the proc ends with an error, 4 when the library or the
  class is not found.

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
  if (equals == 0)
    throw CommandError("property request '" + argument + "' has no name", kExitUsage);
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
      throw CommandError("--output-column " + spec + ": type must be double, factor or string",
                         kExitUsage);
    }
  }
  if (column.name.empty())
    throw CommandError("--output-column " + spec + ": the name is empty", kExitUsage);
  return column;
}

// CSV input (a metadata pass gives the schema and row count, then chunked reads).
std::unique_ptr<QMXDataSource> openCsvInput(const std::string& path, const DataOptions& options) {
  const QMXCsvOptions csv = options.csv();
  return std::make_unique<QMXCsvSource>(path, scanData(path, options, csv), csv);
}

// Prints messages on stderr as they arrive; remembers error texts so that the final error is
// not printed twice.
class MessagePrinter {
 public:
  void print(const QMXMessage& message) {
    printProcMessage(message, false);
    if (message.kind == QMXMessageKind::Error) errors_.insert(message.text);
  }
  void error(const std::string& text) {
    if (errors_.count(text)) return;
    print({QMXMessageKind::Error, text});
  }

 private:
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

// --library, else $QMX_LIBRARY, else the library qmx is linked with.
std::string libraryPathOf(const RunOptions& options) {
  if (!options.library.empty()) return options.library;
  if (const char* env = std::getenv("QMX_LIBRARY"); env != nullptr && *env != '\0') return env;
  return linkedLibraryPath();
}

void listProcs(const RunOptions& options) {
  for (const std::string& className : procClasses(libraryPathOf(options)))
    std::printf("%s\n", className.c_str());
}

// NAME  TYPE  ACCESS  EFFECT, the first three columns as wide as their longest entry.
void listProperties(const RunOptions& options) {
  const std::vector<ProcProperty> properties =
      procProperties(libraryPathOf(options), options.className);
  std::size_t nameWidth = 4, typeWidth = 4;
  for (const ProcProperty& property : properties) {
    nameWidth = std::max(nameWidth, property.name.size());
    typeWidth = std::max(typeWidth, property.type.size());
  }
  std::printf("%-*s  %-*s  %-7s  %s\n", static_cast<int>(nameWidth), "name",
              static_cast<int>(typeWidth), "type", "access", "effect");
  for (const ProcProperty& property : properties)
    std::printf("%-*s  %-*s  %-7s  %s\n", static_cast<int>(nameWidth), property.name.c_str(),
                static_cast<int>(typeWidth), property.type.c_str(), property.access.c_str(),
                property.effect.c_str());
}

void runProc(const RunOptions& options) {
  if (options.list) return listProcs(options);
  if (options.className.empty())
    throw CommandError("qmx run needs a proc CLASS (qmx run --list lists them)", kExitUsage);
  if (options.helpProperties) return listProperties(options);
  if (!options.input2.empty() && options.input.empty())
    throw CommandError("--input2 needs --input", kExitUsage);
  if (!options.output.empty() && options.outputColumns.empty())
    throw CommandError("--output needs at least one --output-column", kExitUsage);
  QMXSchema outputSchema;
  for (const auto& spec : options.outputColumns)
    outputSchema.push_back(parseOutputColumn(spec));

  const std::string libraryPath = libraryPathOf(options);
  std::unique_ptr<QMXProc> proc;
  try {
    QMXProcLoader loader(libraryPath);
    proc = loader.create(options.className);
  } catch (const QMXLoadError& e) {
    throw CommandError(e.what(), kExitLibrary);
  }

  MessagePrinter printer;
  proc->setMessageListener([&printer](const QMXMessage& message) { printer.print(message); });

  std::vector<std::unique_ptr<QMXDataSource>> sources;
  try {
    if (!options.input.empty()) sources.push_back(openCsvInput(options.input, options.dataOptions));
    if (!options.input2.empty())
      sources.push_back(openCsvInput(options.input2, options.dataOptions));
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
  ProgressLine progress("qmx run");
  pipeline.setProgressCallback(
      [&progress](std::int64_t done, std::int64_t total) { progress.update(done, total); });
  pipeline.attach();

  const auto failWith = [&printer, &progress](const std::string& error) {
    progress.clear();
    printer.error(error);
    throw CommandError("", 1);
  };
  for (const auto& argument : options.sets) {
    auto request = makeRequest(argument);
    if (!pipeline.setProperty(*request)) failWith(pipeline.error());
  }
  const bool ok = pipeline.run();
  progress.clear();
  if (!ok) failWith(pipeline.error());
  if (file) file->commit();
  if (!options.output.empty()) printer.print({QMXMessageKind::Debug, "wrote " + options.output});

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
  cmd->add_option("CLASS", options->className, "proc class, e.g. QMXProcCov (see --list)");
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
                  "procedures library (default: $QMX_LIBRARY, else the one qmx is linked with)");
  cmd->add_flag("--list", options->list, "list the procs of the library and exit");
  cmd->add_flag("--help-properties", options->helpProperties,
                "list the properties of CLASS (name, type, get/set, effect) and exit");
  addDataOptions(cmd, options->dataOptions);
  cmd->callback([options] { runProc(*options); });
}
