// qmx fit lm|glm: fits a linear or generalized linear model to a CSV file. One metadata pass
// gives the columns; the formula and the family become the GeneralRegressionModel
// specification (the text qmx spec --kind glm writes). For a glm, one more streaming pass
// over the rows the fit will use gives the null-model mean ("iglm.mean", so the null deviance
// is R's) and checks the response against the family. A binomial two-level factor response
// is specified with its levels swapped, so the fit models the second level as R's glm does.
// The regression proc of the library (QMXProcILM for lm, QMXProcIGLM for glm) is created
// through the proc loader, given the specification as "model.vtml" and driven over the file
// chunk by chunk; its "fitted.model.pmml" is written under a temporary name and renamed when
// complete, and the fit read back from it is summarized on stdout (FitSummary).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "Commands.h"
#include "FitRowFilter.h"
#include "FitSummary.h"
#include "ModelSpecSupport.h"
#include "qmxbase/QMXChunkRows.h"
#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXCsvSource.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXObj.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXProcLoader.h"
#include "qmxbase/QMXPropertyInfo.h"
#include "qmxbase/QMXRowBlock.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMSpecElementWriter.h"
#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelSpecWriter.h"

namespace {

struct FitOptions {
  bool glm = false;
  std::string data;
  std::string formula;
  std::string weights;
  std::string output;
  std::string family;
  std::string link;
  std::string variance;
  std::string summaryFormat = "text";
  long chunkRows = qmxDefaultChunkRows();
  int maxIterations = 25;  // R's glm.control()
  double epsilon = 1e-8;
};

// What the fit needs besides the specification text.
struct FitSetup {
  MiningModel model;
  GLMSpecNames names;
  double mean = 1.0;  // the null-model mean of the response ("iglm.mean")
  std::string spec;
  std::size_t weightsColumn = 0;    // data column of the weights, when given
  std::int64_t zeroWeightRows = 0;  // rows left out for a zero weight (FitRowFilter)
};

// A double as the proc's property parser reads it back exactly.
// (%.17g; messages use %.15g).
std::string number(double value, const char* format = "%.17g") {
  char text[40];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

const QMXCsvColumnSummary* findColumn(const QMXCsvMetadata& meta, const std::string& name) {
  for (const QMXCsvColumnSummary& column : meta.columns)
    if (column.info.name == name) return &column;
  return nullptr;
}

// A factor response is taken only by the binomial family, and only with two levels.
void checkFactorResponse(const QMXCsvMetadata& meta, const MiningModel& model, bool binomial) {
  if (model.nResponse() < 1) throw CommandError("the formula has no response");
  const std::string name = model.response(0).name().str();
  const QMXCsvColumnSummary* column = findColumn(meta, name);
  if (column == nullptr || column->info.type != QMXColumnType::Factor) return;
  if (!binomial || column->info.levels.size() != 2)
    throw CommandError("response '" + name + "' is a factor with " +
                       std::to_string(column->info.levels.size()) +
                       " levels; only the binomial family takes a factor response, with two "
                       "levels");
}

// The response over the rows the fit uses: rows with a finite value in every formula column
// (predictors, response, weights) and, with weights, a positive weight. A factor response
// counts 1 for the level the fit models and 0 for the other.
struct ResponseScan {
  std::int64_t rows = 0;
  std::int64_t zeroWeightRows = 0;  // every row of weight 0, complete or not
  double weightSum = 0;
  double weightedSum = 0;
  double min = std::numeric_limits<double>::infinity();
  double max = -std::numeric_limits<double>::infinity();

  // R's glm: the null model of a model with an intercept fits the weighted mean of y.
  double mean() const { return weightSum > 0 ? weightedSum / weightSum : 1.0; }
};

// R's glm: the null model of a model without intercept fits the mean at a linear predictor
// of 0, linkinv(0). Under the inverse links (1/0) and the Poisson square-root link (mean 0)
// R's null deviance is infinite; those keep the mean.
double meanWithoutIntercept(const std::string& link, double mean) {
  if (link == "Identity: mu") return 0.0;
  if (link == "Logit: log(mu/(1 - mu))" || link == "Probit: qnorm(mu)") return 0.5;
  if (link == "Complementary Log: log( - log(1 - mu))") return 1.0 - std::exp(-1.0);
  if (link == "Log: log(mu)") return 1.0;
  return mean;
}

std::size_t schemaIndex(const QMXSchema& schema, const std::string& name) {
  for (std::size_t colIdx = 0; colIdx < schema.size(); ++colIdx)
    if (schema[colIdx].name == name) return colIdx;
  throw CommandError("column '" + name + "' is not in the data");
}

// One streaming pass over the file, chunk by chunk.
ResponseScan scanResponse(const FitOptions& options, const QMXCsvMetadata& meta,
                          const MiningModel& model) {
  QMXCsvSource source(options.data, meta);
  const QMXSchema& schema = source.schema();
  std::vector<std::size_t> used;
  for (long varIdx = 0; varIdx < model.nVariables(); ++varIdx)
    used.push_back(schemaIndex(schema, model.variable(varIdx).str()));
  const std::size_t responseCol = schemaIndex(schema, model.response(0).name().str());
  used.push_back(responseCol);
  const bool weighted = !model.weights().empty();
  const std::size_t weightsCol = weighted ? schemaIndex(schema, model.weights().str()) : 0;
  if (weighted) used.push_back(weightsCol);
  for (const std::size_t colIdx : used)
    if (schema[colIdx].type == QMXColumnType::String)
      throw CommandError("column '" + schema[colIdx].name +
                         "' is a text column and cannot enter a model");
  // The level the fit models is the first one the specification lists.
  const bool factor = schema[responseCol].type == QMXColumnType::Factor;
  double modelledCode = -1;
  if (factor && model.response(0).length() > 0)
    for (std::size_t levelIdx = 0; levelIdx < schema[responseCol].levels.size(); ++levelIdx)
      if (schema[responseCol].levels[levelIdx] == model.response(0).levels()[0].str())
        modelledCode = static_cast<double>(levelIdx);

  ResponseScan scan;
  QMXRowBlock block;
  while (true) {
    block.reset(schema);
    if (source.read(static_cast<std::size_t>(options.chunkRows), block) == 0) break;
    for (std::size_t rowIdx = 0; rowIdx < block.rows; ++rowIdx) {
      if (weighted && block.numbers[weightsCol][rowIdx] == 0.0) {
        ++scan.zeroWeightRows;
        continue;
      }
      bool complete = true;
      for (const std::size_t colIdx : used)
        complete = complete && std::isfinite(block.numbers[colIdx][rowIdx]);
      const double w = weighted && complete ? block.numbers[weightsCol][rowIdx] : 1.0;
      if (!complete || !(w > 0)) continue;
      const double value = block.numbers[responseCol][rowIdx];
      const double y = factor ? (value == modelledCode ? 1.0 : 0.0) : value;
      ++scan.rows;
      scan.weightSum += w;
      scan.weightedSum += w * y;
      scan.min = std::min(scan.min, y);
      scan.max = std::max(scan.max, y);
    }
  }
  return scan;
}

// The response values each family accepts (R's families refuse the same values).
void checkResponseRange(const ResponseScan& scan, const std::string& family,
                        const std::string& name) {
  if (scan.rows == 0) return;  // the proc reports that no row is usable
  const std::string smallest = " (its smallest value is " + number(scan.min, "%.15g") + ")";
  if (family == "Binomial" && (scan.min < 0 || scan.max > 1))
    throw CommandError("binomial response '" + name +
                       "' must lie between 0 and 1 (it ranges from " + number(scan.min, "%.15g") +
                       " to " + number(scan.max, "%.15g") + ")");
  if (family == "Poisson" && scan.min < 0)
    throw CommandError("poisson response '" + name + "' must not be negative" + smallest);
  if (family == "Gamma" && scan.min <= 0)
    throw CommandError("gamma response '" + name + "' must be positive" + smallest);
  if (family == "Inverse Gaussian" && scan.min <= 0)
    throw CommandError("inverse.gaussian response '" + name + "' must be positive" + smallest);
}

FitSetup prepare(const FitOptions& options, const QMXCsvMetadata& meta) {
  std::vector<DataColumn> columns = dataColumns(meta);
  try {
    FitSetup setup{
        modelFromFormula(options.formula, columns, options.weights),
        glmSpecNames(options.glm ? options.family : "gaussian", options.glm ? options.link : "",
                     options.glm ? options.variance : ""),
        1.0,
        {}};
    const bool binomial = setup.names.family == "Binomial";
    checkFactorResponse(meta, setup.model, binomial);
    if (binomial && !putSecondLevelFirst(columns, setup.model.response(0).name().str()).empty())
      setup.model = modelFromFormula(options.formula, columns, options.weights);
    if (options.glm || !options.weights.empty()) {
      const ResponseScan scan = scanResponse(options, meta, setup.model);
      if (options.glm)
        checkResponseRange(scan, setup.names.family, setup.model.response(0).name().str());
      setup.mean = setup.model.intercept() ? scan.mean()
                                           : meanWithoutIntercept(setup.names.link, scan.mean());
      setup.zeroWeightRows = scan.zeroWeightRows;
      if (!options.weights.empty())
        setup.weightsColumn = schemaIndex(meta.schema(), options.weights);
    }
    const GLMSpecElementWriter element(setup.names);
    std::ostringstream text;
    ModelSpecWriter(setup.model, columns, element).write(text);
    setup.spec = text.str();
    return setup;
  } catch (const QMXException& e) {
    throw CommandError(e.message() ? e.message() : "model specification failed");
  } catch (const QMXDataError& e) {
    throw CommandError(e.what());
  }
}

void setProperty(QMXPipeline& pipeline, const std::string& name, const std::string& value) {
  QMXPropertyInfo prop(name, {value});
  if (!pipeline.setProperty(prop))
    throw CommandError("cannot set " + name + ": " + pipeline.error());
}

std::string fitModel(const FitOptions& options, const FitSetup& setup, QMXCsvMetadata meta) {
  const std::string className = options.glm ? "QMXProcIGLM" : "QMXProcILM";
  std::unique_ptr<QMXProc> proc;
  try {
    const QMXProcLoader loader(QMXProcLoader::defaultLibraryPath(QMX_DEFAULT_LIBRARY_DIR));
    if (!loader.hasClass(className))
      throw CommandError("the procedure " + className + " is not available yet in " + loader.path(),
                         2);
    proc = loader.create(className);
  } catch (const QMXLoadError& e) {
    throw CommandError(e.what(), 2);
  }
  proc->setMessageListener([](const QMXMessage& message) {
    if (message.kind == QMXMessageKind::Debug) return;
    std::fprintf(stderr, "%s: %s\n", QMXMessageKindName(message.kind), message.text.c_str());
  });
  std::unique_ptr<QMXDataSource> source;
  try {
    const std::int64_t keptRows = meta.rows - setup.zeroWeightRows;
    source = std::make_unique<QMXCsvSource>(options.data, std::move(meta));
    if (setup.zeroWeightRows > 0)
      source = std::make_unique<FitRowFilter>(std::move(source), setup.weightsColumn, keptRows);
  } catch (const QMXDataError& e) {
    throw CommandError(e.what());
  }
  QMXPipeline pipeline(*proc, className);
  pipeline.addInput(*source);
  pipeline.setChunkRows(options.chunkRows);
  pipeline.attach();
  if (options.glm) {
    // The family texts precede the specification: the proc applies them when it reads it.
    setProperty(pipeline, "iglm.family", setup.names.family);
    setProperty(pipeline, "iglm.link", setup.names.link);
    setProperty(pipeline, "iglm.var", setup.names.variance);
    setProperty(pipeline, "iglm.mean", number(setup.mean));
    setProperty(pipeline, "max.iterations", std::to_string(options.maxIterations));
    setProperty(pipeline, "epsilon", number(options.epsilon));
  }
  setProperty(pipeline, "model.vtml", setup.spec);
  if (!pipeline.run()) throw CommandError(pipeline.error());
  QMXPropertyInfo fitted("fitted.model.pmml");
  if (!pipeline.getProperty(fitted) || !std::holds_alternative<std::string>(fitted.answer()))
    throw CommandError("cannot read fitted.model.pmml from " + className +
                       (pipeline.error().empty() ? "" : ": " + pipeline.error()));
  return std::get<std::string>(fitted.answer());
}

void runFit(const FitOptions& options) {
  if (options.summaryFormat != "text" && options.summaryFormat != "csv")
    throw CommandError("--summary-format takes text or csv, not '" + options.summaryFormat + "'");
  if (options.chunkRows < 1) throw CommandError("--chunk-rows must be at least 1");
  if (options.glm && options.maxIterations < 1)
    throw CommandError("--max-iterations must be at least 1");
  if (options.glm && !(options.epsilon > 0)) throw CommandError("--epsilon must be positive");
  QMXCsvMetadata meta;
  try {
    meta = scanCsvMetadata(options.data);
  } catch (const QMXDataError& e) {
    throw CommandError(e.what());
  }
  const FitSetup setup = prepare(options, meta);
  const std::int64_t rows = meta.rows - setup.zeroWeightRows;
  const std::string document = fitModel(options, setup, std::move(meta));
  writeFileAtomically(options.output, [&document](std::ostream& os) {
    os << document;
    return os.good();
  });
  std::fprintf(stderr, "wrote %s\n", options.output.c_str());
  std::fputs(
      fitSummary(document, options.summaryFormat == "csv", rows, setup.zeroWeightRows).c_str(),
      stdout);
}

void addCommonOptions(CLI::App* cmd, FitOptions& options) {
  cmd->add_option("data", options.data, "CSV file with a header line")->required();
  cmd->add_option("--formula", options.formula, "R model formula, e.g. \"mpg ~ wt + hp\"")
      ->required();
  cmd->add_option("-o,--output", options.output, "The fitted model document to write")->required();
  cmd->add_option("--weights", options.weights, "Numeric column of case weights");
  cmd->add_option("--chunk-rows", options.chunkRows, "Rows per chunk")->capture_default_str();
  cmd->add_option("--summary-format", options.summaryFormat,
                  "text (R-style summary) or csv (term,estimate,std.error,statistic,p.value)")
      ->capture_default_str();
}

}  // namespace

void addFitCommand(CLI::App& app) {
  auto* fit = app.add_subcommand("fit", "Fit a regression model to a CSV file");
  fit->require_subcommand(1);
  fit->footer(
      "A binomial response that is a two-level factor is fitted as the probability of its "
      "second level, as R's glm does (the specification lists that level first). The summary "
      "is laid out as R's summary.lm / summary.glm; --summary-format csv gives the "
      "coefficient table only.\n");
  auto lm = std::make_shared<FitOptions>();
  auto* lmCmd = fit->add_subcommand("lm", "Linear least-squares regression (QMXProcILM)");
  addCommonOptions(lmCmd, *lm);
  lmCmd->footer(
      "Example:\n  qmx fit lm examples/mtcars.csv --formula \"mpg ~ wt + hp\" -o lm.xml\n");
  lmCmd->callback([lm] { runFit(*lm); });

  auto glm = std::make_shared<FitOptions>();
  glm->glm = true;
  auto* glmCmd = fit->add_subcommand(
      "glm", "Generalized linear model by iteratively reweighted least squares (QMXProcIGLM)");
  addCommonOptions(glmCmd, *glm);
  glmCmd
      ->add_option("--family", glm->family,
                   "gaussian, binomial, poisson, gamma, inverse.gaussian, quasi. A binomial "
                   "response is a 0/1 column, proportions with --weights giving the trials, or "
                   "a two-level factor, whose second level is modelled (as in R's glm: its "
                   "levels are swapped in the specification)")
      ->required();
  glmCmd->add_option("--link", glm->link,
                     "identity, logit, log, probit, cloglog, inverse, sqrt, 1/mu^2 (default: "
                     "the family's canonical link)");
  glmCmd->add_option("--variance", glm->variance,
                     "quasi family: constant, mu(1-mu), mu, mu^2, mu^3 (default constant)");
  glmCmd
      ->add_option("--max-iterations", glm->maxIterations,
                   "Most passes over the data (as R's glm.control maxit)")
      ->capture_default_str();
  glmCmd
      ->add_option("--epsilon", glm->epsilon,
                   "Relative deviance change that ends the fit (as R's glm.control epsilon)")
      ->capture_default_str();
  glmCmd->footer(
      "Example:\n  qmx fit glm examples/mtcars.csv --formula \"am ~ wt\" --family binomial "
      "-o glm.xml\n");
  glmCmd->callback([glm] { runFit(*glm); });
}
