// What the summary printers of the regression kinds share (glm/ only): the fit read back from
// its document, the coefficient columns, the figures of summary.lm's closing lines and the
// rows used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/model/ModelKind.h"
#include "qmxmisc/model/RPrintFormat.h"

namespace glm_summary {

// The fit of a fitted document; throws "cannot read the fitted model: ...".
GLMFit readFit(const std::string& document);

// R's summary.glm uses z statistics for the binomial and Poisson families (dispersion 1).
bool usesZ(const GLMFit& fit);

// A fit of the iterative proc carries its model extras (family, link, iterations).
inline bool iterative(const GLMFit& fit) {
  return !fit.getModelExtras().empty();
}

// The value of the model extra `name` ("" when the document has none).
std::string extra(const GLMFit& fit, const char* name);

// An extra as a number: NaN when absent or "NaN".
double extraNumber(const GLMFit& fit, const char* name);

// True when coefficient `row` of response `col` is aliased: no standard error, while the
// dispersion is defined (an undefined dispersion, no residual degrees of freedom, leaves
// every standard error undefined).
bool aliased(const GLMFit& fit, long row, long col);

// The row of `name` in a deviance table, -1 when absent.
long rowOf(const TMatrix<double>& table, const char* name);
// The null deviance's degrees of freedom as R counts them: the fit stores rows - 1 (the rows
// used are read back from it), R's glm has rows - 1 with an intercept and rows without.
inline long nullDf(const GLMFit& fit, long stored) {
  return fit.intercept() ? stored : stored + 1;
}

// The coefficient columns of response `col`: estimate, standard error, statistic, p-value.
CoefTableColumns coefColumns(const GLMFit& fit, long col, bool zStat);

// summary.lm's closing figures of response `col`; `valid` is false without the deviance
// table's Error and Regression rows, `hasR2` false when R-squared is undefined.
struct LmFigures {
  bool valid = false;
  bool hasR2 = false;
  long dfError = 0, dfRegression = 0;
  double rss = 0, sigma = 0, rSquared = 0, adjRSquared = 0, f = 0, pValueF = 0;
};
LmFigures lmFigures(const GLMFit& fit, long col);

// The rows the fit used (degrees of freedom of the total + 1), -1 when the document lacks it.
std::int64_t rowsUsed(const GLMFit& fit);

// Two-sided p-value of a t statistic on `df` degrees of freedom, or of a z statistic when df
// is 0 or less.
double twoSided(double stat, double df);

// The text of a summary input property, "" when absent.
std::string property(const SummaryInput& input, const char* name);

// The rows of the coefficient table of response `col` (GLMSummaryCoded.cpp): those of the
// coding the fit was summarised in, with their aliased flags.
struct CoefficientRows {
  CoefTableColumns columns;
  std::vector<bool> aliased;
  std::vector<double> lower, upper;  // addConfint
};
CoefficientRows coefficientRows(const GLMFit& fit, long col, bool zStat, const SummaryInput& input);

// GLMSummaryCall.cpp:
// "\nCall:\n" and R's call of the fit ("" without the "call.formula" input property), on
// as many lines as R's deparse() gives it.
std::string callLine(const GLMFit& fit, const SummaryInput& input);
// A formula spaced as R deparses it: binary ~ + - * %in% between spaces, : / ^ without.
std::string deparseFormula(const std::string& text);
// R's name of a link ("logit", "1/mu^2", ...).
const char* rLinkName(GLMLink::Link link);

// GLMSummaryTables.cpp:
// "Residuals:" (lm; "Weighted Residuals:") or "Deviance Residuals: " (glm) and R's quantiles,
// or every residual when the residual degrees of freedom are 5 or fewer ("" without them).
std::string residualBlock(const GLMFit& fit, const SummaryInput& input);
// R's confint.default: estimate -/+ qnorm(0.975) standard error (NaN when aliased).
void addConfint(CoefficientRows& rows);
std::string confintText(const CoefficientRows& rows);
// One row of R's anova() of a linear fit (terms without degrees of freedom left out; the
// last row "Residuals" has NaN F and p).
struct AnovaRow {
  std::string name;
  long df = 0;
  double sumSq = 0, meanSq = 0, f = 0, p = 0;
};
std::vector<AnovaRow> lmAnova(const GLMFit& fit, long col);
std::string anovaText(const GLMFit& fit, long col, const std::string& response);
// One row of R's anova() of a glm (the NULL row first; NaN where R prints nothing): the
// models' residual df and deviance come from "summary.anova.table"; the test is chi-squared
// for the binomial and Poisson families, else F on the fit's dispersion (R >= 4.4's default).
struct GlmAnovaRow {
  std::string term;
  double df, deviance, residualDf, residualDeviance, statistic, p;
};
std::vector<GlmAnovaRow> glmAnova(const GLMFit& fit, const SummaryInput& input);
std::string glmAnovaText(const GLMFit& fit, const SummaryInput& input);

// R's name of the family of a fit (GLMSummary.cpp).
const char* rFamilyName(const GLMFit& fit);
// Upper-tail probability of an F statistic, NaN when undefined.
double upperF(double f, double dfn, double dfd);

// The JSON summary (GLMSummaryJson.cpp).
std::string jsonSummary(const GLMFit& fit, const SummaryInput& input);

}  // namespace glm_summary
