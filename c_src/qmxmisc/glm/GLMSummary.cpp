// The text and CSV summaries of a regression fit, and what the JSON summary shares with them.
#include "qmxmisc/glm/GLMSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMSummaryInternal.h"
#include "qmxmisc/numeric/Cdf.h"

namespace {

std::string number(double value, const char* format = "%.15g") {
  if (std::isnan(value)) return "NaN";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// R's formatC(x, digits = 4): "%.4g" right-justified in digits + 1 characters.
std::string formatC4(double value) {
  return number(value, "%5.4g");
}

std::string csvSummary(const GLMFit& fit, bool zStat, const SummaryInput& input) {
  const CoefTableColumns columns = glm_summary::coefficientRows(fit, 0, zStat, input).columns;
  std::string out = "term,estimate,std.error,statistic,p.value\n";
  for (std::size_t row = 0; row < columns.names.size(); ++row)
    out += csvField(columns.names[row]) + "," + number(columns.estimate[row]) + "," +
           number(columns.stdErr[row]) + "," + number(columns.statistic[row]) + "," +
           number(columns.pValue[row]) + "\n";
  return out;
}

// summary.lm's closing lines: residual standard error, R-squared, the overall F test.
std::string lmStatistics(const GLMFit& fit, long col) {
  const glm_summary::LmFigures lm = glm_summary::lmFigures(fit, col);
  if (!lm.valid) return "";
  std::string out = "\nResidual standard error: " +
                    (std::isnan(lm.sigma) ? std::string("NaN") : formatReal({lm.sigma}, 4)[0]) +
                    " on " + std::to_string(lm.dfError) + " degrees of freedom\n";
  if (lm.hasR2) {
    out += "Multiple R-squared:  " + formatC4(lm.rSquared) +
           ",\tAdjusted R-squared:  " + formatC4(lm.adjRSquared) + " \n";
    out += "F-statistic: " + formatC4(lm.f) + " on " + std::to_string(lm.dfRegression) + " and " +
           std::to_string(lm.dfError) + " DF,  p-value: " + formatPval({lm.pValueF}, 4)[0] + "\n";
  }
  return out;
}

// summary.glm's dispersion line: 1 for binomial and Poisson, else the estimate the document
// holds (older documents without one had unscaled standard errors).
std::string dispersionLine(const GLMFit& fit, bool zStat) {
  if (zStat ||
      (fit.valid(true) && fit.hasFamily() && !glm_summary::extra(fit, "Dispersion").empty())) {
    const double dispersion = zStat ? 1.0 : glm_summary::extraNumber(fit, "Dispersion");
    return std::string("\n(Dispersion parameter for ") + glm_summary::rFamilyName(fit) +
           " family taken to be " +
           (std::isnan(dispersion) ? std::string("NaN") : formatReal({dispersion}, 7)[0]) + ")\n";
  }
  return "\n(Standard errors are unscaled: the dispersion is taken to be 1, not estimated)\n";
}

// summary.glm's closing lines: the dispersion, null and residual deviance, AIC, iterations.
std::string glmStatistics(const GLMFit& fit, long col, bool zStat) {
  std::string out = dispersionLine(fit, zStat);
  const TMatrix<double>& dev = fit.deviance();
  const TMatrix<long>& df = fit.df();
  const long error = glm_summary::rowOf(dev, "Error");
  long null = glm_summary::rowOf(dev, "Null");
  if (null < 0) null = glm_summary::rowOf(dev, "Total");
  if (error >= 0 && null >= 0) {
    const std::vector<std::string> deviance = formatReal({dev(null, col), dev(error, col)}, 5);
    std::vector<std::string> dfText = {std::to_string(glm_summary::nullDf(fit, df(null, 0))),
                                       std::to_string(df(error, 0))};
    const std::size_t width = std::max(dfText[0].size(), dfText[1].size());
    for (std::string& text : dfText)
      text.insert(0, width - text.size(), ' ');
    out += "\n    Null deviance: " + deviance[0] + "  on " + dfText[0] + "  degrees of freedom\n";
    out += "Residual deviance: " + deviance[1] + "  on " + dfText[1] + "  degrees of freedom\n";
  }
  // R prints a quasi family's missing AIC as NA and an undefined one (no residual degrees of
  // freedom) as NaN.
  if (!glm_summary::extra(fit, "AIC").empty()) {
    const double aic = glm_summary::extraNumber(fit, "AIC");
    const bool quasi = fit.distType() == GLMFamily::Distribution::Quasi;
    out +=
        "AIC: " + (std::isnan(aic) && !quasi ? std::string("NaN") : formatReal({aic}, 5)[0]) + "\n";
  }
  if (const std::string iterations = glm_summary::extra(fit, "Iterations"); !iterations.empty())
    out += "\nNumber of Fisher Scoring iterations: " + iterations + "\n";
  if (glm_summary::extra(fit, "Converged") == "false")
    out += "\nWarning: the algorithm did not converge\n";
  if (const std::string warning = glm_summary::extra(fit, "Warning"); !warning.empty())
    out += "\nWarning: " + warning + "\n";
  return out;
}

std::string textSummary(const GLMFit& fit, bool zStat, const SummaryInput& input) {
  const bool iterative = glm_summary::iterative(fit);
  std::string out = glm_summary::callLine(fit, input) + glm_summary::residualBlock(fit, input);
  if (iterative && fit.valid(true) && fit.nResponse() > 0 && fit.response(0).length() > 0 &&
      fit.distType() == GLMFamily::Distribution::Binomial)
    out += "Response " + fit.response(0).name().str() + ": modelling the probability of level '" +
           fit.response(0).levels()[0].str() + "'\n\n";
  for (long col = 0; col < fit.coefficients().getNCol(); ++col) {
    if (fit.coefficients().getNCol() > 1)
      out += (col == 0 ? "Response " : "\nResponse ") +
             fit.coefficients().getColNames()[static_cast<std::size_t>(col)].str() + ":\n";
    // An aliased coefficient (no standard error) prints as NA, as R prints it.
    glm_summary::CoefficientRows rows = glm_summary::coefficientRows(fit, col, zStat, input);
    CoefTableColumns& columns = rows.columns;
    long aliased = 0;
    for (std::size_t row = 0; row < columns.names.size(); ++row)
      if (rows.aliased[row]) {
        columns.estimate[row] = std::nan("");
        ++aliased;
      }
    out += aliased == 0 ? std::string("Coefficients:\n")
                        : "Coefficients: (" + std::to_string(aliased) +
                              " not defined because of singularities)\n";
    out += coefTable(columns);
    out += iterative ? glmStatistics(fit, col, zStat) : lmStatistics(fit, col);
  }
  const std::int64_t used = glm_summary::rowsUsed(fit);
  if (used >= 0) {
    out += "\nRows used: " + std::to_string(used) +
           ", left out (missing values): " + std::to_string(input.dataRows - used);
    if (input.zeroWeightRows > 0)
      out += ", left out (zero weight): " + std::to_string(input.zeroWeightRows);
    out += "\n";
  }
  const bool anova = !glm_summary::property(input, "summary.anova").empty();
  const bool confint = !glm_summary::property(input, "summary.confint").empty();
  if (anova && iterative) {
    const std::string table = glm_summary::glmAnovaText(fit, input);
    if (!table.empty()) out += "\n" + table;
  }
  for (long col = 0; col < fit.coefficients().getNCol(); ++col) {
    if (anova && !iterative)
      out += "\n" +
             glm_summary::anovaText(
                 fit, col, fit.coefficients().getColNames()[static_cast<std::size_t>(col)].str());
    if (!confint) continue;
    glm_summary::CoefficientRows rows = glm_summary::coefficientRows(fit, col, zStat, input);
    glm_summary::addConfint(rows);
    out += "\n" + glm_summary::confintText(rows);
  }
  return out;
}

}  // namespace

namespace glm_summary {

// Upper-tail probability of an F statistic (summary.lm's overall test).
double upperF(double f, double dfn, double dfd) {
  if (!(f >= 0) || !(dfn > 0) || !(dfd > 0)) return std::nan("");
  int which = 1, status = 0;
  double p = 0, q = 0, bound = 0;
  cdff(&which, &p, &q, &f, &dfn, &dfd, &status, &bound);
  return status == 0 ? q : std::nan("");
}

// R's name of the family, as summary.glm prints it.
const char* rFamilyName(const GLMFit& fit) {
  switch (fit.distType()) {
    case GLMFamily::Distribution::Gaussian:
      return "gaussian";
    case GLMFamily::Distribution::Binomial:
      return "binomial";
    case GLMFamily::Distribution::Poisson:
      return "poisson";
    case GLMFamily::Distribution::Gamma:
      return "Gamma";
    case GLMFamily::Distribution::InvGaussian:
      return "inverse.gaussian";
    case GLMFamily::Distribution::Quasi:
      break;
  }
  return "quasi";
}

GLMFit readFit(const std::string& document) {
  try {
    return GLMFit(document.c_str());
  } catch (const QMXException& e) {
    QMX_ThrowException("cannot read the fitted model: %s",
                       e.message() ? e.message() : "unknown error");
  }
}

std::string extra(const GLMFit& fit, const char* name) {
  const strVector& extras = fit.getModelExtras();
  for (std::size_t i = 0; i + 1 < extras.size(); i += 2)
    if (extras[i].str() == name) return extras[i + 1].str();
  return "";
}

double extraNumber(const GLMFit& fit, const char* name) {
  const std::string text = extra(fit, name);
  return text.empty() ? std::nan("") : std::strtod(text.c_str(), nullptr);
}

bool aliased(const GLMFit& fit, long row, long col) {
  return fit.isAliased(row, col);
}

bool usesZ(const GLMFit& fit) {
  return fit.valid(true) && (fit.distType() == GLMFamily::Distribution::Binomial ||
                             fit.distType() == GLMFamily::Distribution::Poisson);
}

long rowOf(const TMatrix<double>& table, const char* name) {
  const strVector& names = table.getRowNames();
  for (std::size_t row = 0; row < names.size(); ++row)
    if (names[row].str() == name) return static_cast<long>(row);
  return -1;
}

CoefTableColumns coefColumns(const GLMFit& fit, long col, bool zStat) {
  CoefTableColumns columns;
  const TMatrix<double>& coef = fit.coefficients();
  const TMatrix<double>& se = fit.stdErr();
  const double dfE = zStat ? 0.0 : static_cast<double>(fit.dfE());
  columns.statisticName = zStat ? "z" : "t";
  for (long row = 0; row < fit.nCoefficients(); ++row) {
    const double b = coef(row, col), s = se(row, col);
    const double stat = s > 0 ? b / s : std::nan("");
    columns.names.push_back(coef.getRowNames()[static_cast<std::size_t>(row)].str());
    columns.estimate.push_back(b);
    columns.stdErr.push_back(s);
    columns.statistic.push_back(stat);
    columns.pValue.push_back(glm_summary::twoSided(stat, dfE));
  }
  return columns;
}

LmFigures lmFigures(const GLMFit& fit, long col) {
  LmFigures lm;
  const TMatrix<double>& dev = fit.deviance();
  const TMatrix<long>& df = fit.df();
  const long error = rowOf(dev, "Error"), regression = rowOf(dev, "Regression");
  if (error < 0 || regression < 0) return lm;
  lm.valid = true;
  lm.rss = dev(error, col);
  const double regSS = dev(regression, col);
  lm.dfError = df(error, 0);
  lm.dfRegression = df(regression, 0);
  const auto dfE = static_cast<double>(lm.dfError);
  const auto dfR = static_cast<double>(lm.dfRegression);
  lm.sigma = dfE > 0 ? std::sqrt(lm.rss / dfE) : std::nan("");
  lm.hasR2 = dfR > 0 && regSS + lm.rss > 0;
  if (!lm.hasR2) return lm;
  // R's summary.lm: the model sum of squares is about the mean with an intercept and about
  // zero without one; so is the deviance table's Regression row. With an offset it is that of
  // the fitted values less the offset (the fit is of y - offset), as in R >= 4.3.0; R 4.2.2
  // still counted the offset in the fitted values, so its R-squared and F differ there.
  lm.rSquared = regSS / (regSS + lm.rss);
  const double n = dfE + dfR + (fit.intercept() ? 1.0 : 0.0);
  lm.adjRSquared = 1 - (1 - lm.rSquared) * ((n - (fit.intercept() ? 1.0 : 0.0)) / dfE);
  lm.f = (regSS / dfR) / (lm.rss / dfE);
  lm.pValueF = upperF(lm.f, dfR, dfE);
  return lm;
}

std::int64_t rowsUsed(const GLMFit& fit) {
  long total = rowOf(fit.deviance(), "Total");
  if (total < 0) total = rowOf(fit.deviance(), "Null");
  return total < 0 ? -1 : fit.df()(total, 0) + 1;
}

}  // namespace glm_summary

std::string glmSummary(const std::string& document, SummaryFormat format,
                       const SummaryInput& input) {
  const GLMFit fit = glm_summary::readFit(document);
  const bool zStat = glm_summary::usesZ(fit);
  switch (format) {
    case SummaryFormat::kCsv:
      return csvSummary(fit, zStat, input);
    case SummaryFormat::kJson:
      return glm_summary::jsonSummary(fit, input);
    case SummaryFormat::kText:
      break;
  }
  return textSummary(fit, zStat, input);
}
