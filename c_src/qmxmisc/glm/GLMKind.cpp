// The descriptors of the regression kinds "lm" and "glm": procs, document element, the glm
// fit options and the scoring output names.
#include "qmxmisc/glm/GLMKind.h"

#include "qmxmisc/glm/GLMSpecElementWriter.h"
#include "qmxmisc/glm/GLMSummary.h"

namespace {

// The summary options of both kinds: properties of the fitting proc, which hands the
// coefficients under that coding to the summary printer.
constexpr KindOption kContrastsOption = {
    "--contrasts",
    "Coding of factors in the summary: treatment (R's default: the reference level left out) or "
    "sum (every level, as the fitted document holds them)",
    KindOptionType::kText,
    "treatment",
    false,
    KindOptionTarget::kProperty,
    "summary.contrasts",
    KindOptionCheck::kNone};
constexpr KindOption kReferenceOption = {
    "--reference",
    "FACTOR=LEVEL: the reference level of a factor under treatment coding (default its first "
    "level); may be repeated",
    KindOptionType::kTextList,
    "",
    false,
    KindOptionTarget::kProperty,
    "summary.reference",
    KindOptionCheck::kNone};

constexpr KindOption kLmOptions[] = {kContrastsOption, kReferenceOption};

constexpr KindOption kGlmOptions[] = {
    {"--family",
     "gaussian, binomial, poisson, gamma, inverse.gaussian, quasi, quasipoisson, quasibinomial. "
     "A binomial response is a 0/1 column, proportions with --weights giving the trials, "
     "cbind(successes, failures), or a two-level factor, whose second level is modelled (as in "
     "R's glm: its levels are swapped in the specification)",
     KindOptionType::kText, "", true, KindOptionTarget::kSpec, "family", KindOptionCheck::kNone},
    {"--link",
     "identity, logit, log, probit, cloglog, inverse, sqrt, 1/mu^2 (default: the family's "
     "canonical link)",
     KindOptionType::kText, "", false, KindOptionTarget::kSpec, "link", KindOptionCheck::kNone},
    {"--variance", "quasi family: constant, mu(1-mu), mu, mu^2, mu^3 (default constant)",
     KindOptionType::kText, "", false, KindOptionTarget::kSpec, "variance", KindOptionCheck::kNone},
    // R's glm.control() defaults.
    {"--max-iterations", "Most iterations (as R's glm.control maxit)", KindOptionType::kInteger,
     "25", false, KindOptionTarget::kProperty, "max.iterations", KindOptionCheck::kAtLeastOne},
    {"--epsilon",
     "Relative deviance change |dev - dev_old| / (|dev| + 0.1) that ends the fit (as R's "
     "glm.control epsilon)",
     KindOptionType::kReal, "1e-8", false, KindOptionTarget::kProperty, "epsilon",
     KindOptionCheck::kPositive},
    kContrastsOption,
    kReferenceOption,
};

// The fitting proc's properties the summary printer reads.
constexpr const char* kSummaryProperties[] = {
    "summary.coefficients",       "summary.factors",    "summary.loglik", "summary.aic",
    "summary.residual.quantiles", "summary.anova.table"};

// Both kinds' procs make the residual passes the summary's quantiles need.
std::vector<std::pair<std::string, std::string>> lmFitProperties(const SpecSettings& /*unused*/) {
  return {{"summary.residuals", "1"}};
}

// With --anova ("summary.anova" set) the glm proc also fits anova's sequential models.
std::vector<std::pair<std::string, std::string>> glmFitProperties(const SpecSettings& settings) {
  auto properties = glm_kind::fitProperties(settings);
  properties.emplace_back("summary.residuals", "1");
  const auto anova = settings.values.find("summary.anova");
  if (anova != settings.values.end() && anova->second == "true")
    properties.emplace_back("summary.anova", "1");
  return properties;
}

// The friendly names of qmx score --output and the scoring proc's type texts.
constexpr ScoreOutputName kRegressionOutputs[] = {
    {"response", "fitted.value", false},
    {"link", "eta", false},
    {"prob", "probability", true},
    {"class", "category", true},
    {"residual", "residual.default", false},
    {"weight", "weight", false},
    {"agreement", "agreement", true},
    // R's residual types: residual:TYPE
    {"residual:deviance", "residual.deviance", false},
    {"residual:pearson", "residual.pearson", false},
    {"residual:working", "residual.working", false},
    {"residual:response", "residual.response", false},
};

constexpr const char kRegressionOutputHelp[] =
    R"(Output types of --output TYPE[:INDEX[:NAME]] (the scoring proc's own texts also work):
  response   fitted.value  fitted value on the response scale (binomial: the probability
                           of the level the model fits)           default column "fitted"
  link       eta           linear predictor                       "link"
  prob       probability   probability of category INDEX (0 or 1, or a level name) of a
                           binomial model                         "prob.<level>"
  class      category      predicted category (factor response)   "class"
  residual   residual.default
                           R's residuals(fit): the deviance residual of a glm, the
                           response residual (response - fitted) of an lm; DATA.csv must
                           hold the response (and the weights column, and the failures
                           of a cbind fit)                        "residual"
  residual:TYPE  residual.TYPE
                           R's residuals(fit, type = TYPE), TYPE one of deviance,
                           pearson, working, response; the prior weights are the fit's
                           --weights                              "residual.TYPE"
  weight     weight        working weight (times the case weight) "weight"
  agreement  agreement     1 when class equals the observed level, else 0  "agreement"
INDEX selects the response (default 0); NAME renames the column.
)";

}  // namespace

const ModelKind kLmKind = {
    "lm",
    "Linear least-squares regression",
    "Example:\n  qmx fit lm examples/mtcars.csv --formula \"mpg ~ wt + hp\" -o lm.xml\n",
    "QMXProcILM",
    "QMXProcGLMFit",
    "GeneralRegressionModel",
    nullptr,
    "LinearRegression",
    kLmOptions,
    kRegressionOutputs,
    kRegressionOutputHelp,
    kSummaryProperties,
    &GLMSpecElementWriter::fromSettings,
    &glm_kind::prepareModel,
    &lmFitProperties,
    &glmSummary,
    &glm_kind::scoreModel,
};

const ModelKind kGlmKind = {
    "glm",
    "Generalized linear model by iteratively reweighted least squares",
    "Example:\n  qmx fit glm examples/mtcars.csv --formula \"am ~ wt\" --family binomial "
    "-o glm.xml\n",
    "QMXProcIGLM",
    "QMXProcGLMFit",
    "GeneralRegressionModel",
    "glm",
    "LinearRegression,LogisticRegression",
    kGlmOptions,
    kRegressionOutputs,
    kRegressionOutputHelp,
    kSummaryProperties,
    &GLMSpecElementWriter::fromSettings,
    &glm_kind::prepareModel,
    &glmFitProperties,
    &glmSummary,
    &glm_kind::scoreModel,
};
