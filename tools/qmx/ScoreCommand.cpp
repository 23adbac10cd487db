// qmx score: scores a CSV file with a fitted model (the document qmx fit writes). The kind
// is the one of the model-kind table whose element the document holds; its scoreModel hook
// reads the model's responses, categories and predictors, which check the data file and give
// the default outputs; a metadata pass gives the data file's columns; the kind's scoring proc
// (created through the proc loader) gets the document as "model.xml", one "define.output" per
// output column, "unknown.levels" and, with --unknown-level COL=LEVEL, entries of its
// unknown-level map, and is driven over the file chunk by chunk. Its rows go to a CSV sink on an
// OutputFile, committed when the run succeeds, so a failed run leaves no output file.
#include <cerrno>
#include <cstdio>
#include <cstring>
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
#include "InputText.h"
#include "OutputFile.h"
#include "ReadingOptions.h"
#include "ScoreOutputs.h"
#include "TerminalText.h"
#include "qmxbase/QMXChunkRows.h"
#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXCsvSink.h"
#include "qmxbase/QMXCsvSource.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXProcLoader.h"
#include "qmxbase/QMXPropertyInfo.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/kinds/ModelKinds.h"

namespace {

struct ScoreOptions {
  std::string model;
  std::string data;
  std::string output;
  std::vector<std::string> outputs;
  std::vector<std::string> copies;
  std::vector<std::string> unknownLevels;
  long chunkRows = qmxDefaultChunkRows();
  DataOptions dataOptions;
};

// Model elements a VTML document may hold that no kind of the table scores, and the neutral
// model specification of qmx spec.
constexpr const char* kOtherModels[] = {"ClusteringModel",
                                        "SurvivalModel",
                                        "NeuralNetwork",
                                        "TreeModel",
                                        "TreeList",
                                        "Tree",
                                        "PrincipalComponentsModel",
                                        "ModelSpecification"};

// A fitted model document and its kind.
struct FittedModel {
  const ModelKind* kind = nullptr;
  std::string document;
  ScoreModel model;
};

// The fitted model of the document at `path`; throws CommandError for a model no kind scores,
// a specification without a fit or a document the library cannot read.
FittedModel readFittedModel(const std::string& path) {
  FittedModel fitted;
  fitted.document = readInputText(path, "model file");
  fitted.kind = findModelKindOfDocument(fitted.document);
  if (fitted.kind == nullptr) {
    std::string kind = "no GeneralRegressionModel element";
    for (const char* other : kOtherModels)
      if (documentHoldsElement(fitted.document, other)) {
        kind = "a " + std::string(other) + " element";
        break;
      }
    throw CommandError(path + " is not a regression model document: it holds " + kind);
  }
  try {
    fitted.model = fitted.kind->scoreModel(fitted.document);
  } catch (const QMXException& e) {
    throw CommandError("cannot read the regression model in " + path + ": " +
                       (e.message() ? e.message() : "unknown error"));
  }
  if (!fitted.model.fitted) {
    std::string fits;  // the kinds that fit the document's element: "lm|glm"
    for (const ModelKind* kind : modelKinds())
      if (std::string(kind->element) == fitted.kind->element)
        fits += (fits.empty() ? "" : "|") + std::string(kind->cliName);
    throw CommandError(path + " is a model specification without a fit (no coefficients); fit it " +
                       "first with qmx fit " + fits);
  }
  return fitted;
}

int columnIndex(const QMXCsvMetadata& meta, const std::string& name) {
  for (std::size_t i = 0; i < meta.columns.size(); ++i)
    if (meta.columns[i].info.name == name) return static_cast<int>(i);
  return -1;
}

// Every predictor of the model must be a column of the data file.
void checkPredictors(const ScoreModel& model, const QMXCsvMetadata& meta, const std::string& data) {
  const std::set<std::string> responses(model.responses.begin(), model.responses.end());
  std::string missing;
  for (const std::string& name : model.variables) {
    if (responses.count(name) || name == model.weights || columnIndex(meta, name) >= 0) continue;
    missing += (missing.empty() ? "" : ", ") + name;
  }
  if (!missing.empty())
    throw CommandError(data + " lacks the predictor column(s) of the model: " + missing);
}

// A numeric predictor of the model that the file holds as text (a few cells are not numbers)
// is read as numbers: those cells score as missing, and a warning names the first one.
void readNumericPredictors(const ScoreModel& model, QMXCsvMetadata& meta) {
  const std::set<std::string> responses(model.responses.begin(), model.responses.end());
  std::set<std::string> factors;
  for (const auto& factor : model.factors)
    factors.insert(factor.first);
  for (const std::string& name : model.variables) {
    const int column = columnIndex(meta, name);
    if (column < 0 || responses.count(name) || factors.count(name)) continue;
    try {
      const std::string warning = meta.readAsNumbers(static_cast<std::size_t>(column));
      if (!warning.empty()) std::fprintf(stderr, "warning: %s\n", terminalText(warning).c_str());
    } catch (const QMXDataError& e) {
      throw CommandError(e.what());
    }
  }
}

// The outputs of the run, --copy columns first; checks the columns they need.
std::vector<ScoreOutput> outputColumns(const ScoreOptions& options, const FittedModel& fitted,
                                       const QMXCsvMetadata& meta) {
  const ScoreModel& info = fitted.model;
  std::vector<ScoreOutput> outputs;
  for (const std::string& name : options.copies) {
    const int column = columnIndex(meta, name);
    if (column < 0) throw CommandError("--copy: " + options.data + " has no column '" + name + "'");
    outputs.push_back({0, "copy", "copy", meta.columns[static_cast<std::size_t>(column)].info});
  }
  std::vector<ScoreOutput> scores;
  for (const std::string& item : options.outputs)
    scores.push_back(parseScoreOutput(item, *fitted.kind, info));
  if (options.outputs.empty()) scores = defaultScoreOutputs(*fitted.kind, info);
  for (const ScoreOutput& score : scores) {
    std::vector<std::string> needed;
    const bool residual = score.type.rfind("residual", 0) == 0;
    if (residual || score.type == "agreement")
      needed.push_back(info.responses[static_cast<std::size_t>(score.index)]);
    // R's residuals weigh by the prior weights (the proc's own residual does not).
    if (score.type == "weight" || (residual && score.type != "residual"))
      needed.push_back(info.weights);
    for (const std::string& column : needed)
      if (!column.empty() && columnIndex(meta, column) < 0)
        throw CommandError("--output " + score.friendly + " needs the column " + column + " in " +
                           options.data);
    outputs.push_back(score);
  }
  std::set<std::string> names;
  for (const ScoreOutput& output : outputs)
    if (!names.insert(output.column.name).second)
      throw CommandError("two output columns are named " + output.column.name +
                         " (rename one with --output TYPE:INDEX:NAME)");
  return outputs;
}

void setProperty(QMXPipeline& pipeline, const std::string& name,
                 const std::vector<std::string>& values) {
  QMXPropertyInfo prop(name, values);
  if (!pipeline.setProperty(prop))
    throw CommandError("cannot set " + name + ": " + pipeline.error());
}

// "COL=LEVEL" -> {input column number, LEVEL}: COL a factor predictor of the model and a
// factor column of the data file, LEVEL one of the model's levels of it.
std::vector<std::string> unknownLevelEntry(const std::string& item, const ScoreModel& model,
                                           const QMXCsvMetadata& meta, const std::string& data) {
  const std::string where = "--unknown-level " + item + ": ";
  const auto equals = item.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == item.size())
    throw CommandError(where + "expected COL=LEVEL");
  const std::string name = item.substr(0, equals);
  const std::string level = item.substr(equals + 1);
  const std::vector<std::string>* levels = nullptr;
  for (const auto& [factor, factorLevels] : model.factors)
    if (factor == name) levels = &factorLevels;
  if (levels == nullptr)
    throw CommandError(where + name + " is not a factor predictor of the model");
  const int column = columnIndex(meta, name);
  if (column < 0 ||
      meta.columns[static_cast<std::size_t>(column)].info.type != QMXColumnType::Factor)
    throw CommandError(where + data + " has no factor column " + name);
  std::string known;
  for (const std::string& modelLevel : *levels) {
    if (modelLevel == level) return {std::to_string(column), level};
    known += (known.empty() ? "" : ", ") + modelLevel;
  }
  throw CommandError(where + "the model knows the levels " + known + " of " + name);
}

