// qmx fit KIND: fits a model of a kind of the model-kind table to a CSV file. One metadata
// pass gives the columns; the formula and the kind's settings become the kind's
// specification (fitSpecification). The kind's fitting proc is created through the proc
// loader, given the kind's properties and options, the specification as "model.vtml", and
// driven over the file chunk by chunk; with --weights, FitRowFilter leaves out the rows of
// weight zero first. The proc's "fitted.model.pmml" is written under a temporary name and
// renamed when complete, and the kind's summary printer prints the fit on stdout.
//
// The subcommands and their options come from the table: each kind's own options are data
// (ModelKind::options) feeding its specification settings or its proc's properties.
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "CommandLimits.h"
#include "Commands.h"
#include "Console.h"
#include "DataOptions.h"
#include "FitRowFilter.h"
#include "LevelRow.h"
#include "OutputFile.h"
#include "ReadingOptions.h"
#include "TerminalText.h"
#include "qmxbase/QMXChunkRows.h"
#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXCsvSource.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXProcLoader.h"
#include "qmxbase/QMXPropertyInfo.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/kinds/KindSpecification.h"
#include "qmxmisc/kinds/ModelKinds.h"

namespace {

// The value of one kind option, bound to CLI11 with the option's type.
struct OptionValue {
  std::string text;
  int integer = 0;
  double real = 0;
};

struct FitOptions {
  explicit FitOptions(const ModelKind& fitKind) : kind(&fitKind), values(fitKind.options.size()) {}

