// qmx fit lm|glm: fits a linear or generalized linear model to a CSV file. One metadata pass
// gives the columns; the formula and the family become the GeneralRegressionModel
// specification (the text qmx spec --kind glm writes); the regression proc of the library
// (QMXProcILM for lm, QMXProcIGLM for glm) is created through the proc loader, given the
// specification as "model.vtml" and driven over the file chunk by chunk; its
// "fitted.model.pmml" is written under a temporary name and renamed when complete, and the
// fit read back from it is summarized on stdout (FitSummary).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "Commands.h"
#include "FitSummary.h"
#include "ModelSpecSupport.h"
#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXCsvSource.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXObj.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxbase/QMXProcLoader.h"
#include "qmxbase/QMXPropertyInfo.h"
#include "qmxmisc/framework/QMXException.h"
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
  long chunkRows = 1000;
  int maxIterations = 10;
  double epsilon = 1e-4;
};

// What the fit needs besides the specification text.
struct FitSetup {
  MiningModel model;
  GLMSpecNames names;
  double mean = 1.0;  // the null-model mean of the response ("iglm.mean")
  std::string spec;
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

// The response's mean, checked for the binomial family: a column of values in [0, 1] or a
// two-level factor. The model matrix codes a factor response by indicators of all levels but
// the last, so the fit models the probability of the first level and the mean is its share.
double responseMean(const QMXCsvMetadata& meta, const MiningModel& model, bool binomial) {
  if (model.nResponse() < 1) throw CommandError("the formula has no response");
  const std::string name = model.response(0).name().str();
  const QMXCsvColumnSummary* column = findColumn(meta, name);
  if (column == nullptr) return 1.0;
  if (column->info.type == QMXColumnType::Factor) {
    if (!binomial || column->info.levels.size() != 2)
      throw CommandError("response '" + name + "' is a factor with " +
                         std::to_string(column->info.levels.size()) +
                         " levels; only the binomial family takes a factor response, with two "
                         "levels");
    const double total = static_cast<double>(column->levelCounts[0] + column->levelCounts[1]);
    return total > 0 ? static_cast<double>(column->levelCounts[0]) / total : 0.5;
  }
  if (binomial && (column->min < 0 || column->max > 1))
    throw CommandError("binomial response '" + name +
                       "' must lie between 0 and 1 (it ranges from " +
                       number(column->min, "%.15g") + " to " + number(column->max, "%.15g") + ")");
  return std::isnan(column->mean) ? 1.0 : column->mean;
}

FitSetup prepare(const FitOptions& options, const QMXCsvMetadata& meta) {
  const std::vector<DataColumn> columns = dataColumns(meta);
  try {
    FitSetup setup{
        modelFromFormula(options.formula, columns, options.weights),
        glmSpecNames(options.glm ? options.family : "gaussian", options.glm ? options.link : "",
                     options.glm ? options.variance : ""),
        1.0,
        {}};
    setup.mean = responseMean(meta, setup.model, setup.names.family == "Binomial");
    const GLMSpecElementWriter element(setup.names);
    std::ostringstream text;
    ModelSpecWriter(setup.model, columns, element).write(text);
    setup.spec = text.str();
    return setup;
  } catch (const QMXException& e) {
    throw CommandError(e.message() ? e.message() : "model specification failed");
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
    source = std::make_unique<QMXCsvSource>(options.data, std::move(meta));
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
  const std::int64_t rows = meta.rows;
  const std::string document = fitModel(options, setup, std::move(meta));
  writeFileAtomically(options.output, [&document](std::ostream& os) {
    os << document;
    return os.good();
  });
  std::fprintf(stderr, "wrote %s\n", options.output.c_str());
  std::fputs(fitSummary(document, options.summaryFormat == "csv", rows).c_str(), stdout);
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
                   "gaussian, binomial, poisson, gamma, inverse.gaussian, quasi")
      ->required();
  glmCmd->add_option("--link", glm->link,
                     "identity, logit, log, probit, cloglog, inverse, sqrt, 1/mu^2 (default: "
                     "the family's canonical link)");
  glmCmd->add_option("--variance", glm->variance,
                     "quasi family: constant, mu(1-mu), mu, mu^2, mu^3 (default constant)");
  glmCmd->add_option("--max-iterations", glm->maxIterations, "Most passes over the data")
      ->capture_default_str();
  glmCmd->add_option("--epsilon", glm->epsilon, "Relative deviance change that ends the fit")
      ->capture_default_str();
  glmCmd->footer(
      "Example:\n  qmx fit glm examples/mtcars.csv --formula \"am ~ wt\" --family binomial "
      "-o glm.xml\n");
  glmCmd->callback([glm] { runFit(*glm); });
}
