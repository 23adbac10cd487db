// qmx spec: the model specification document of an R model formula over a CSV file. One
// metadata pass gives the columns (types, factor levels) and their statistics; the formula
// becomes a model description (ModelFormula) and ModelSpecWriter writes the document with
// the element of the chosen model kind. The document is written under a temporary name and
// renamed only when complete.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "ModelSpecSupport.h"
#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXDataError.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMSpecElementWriter.h"
#include "qmxmisc/glm/GLMSpecNames.h"
#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelSpecKindWriter.h"
#include "qmxmisc/model/ModelSpecWriter.h"

namespace {

struct SpecOptions {
  std::string data;
  std::string formula;
  std::string weights;
  std::string output;
  std::string kind = "spec";
  bool kindGiven = false;
  std::string family;
  std::string link;
  std::string variance;
  std::string separator = ",";
  std::size_t maxLevels = QMXCsvOptions{}.maxLevels;
  std::vector<std::string> naStrings;
  bool naGiven = false;
};

constexpr std::size_t kListedTerms = 8;  // term labels shown in the summary line

char separatorChar(const std::string& text) {
  if (text == "tab" || text == "\\t") return '\t';
  if (text.size() != 1 || text == "\"" || text == "\n" || text == "\r")
    throw CommandError("--separator takes one character (or tab), not '" + text + "'");
  return text[0];
}

std::string summary(const SpecOptions& options, const MiningModel& model,
                    const QMXCsvMetadata& meta) {
  std::string responses;
  for (long respIdx = 0; respIdx < model.nResponse(); ++respIdx)
    responses += (respIdx == 0 ? "" : ", ") + model.response(respIdx).name().str();
  std::string terms;
  for (long termIdx = 0; termIdx < model.nTerms() && termIdx < static_cast<long>(kListedTerms);
       ++termIdx)
    terms += (termIdx == 0 ? "" : ", ") + model.term(termIdx).str();
  if (model.nTerms() > static_cast<long>(kListedTerms)) terms += ", ...";
  const long nTerms = model.nTerms();
  std::string line = "wrote " + options.output + ": " + options.kind + " of " +
                     (responses.empty() ? std::string("no response") : responses) + ", " +
                     std::to_string(nTerms) + (nTerms == 1 ? " term" : " terms") +
                     (terms.empty() ? "" : " (" + terms + ")") +
                     (model.intercept() ? " and an intercept" : ", no intercept");
  if (!model.weights().empty()) line += ", weights " + model.weights().str();
  return line + "; " + std::to_string(meta.rows) + " rows of " + options.data;
}

// The element writers qmx spec knows: the neutral element and the GLM specification.
ModelSpecKindWriters specElementWriters() {
  ModelSpecKindWriters writers = baseSpecElementWriters();
  writers.add("glm", &GLMSpecElementWriter::fromSettings);
  return writers;
}

// --family, --link or --variance choose the glm kind unless another kind is named.
void resolveKind(SpecOptions& options) {
  const bool glmOptions =
      !options.family.empty() || !options.link.empty() || !options.variance.empty();
  if (!glmOptions) return;
  if (!options.kindGiven) options.kind = "glm";
  if (options.kind != "glm")
    throw CommandError("--family, --link and --variance describe a glm; --kind " + options.kind +
                       " takes none of them");
}

void runSpec(const SpecOptions& options) {
  QMXCsvOptions csv;
  csv.maxLevels = options.maxLevels;
  csv.separator = separatorChar(options.separator);
  if (options.naGiven) csv.naStrings = options.naStrings;
  QMXCsvMetadata meta;
  try {
    meta = scanCsvMetadata(options.data, csv);
  } catch (const QMXDataError& e) {
    throw CommandError(e.what());
  }
  std::vector<DataColumn> columns = dataColumns(meta);
  try {
    MiningModel model = modelFromFormula(options.formula, columns, options.weights);
    std::string modelled;
    if (options.kind == "glm" && !options.family.empty() && model.nResponse() > 0 &&
        glmSpecNames(options.family, options.link, options.variance).family == "Binomial") {
      modelled = putSecondLevelFirst(columns, model.response(0).name().str());
      if (!modelled.empty()) model = modelFromFormula(options.formula, columns, options.weights);
    }
    SpecSettings settings;
    settings.formula = options.formula;
    settings.values["family"] = options.family;
    settings.values["link"] = options.link;
    settings.values["variance"] = options.variance;
    const std::unique_ptr<ModelSpecKindWriter> element =
        specElementWriters().make(options.kind, settings);
    const ModelSpecWriter writer(model, columns, *element);
    writeFileAtomically(options.output, [&writer](std::ostream& os) { return writer.write(os); });
    std::string line = summary(options, model, meta);
    if (!modelled.empty()) line += "; modelling the probability of level '" + modelled + "'";
    std::fprintf(stderr, "%s\n", line.c_str());
  } catch (const QMXException& e) {
    throw CommandError(e.message() ? e.message() : "model specification failed");
  }
}

}  // namespace