  const ModelKind* kind;
  std::string data;
  std::string formula;
  std::string weights;
  std::string offset;
  std::string output;
  std::string summaryFormat = "text";
  bool anova = false;
  bool confint = false;
  long chunkRows = qmxDefaultChunkRows();
  DataOptions dataOptions;
  std::vector<OptionValue> values;  // parallel to kind->options
};

// What a fit gives back besides its document.
struct FitRun {
  std::string document;
  std::int64_t zeroWeightRows = 0;
  std::map<std::string, std::string> summaryProperties;
};

// A double as the proc's property parser reads it back exactly.
std::string number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string valueText(const KindOption& option, const OptionValue& value) {
  switch (option.type) {
    case KindOptionType::kInteger:
      return std::to_string(value.integer);
    case KindOptionType::kReal:
      return number(value.real);
    case KindOptionType::kText:
    case KindOptionType::kTextList:
      break;
  }
  return value.text;
}

void checkOption(const KindOption& option, const OptionValue& value) {
  const double x = option.type == KindOptionType::kInteger ? value.integer : value.real;
  if (option.check == KindOptionCheck::kAtLeastOne && !(x >= 1))
    throw CommandError(std::string(option.flag) + " must be at least 1", kExitUsage);
  if (option.check == KindOptionCheck::kPositive && !(x > 0))
    throw CommandError(std::string(option.flag) + " must be positive", kExitUsage);
}

// A kind's columns option stands for the formula "~ `a` + `b` - 1" (no intercept).
bool hasColumnsOption(const ModelKind& kind) {
  for (const KindOption& option : kind.options)
    if (option.target == KindOptionTarget::kColumns) return true;
  return false;
}

std::string columnsFormula(const KindOption& option, const std::string& list) {
  std::string formula = "~";
  std::size_t start = 0;
  for (std::size_t comma = 0; comma != std::string::npos; start = comma + 1) {
    comma = list.find(',', start);
    const std::string name = list.substr(start, comma == std::string::npos ? comma : comma - start);
    if (name.empty() || name.find('`') != std::string::npos)
      throw CommandError(std::string(option.flag) +
                         " takes column names separated by commas, not '" + list + "'");
    formula += (formula.size() > 1 ? " + `" : " `") + name + "`";
  }
  return formula + " - 1";
}

// A formula message about the formula a columns option stands for names the option instead.
std::string columnsMessage(const ModelKind& kind, const std::string& formula,
                           const std::string& message) {
  const std::string prefix = "formula \"" + formula + "\", position ";
  const std::size_t colon = message.find(": ", prefix.size());
  if (!hasColumnsOption(kind) || message.rfind(prefix, 0) != 0 || colon == std::string::npos)
    return message;
  for (const KindOption& option : kind.options)
    if (option.target == KindOptionTarget::kColumns)
      return std::string(option.flag) + ": " + message.substr(colon + 2);
  return message;
}

SummaryFormat summaryFormat(const std::string& text) {
  if (text == "text") return SummaryFormat::kText;
  if (text == "csv") return SummaryFormat::kCsv;
  if (text == "json") return SummaryFormat::kJson;
  throw CommandError("--summary-format takes text, csv or json, not '" + text + "'", kExitUsage);
}

void setProperty(QMXPipeline& pipeline, const std::string& name, const std::string& value) {
  QMXPropertyInfo prop(name, {value});
  if (!pipeline.setProperty(prop))
    throw CommandError("cannot set " + name + ": " + pipeline.error());
}

std::string answerText(const QMXPropertyInfo& prop) {
  if (const auto* text = std::get_if<std::string>(&prop.answer())) return *text;
  if (const auto* real = std::get_if<double>(&prop.answer())) return number(*real);
  if (const auto* integer = std::get_if<long long>(&prop.answer())) return std::to_string(*integer);
  if (const auto* integer = std::get_if<long>(&prop.answer())) return std::to_string(*integer);
  return "";
}

// --offset COL: R's offset = argument, the formula's offset(`COL`) to the fit.
std::string offsetTerm(const QMXCsvMetadata& meta, const std::string& name) {
  for (const QMXCsvColumnSummary& column : meta.columns) {
    if (column.info.name != name) continue;
    if (column.info.type != QMXColumnType::Double)
      throw CommandError("--offset: column '" + name + "' is a " +
                         (column.info.type == QMXColumnType::Factor ? "factor" : "text") +
                         " column; an offset must be numeric");
    if (name.find('`') != std::string::npos)
      throw CommandError("--offset: column '" + name + "' cannot be named in a formula");
    return " + offset(`" + name + "`)";
  }
  throw CommandError("--offset: column '" + name + "' is not in the data");
}

std::size_t weightsColumn(const QMXCsvMetadata& meta, const std::string& name) {
  for (std::size_t colIdx = 0; colIdx < meta.columns.size(); ++colIdx)
    if (meta.columns[colIdx].info.name == name) return colIdx;
  throw CommandError("column '" + name + "' is not in the data");
}

FitRun fitModel(const FitOptions& options, const Specification& spec, QMXCsvMetadata meta,
                const QMXCsvOptions& csv) {
  const ModelKind& kind = *options.kind;
  const std::string className = kind.fitProc;
  std::unique_ptr<QMXProc> proc = createLinkedProc(className, "is not available yet in");
  // Errors are held back: the one that ends the run is printed once, as qmx's own message.
  auto heldErrors = std::make_shared<std::vector<std::string>>();
  proc->setMessageListener([heldErrors](const QMXMessage& message) {
    if (message.kind == QMXMessageKind::Debug) return;
    if (message.kind == QMXMessageKind::Error) {
      heldErrors->push_back(message.text);
      return;
    }
    printProcMessage(message, true);
  });
  std::unique_ptr<QMXDataSource> source;
  FitRowFilter* filter = nullptr;
  try {
    const std::size_t weights = options.weights.empty() ? 0 : weightsColumn(meta, options.weights);
    source = std::make_unique<QMXCsvSource>(options.data, std::move(meta), csv);
    if (!options.weights.empty()) {
      const bool poly = options.formula.find("poly(") != std::string::npos;
      auto filtered = std::make_unique<FitRowFilter>(std::move(source), weights, poly);
      filter = filtered.get();
      source = std::move(filtered);
    }
  } catch (const QMXDataError& e) {
    throw CommandError(e.what());
  }
  QMXPipeline pipeline(*proc, className);
  pipeline.addInput(*source);
  pipeline.setChunkRows(options.chunkRows);
  ProgressLine progress("qmx fit");
  if (std::string(kind.fitProc) == "QMXProcIGLM")
    progress.setDetail([&proc] { return irlsProgress(*proc); });
  pipeline.setProgressCallback(
      [&progress](std::int64_t done, std::int64_t total) { progress.update(done, total); });
  pipeline.attach();
  // The kind's properties precede the specification: the proc applies them when it reads it.
  for (const auto& [name, value] : spec.fitProperties)
    setProperty(pipeline, name, value);
  for (std::size_t i = 0; i < kind.options.size(); ++i)
    if (kind.options[i].target == KindOptionTarget::kProperty)
      setProperty(pipeline, kind.options[i].name, valueText(kind.options[i], options.values[i]));
  setProperty(pipeline, "model.vtml", spec.document);
  const bool ran = pipeline.run();
  progress.clear();
  for (const std::string& text : *heldErrors)
    if (ran || text != pipeline.error())
      std::fprintf(stderr, "error: %s\n", terminalText(text).c_str());
  if (!ran) throw CommandError(pipeline.error());
  QMXPropertyInfo fitted("fitted.model.pmml");
  if (!pipeline.getProperty(fitted) || !std::holds_alternative<std::string>(fitted.answer()))
    throw CommandError("cannot read fitted.model.pmml from " + className +
                       (pipeline.error().empty() ? "" : ": " + pipeline.error()));
  FitRun run{std::get<std::string>(fitted.answer()), filter ? filter->zeroWeightRows() : 0, {}};
  for (const char* name : kind.summaryProperties) {
    QMXPropertyInfo prop(name);
    if (pipeline.getProperty(prop)) run.summaryProperties[name] = answerText(prop);
  }
  return run;
}

void runFit(const FitOptions& options) {
  const ModelKind& kind = *options.kind;
  const SummaryFormat format = summaryFormat(options.summaryFormat);
  SpecificationRequest request{options.formula, options.weights, {}};
  if (options.anova) request.settings["summary.anova"] = "true";
  for (std::size_t i = 0; i < kind.options.size(); ++i) {
    checkOption(kind.options[i], options.values[i]);
    if (kind.options[i].target == KindOptionTarget::kSpec)
      request.settings[kind.options[i].name] = valueText(kind.options[i], options.values[i]);
    if (kind.options[i].target == KindOptionTarget::kColumns)
      request.formula = columnsFormula(kind.options[i], options.values[i].text);
  }
  QMXCsvOptions csv = options.dataOptions.csv();
  csv.spill = true;  // the fit passes read the parsed cells, not the text
  QMXCsvMetadata meta = scanData(options.data, options.dataOptions, csv);
  noteAlmostNumericColumns(meta);
  if (!options.offset.empty()) request.formula += offsetTerm(meta, options.offset);
  Specification spec;
  try {
    request.settings["data.rows"] = std::to_string(meta.rows);
    spec = fitSpecification(meta, kind, request);
  } catch (const QMXException& e) {
    throw CommandError(columnsMessage(
        kind, request.formula,
        e.message() ? withLevelRow(e.message(), meta, csv) : "model specification failed"));
  } catch (const QMXDataError& e) {
    throw CommandError(e.what());
  }
  checkHasRows(options.data, meta.rows);
  checkChunkRows(options.chunkRows, meta.schema());
  checkFitCost(kind, spec.coefficients, options.chunkRows);
  const std::int64_t dataRows = meta.rows;
  OutputFile output(options.output);  // a bad -o fails before the data is read
  const FitRun run = fitModel(options, spec, std::move(meta), csv);
  output.write(run.document);
  output.commit();
  printNote("wrote " + options.output);
  SummaryInput input{dataRows - run.zeroWeightRows, run.zeroWeightRows, run.summaryProperties};
  // What the summary's Call line and its optional tables need.
  const std::string base = options.data.substr(options.data.find_last_of('/') + 1);
  input.properties["call.data"] = base.substr(0, base.find_last_of('.'));
  input.properties["call.formula"] = options.formula;
  input.properties["call.weights"] = options.weights;
  input.properties["call.offset"] = options.offset;
  if (options.anova) input.properties["summary.anova"] = "true";
  if (options.confint) input.properties["summary.confint"] = "true";
  try {
    std::fputs(terminalText(kind.summary(run.document, format, input), true).c_str(), stdout);
  } catch (const QMXException& e) {
    throw CommandError(e.message() ? e.message() : "cannot summarize the fit");
  }
}

void addCommonOptions(CLI::App* cmd, FitOptions& options) {
  cmd->add_option("data", options.data,
                  "CSV file with a header line (- for standard input; gzip data is read too)")
      ->required();
  if (!hasColumnsOption(*options.kind)) {
    cmd->add_option("--formula", options.formula, "R model formula, e.g. \"mpg ~ wt + hp\"")
        ->required();
    cmd->add_option("--offset", options.offset,
                    "Numeric column added to the linear predictor (R's offset =; formulas may "
                    "also hold offset(EXPR) terms)");
  }
  cmd->add_option("-o,--output", options.output, "The fitted model document to write")->required();
  cmd->add_option("--weights", options.weights, "Numeric column of case weights");
  cmd->add_option("--chunk-rows", options.chunkRows, "Rows per chunk")
      ->check(wholeNumber())
      ->capture_default_str();
  cmd->add_option("--summary-format", options.summaryFormat,
                  "text (R-style summary), csv (term,estimate,std.error,statistic,p.value) or "
                  "json (coefficients and fit statistics under R's names)")
      ->capture_default_str();
  addDataOptions(cmd, options.dataOptions);
  cmd->add_flag("--anova", options.anova, "Also print the sequential analysis-of-variance table");
  cmd->add_flag("--confint", options.confint,
                "Also print 95% Wald confidence intervals of the coefficients");
  addMemoryBudgetOption(cmd);
  addReadingOptions(cmd);
}

void addKindOption(CLI::App* cmd, const KindOption& option, OptionValue& value) {
  CLI::Option* added = nullptr;
  switch (option.type) {
    case KindOptionType::kInteger:
      value.integer = std::stoi(option.defaultValue);
      added = cmd->add_option(option.flag, value.integer, option.help);
      break;
    case KindOptionType::kReal:
      value.real = std::stod(option.defaultValue);
      added = cmd->add_option(option.flag, value.real, option.help);
      break;
    case KindOptionType::kText:
    case KindOptionType::kTextList:
      value.text = option.defaultValue;
      added = cmd->add_option(option.flag, value.text, option.help);
      if (option.type == KindOptionType::kTextList)
        added->multi_option_policy(CLI::MultiOptionPolicy::Join);
      break;
  }
  if (*option.defaultValue != '\0') added->capture_default_str();
  if (option.required) added->required();
}

}  // namespace

void addFitCommand(CLI::App& app) {
  auto* fit = app.add_subcommand("fit", "Fit a regression model to a CSV file");
  fit->require_subcommand(1);
  fit->footer(
      "A binomial response that is a two-level factor is fitted as the probability of its "
      "second level, as R's glm does (the specification lists that level first). The summary "
      "is laid out as R's summary.lm / summary.glm; --summary-format csv gives the "
      "coefficient table only, json the coefficients and fit statistics.\n");
  for (const ModelKind* kind : modelKinds()) {
    auto options = std::make_shared<FitOptions>(*kind);
    auto* cmd = fit->add_subcommand(kind->cliName,
                                    std::string(kind->description) + " (" + kind->fitProc + ")");
    addCommonOptions(cmd, *options);
    for (std::size_t i = 0; i < kind->options.size(); ++i)
      addKindOption(cmd, kind->options[i], options->values[i]);
    cmd->footer(kind->example);
    cmd->callback([options] { runFit(*options); });
  }
}