void runScore(const ScoreOptions& options) {
  if (options.model == "-" && options.data == "-")
    throw CommandError("the model and the data cannot both be standard input (-)", kExitUsage);
  const FittedModel fitted = readFittedModel(options.model);
  const std::string className = fitted.kind->scoreProc;
  QMXCsvOptions csv = options.dataOptions.csv();
  csv.spill = true;       // the scoring passes read the parsed cells, not the text
  csv.summaries = false;  // only the columns' types and levels matter
  QMXCsvMetadata meta = scanData(options.data, options.dataOptions, csv);
  checkHasRows(options.data, meta.rows);
  checkChunkRows(options.chunkRows, meta.schema());
  checkPredictors(fitted.model, meta, options.data);
  readNumericPredictors(fitted.model, meta);
  const std::vector<ScoreOutput> outputs = outputColumns(options, fitted, meta);
  std::vector<std::vector<std::string>> unknownLevels;
  std::string unknownPolicy = "na";
  for (const std::string& item : options.unknownLevels) {
    if (item == "na" || item == "error")
      unknownPolicy = item;
    else
      unknownLevels.push_back(unknownLevelEntry(item, fitted.model, meta, options.data));
  }

  std::unique_ptr<QMXProc> proc = createLinkedProc(className);
  proc->setMessageListener([](const QMXMessage& message) {
    // Errors end the run and are reported once, by the exception below.
    if (message.kind == QMXMessageKind::Debug || message.kind == QMXMessageKind::Error) return;
    printProcMessage(message, true);
  });
  const std::int64_t rows = meta.rows;
  std::unique_ptr<QMXDataSource> source;
  try {
    source = std::make_unique<QMXCsvSource>(options.data, std::move(meta), csv);
  } catch (const QMXDataError& e) {
    throw CommandError(e.what());
  }
  OutputFile file(options.output);
  auto sink = std::make_unique<QMXCsvSink>(file.stream(), options.output);
  QMXSchema schema;
  for (const ScoreOutput& output : outputs)
    schema.push_back(output.column);
  QMXPipeline pipeline(*proc, className);
  pipeline.addInput(*source);
  pipeline.setOutput(std::move(schema), sink.get());
  pipeline.setChunkRows(options.chunkRows);
  ProgressLine progress("qmx score");
  pipeline.setProgressCallback(
      [&progress](std::int64_t done, std::int64_t total) { progress.update(done, total); });
  pipeline.attach();
  setProperty(pipeline, "model.xml", {fitted.document});
  setProperty(pipeline, "clear.outputs", {});
  for (const ScoreOutput& output : outputs) {
    // A copy names the input column to copy; the others name their output column.
    setProperty(pipeline, "define.output",
                {std::to_string(output.index), output.type, output.column.name});
  }
  for (const std::vector<std::string>& entry : unknownLevels)
    setProperty(pipeline, "add.unknown.level.map", entry);
  setProperty(pipeline, "unknown.levels", {unknownPolicy});
  const bool ran = pipeline.run();
  progress.clear();
  if (!ran) throw CommandError(pipeline.error());
  file.commit();
  printNote("wrote " + options.output + " (" + std::to_string(rows) + " rows)");
}

}  // namespace