void addSpecCommand(CLI::App& app) {
  auto options = std::make_shared<SpecOptions>();
  auto* cmd = app.add_subcommand(
      "spec",
      "Write the model specification document (VTML) of an R model formula over a CSV file: "
      "columns, factor levels, column statistics and terms, from one streaming pass");
  cmd->add_option("data", options->data, "CSV file with a header line")->required();
  cmd->add_option("--formula", options->formula,
                  "R model formula, e.g. \"y ~ x * f + I(x^2) - 1\" (+ : * / %in% ^ - . I())")
      ->required();
  cmd->add_option("-o,--output", options->output, "The specification document to write")
      ->required();
  cmd->add_option("--weights", options->weights, "Numeric column of case weights");
  auto* kind = cmd->add_option("--kind", options->kind,
                               "Model kind whose element the document holds (spec: the neutral "
                               "element; glm: a linear or generalized linear model)");
  kind->capture_default_str();
  cmd->add_option("--family", options->family,
                  "GLM family (implies --kind glm): gaussian, binomial, poisson, gamma, "
                  "inverse.gaussian, quasi. A binomial response that is a two-level factor "
                  "is written with its levels swapped (second level first), so the fit "
                  "models the probability of the second level, as R's glm does");
  cmd->add_option("--link", options->link,
                  "GLM link (default: the family's canonical link): identity, logit, log, "
                  "probit, cloglog, inverse, sqrt, 1/mu^2");
  cmd->add_option("--variance", options->variance,
                  "Variance function of the quasi family (default constant): constant, "
                  "mu(1-mu), mu, mu^2, mu^3");
  cmd->add_option("--separator", options->separator, "Field separator: one character, or tab")
      ->capture_default_str();
  cmd->add_option("--max-levels", options->maxLevels,
                  "A non-numeric column with at most this many distinct values is a factor, "
                  "with more a text column (which cannot enter a model)")
      ->capture_default_str();
  auto* na = cmd->add_option("--na", options->naStrings,
                             "A text that marks a missing value; repeat for several (default: "
                             "the empty field and NA; --na '' for the empty field)");
  na->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->allow_extra_args(false);
  cmd->footer(
      "Examples:\n"
      "  qmx spec examples/mtcars.csv --formula \"mpg ~ wt * am + I(hp^2)\" -o mtcars.xml\n"
      "  qmx spec examples/iris.csv --formula \"Sepal.Length ~ Petal.Width * Species\" "
      "-o iris.xml\n"
      "  qmx spec examples/iris.csv --formula \"Species ~ Petal.Width\" --family binomial "
      "-o iris-glm.xml\n"
      "The summary line goes to stderr; errors exit with status 1.\n");
  cmd->callback([options, na, kind] {
    options->naGiven = na->count() > 0;
    options->kindGiven = kind->count() > 0;
    resolveKind(*options);
    runSpec(*options);
  });
}
