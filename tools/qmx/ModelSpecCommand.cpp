// qmx spec: the model specification document of an R model formula over a CSV file. One
// metadata pass gives the columns (types, factor levels) and their statistics; the
// specification of the chosen kind ("spec", the neutral element, or a kind of the model-kind
// table by its specName) is built by writeSpecification. The document is written under a
// temporary name and renamed only when complete.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CommandLimits.h"
#include "Commands.h"
#include "Console.h"
#include "DataOptions.h"
#include "LevelRow.h"
#include "OutputFile.h"
#include "ReadingOptions.h"
#include "TerminalText.h"
#include "qmxbase/QMXCsvMetadata.h"
#include "qmxbase/QMXDataError.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/kinds/KindSpecification.h"

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
  std::size_t maxLevels = QMXCsvOptions{}.maxLevels;
  DataOptions dataOptions;
};

constexpr std::size_t kListedTerms = 8;  // term labels shown in the summary line

std::string summary(const SpecOptions& options, const Specification& spec,
                    const QMXCsvMetadata& meta) {
  std::string responses;
  for (std::size_t respIdx = 0; respIdx < spec.responses.size(); ++respIdx)
    responses += (respIdx == 0 ? "" : ", ") + spec.responses[respIdx];
  std::string terms;
  for (std::size_t termIdx = 0; termIdx < spec.terms.size() && termIdx < kListedTerms; ++termIdx)
    terms += (termIdx == 0 ? "" : ", ") + spec.terms[termIdx];
  if (spec.terms.size() > kListedTerms) terms += ", ...";
  const std::size_t nTerms = spec.terms.size();
  std::string line = "wrote " + options.output + ": " + options.kind + " of " +
                     (responses.empty() ? std::string("no response") : responses) + ", " +
                     std::to_string(nTerms) + (nTerms == 1 ? " term" : " terms") +
                     (terms.empty() ? "" : " (" + terms + ")") +
                     (spec.intercept ? " and an intercept" : ", no intercept");
  if (!spec.weights.empty()) line += ", weights " + spec.weights;
  return line + "; " + std::to_string(meta.rows) + " rows of " + options.data;
}

// --family, --link or --variance choose the glm kind unless another kind is named.
void resolveKind(SpecOptions& options) {
  const bool glmOptions =
      !options.family.empty() || !options.link.empty() || !options.variance.empty();
  if (!glmOptions) return;
  if (!options.kindGiven) options.kind = "glm";
  if (options.kind != "glm")
    throw CommandError("--family, --link and --variance describe a glm; --kind " + options.kind +
                           " takes none of them",
                       kExitUsage);
}

void runSpec(const SpecOptions& options) {
  checkMaxLevels(options.maxLevels);
  QMXCsvOptions csv = options.dataOptions.csv();
  csv.maxLevels = options.maxLevels;
  const QMXCsvMetadata meta = scanData(options.data, options.dataOptions, csv);
  checkHasRows(options.data, meta.rows);
  try {
    SpecificationRequest request{options.formula, options.weights, {}};
    request.settings["family"] = options.family;
    request.settings["link"] = options.link;
    request.settings["variance"] = options.variance;
    const Specification spec = writeSpecification(meta, options.kind, request);
    writeOutputFile(options.output, spec.document);
    std::string line = summary(options, spec, meta);
    if (!spec.note.empty()) line += "; " + spec.note;
    printNote(line);
  } catch (const QMXException& e) {
    throw CommandError(e.message() ? withLevelRow(e.message(), meta, csv)
                                   : "model specification failed");
  }
}

}  // namespace

void addSpecCommand(CLI::App& app) {
  auto options = std::make_shared<SpecOptions>();
  auto* cmd = app.add_subcommand(
      "spec",
      "Write the model specification document (VTML) of an R model formula over a CSV file: "
      "columns, factor levels, column statistics and terms, from one streaming pass");
  cmd->add_option("data", options->data,
                  "CSV file with a header line (- for standard input; gzip data is read too)")
      ->required();
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
  cmd->add_option("--max-levels", options->maxLevels,
                  "A non-numeric column with at most this many distinct values is a factor, "
                  "with more a text column (which cannot enter a model)")
      ->check(wholeNumber(0))
      ->capture_default_str();
  addDataOptions(cmd, options->dataOptions);
  addMemoryBudgetOption(cmd);
  addReadingOptions(cmd);
  cmd->footer(
      "Examples:\n"
      "  qmx spec examples/mtcars.csv --formula \"mpg ~ wt * am + I(hp^2)\" -o mtcars.xml\n"
      "  qmx spec examples/iris.csv --formula \"Sepal.Length ~ Petal.Width * Species\" "
      "-o iris.xml\n"
      "  qmx spec examples/iris.csv --formula \"Species ~ Petal.Width\" --family binomial "
      "-o iris-glm.xml\n"
      "The summary line goes to stderr; errors exit with status 1.\n");
  cmd->callback([options, kind] {
    options->kindGiven = kind->count() > 0;
    resolveKind(*options);
    runSpec(*options);
  });
}