void addScoreCommand(CLI::App& app) {
  auto options = std::make_shared<ScoreOptions>();
  auto* cmd = app.add_subcommand("score", "Score a CSV file with a fitted regression model");
  cmd->add_option("model", options->model,
                  "Fitted model document (qmx fit lm|glm -o; - for "
                  "standard input)")
      ->required();
  cmd->add_option("data", options->data,
                  "CSV file with a header line (- for standard input; gzip data is read too)")
      ->required();
  cmd->add_option("-o,--output-file", options->output, "The scores (CSV) to write")->required();
  cmd->add_option("--output", options->outputs,
                  "Output columns TYPE[:INDEX[:NAME]],... (see below; default: fitted value, "
                  "or for a binomial model prob and class)")
      ->delimiter(',')
      ->allow_extra_args(false);
  cmd->add_option("--copy", options->copies, "Input columns COL,... copied in front of the scores")
      ->delimiter(',')
      ->allow_extra_args(false);
  cmd->add_option("--unknown-level", options->unknownLevels,
                  "COL=LEVEL: score levels of factor COL that the model does not know as LEVEL; "
                  "na (default): other unknown levels score NA, counted in a warning; error: "
                  "the first ends the run (\"factor C has new levels L\"); repeat")
      ->allow_extra_args(false);
  cmd->add_option("--chunk-rows", options->chunkRows, "Rows per chunk")
      ->check(wholeNumber())
      ->capture_default_str();
  addDataOptions(cmd, options->dataOptions);
  addMemoryBudgetOption(cmd);
  addReadingOptions(cmd);
  // Each distinct output help of the table's kinds.
  std::string outputHelp;
  for (const ModelKind* kind : modelKinds())
    if (outputHelp.find(kind->scoreOutputHelp) == std::string::npos)
      outputHelp += kind->scoreOutputHelp;
  cmd->footer(outputHelp +
              "Rows with a missing predictor, or a factor level the model does not know (unless\n"
              "mapped with --unknown-level), get NA in every score column; the --copy columns\n"
              "keep their values. The rows of unknown levels are counted in a warning at the\n"
              "end (--unknown-level error: the first stops the run, exit status 1).\n\n"
              "Example:\n  qmx score glm.xml examples/mtcars.csv -o scores.csv --copy model "
              "--output prob,link:0:eta\n");
  cmd->callback([options] { runScore(*options); });
}
