#include "FitSummary.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "FitSummaryFormat.h"
#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/glm/GLMFit.h"
#include "qmxmisc/numeric/Cdf.h"

namespace {

std::string number(double value, const char* format = "%.15g") {
  if (std::isnan(value)) return "NaN";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Two-sided p-value of a t statistic on `df` degrees of freedom, or of a z statistic when
// df is 0 or less (R's summary.glm uses z for the binomial and Poisson families, whose
// dispersion is fixed at 1).
double twoSided(double stat, double df) {
  if (std::isnan(stat)) return std::nan("");
  int which = 1, status = 0;
  double p = 0, q = 0, x = -std::fabs(stat), bound = 0;
  if (df > 0) {
    cdft(&which, &p, &q, &x, &df, &status, &bound);
  } else {
    double mean = 0, sd = 1;
    cdfnor(&which, &p, &q, &x, &mean, &sd, &status, &bound);
  }
  return status == 0 ? 2 * p : std::nan("");
}

// Upper-tail probability of an F statistic (summary.lm's overall test).
double upperF(double f, double dfn, double dfd) {
  if (!(f >= 0) || !(dfn > 0) || !(dfd > 0)) return std::nan("");
  int which = 1, status = 0;
  double p = 0, q = 0, bound = 0;
  cdff(&which, &p, &q, &f, &dfn, &dfd, &status, &bound);
  return status == 0 ? q : std::nan("");
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

long rowOf(const TMatrix<double>& table, const char* name) {
  const strVector& names = table.getRowNames();
  for (std::size_t row = 0; row < names.size(); ++row)
    if (names[row].str() == name) return static_cast<long>(row);
  return -1;
}

// R's formatC(x, digits = 4): "%.4g" right-justified in digits + 1 characters.
std::string formatC4(double value) {
  return number(value, "%5.4g");
}

// The coefficient columns of response `col`: estimate, standard error, statistic, p-value.
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
    columns.pValue.push_back(twoSided(stat, dfE));
  }
  return columns;
}

std::string csvSummary(const GLMFit& fit, bool zStat) {
  const CoefTableColumns columns = coefColumns(fit, 0, zStat);
  std::string out = "term,estimate,std.error,statistic,p.value\n";
  for (std::size_t row = 0; row < columns.names.size(); ++row)
    out += csvField(columns.names[row]) + "," + number(columns.estimate[row]) + "," +
           number(columns.stdErr[row]) + "," + number(columns.statistic[row]) + "," +
           number(columns.pValue[row]) + "\n";
  return out;
}

// summary.lm's closing lines: residual standard error, R-squared, the overall F test.
std::string lmStatistics(const GLMFit& fit, long col) {
  const TMatrix<double>& dev = fit.deviance();
  const TMatrix<long>& df = fit.df();
  const long error = rowOf(dev, "Error"), regression = rowOf(dev, "Regression");
  if (error < 0 || regression < 0) return "";
  const double rss = dev(error, col), regSS = dev(regression, col);
  const auto dfE = static_cast<double>(df(error, 0));
  const auto dfR = static_cast<double>(df(regression, 0));
  const double sigma = dfE > 0 ? std::sqrt(rss / dfE) : std::nan("");
  std::string out = "\nResidual standard error: " +
                    (std::isnan(sigma) ? std::string("NaN") : formatReal({sigma}, 4)[0]) + " on " +
                    std::to_string(df(error, 0)) + " degrees of freedom\n";
  if (dfR > 0 && regSS + rss > 0) {
    // R's summary.lm: the model sum of squares is about the mean with an intercept and
    // about zero without one; so is the deviance table's Regression row.
    const double r2 = regSS / (regSS + rss);
    const double n = dfE + dfR + (fit.intercept() ? 1.0 : 0.0);
    const double adjusted = 1 - (1 - r2) * ((n - (fit.intercept() ? 1.0 : 0.0)) / dfE);
    const double f = (regSS / dfR) / (rss / dfE);
    out += "Multiple R-squared:  " + formatC4(r2) +
           ",\tAdjusted R-squared:  " + formatC4(adjusted) + " \n";
    out += "F-statistic: " + formatC4(f) + " on " + std::to_string(df(regression, 0)) + " and " +
           std::to_string(df(error, 0)) +
           " DF,  p-value: " + formatPval({upperF(f, dfR, dfE)}, 4)[0] + "\n";
  }
  return out;
}

// summary.glm's closing lines: the dispersion, null and residual deviance, iterations.
std::string glmStatistics(const GLMFit& fit, long col, bool zStat) {
  std::string out;
  if (zStat) {
    out += std::string("\n(Dispersion parameter for ") +
           (fit.distType() == GLMFamily::Distribution::Binomial ? "binomial" : "poisson") +
           " family taken to be 1)\n";
  } else {
    out += "\n(Standard errors are unscaled: the dispersion is taken to be 1, not estimated)\n";
  }
  const TMatrix<double>& dev = fit.deviance();
  const TMatrix<long>& df = fit.df();
  const long error = rowOf(dev, "Error");
  long null = rowOf(dev, "Null");
  if (null < 0) null = rowOf(dev, "Total");
  if (error >= 0 && null >= 0) {
    const std::vector<std::string> deviance = formatReal({dev(null, col), dev(error, col)}, 5);
    std::vector<std::string> dfText = {std::to_string(df(null, 0)), std::to_string(df(error, 0))};
    const std::size_t width = std::max(dfText[0].size(), dfText[1].size());
    for (std::string& text : dfText)
      text.insert(0, width - text.size(), ' ');
    out += "\n    Null deviance: " + deviance[0] + "  on " + dfText[0] + "  degrees of freedom\n";
    out += "Residual deviance: " + deviance[1] + "  on " + dfText[1] + "  degrees of freedom\n";
  }
  const strVector& extras = fit.getModelExtras();
  for (std::size_t i = 0; i + 1 < extras.size(); i += 2)
    if (extras[i].str() == "Iterations")
      out += "\nNumber of Fisher Scoring iterations: " + extras[i + 1].str() + "\n";
  return out;
}

}  // namespace

std::string fitSummary(const std::string& document, bool csv, std::int64_t dataRows,
                       std::int64_t zeroWeightRows) {
  GLMFit fit;
  try {
    fit = GLMFit(document.c_str());
  } catch (const QMXException& e) {
    throw CommandError(std::string("cannot read the fitted model: ") +
                       (e.message() ? e.message() : "unknown error"));
  }
  const bool hasFamily = fit.valid(true);
  const bool zStat = hasFamily && (fit.distType() == GLMFamily::Distribution::Binomial ||
                                   fit.distType() == GLMFamily::Distribution::Poisson);
  if (csv) return csvSummary(fit, zStat);
  const bool iterative = !fit.getModelExtras().empty();
  std::string out;
  if (iterative && hasFamily && fit.nResponse() > 0 && fit.response(0).length() > 0 &&
      fit.distType() == GLMFamily::Distribution::Binomial)
    out += "Response " + fit.response(0).name().str() + ": modelling the probability of level '" +
           fit.response(0).levels()[0].str() + "'\n\n";
  for (long col = 0; col < fit.coefficients().getNCol(); ++col) {
    if (fit.coefficients().getNCol() > 1)
      out += (col == 0 ? "Response " : "\nResponse ") +
             fit.coefficients().getColNames()[static_cast<std::size_t>(col)].str() + ":\n";
    // An aliased coefficient (no standard error) prints as NA, as R prints it.
    CoefTableColumns columns = coefColumns(fit, col, zStat);
    long aliased = 0;
    for (std::size_t row = 0; row < columns.names.size(); ++row)
      if (std::isnan(columns.stdErr[row])) {
        columns.estimate[row] = std::nan("");
        ++aliased;
      }
    out += aliased == 0 ? std::string("Coefficients:\n")
                        : "Coefficients: (" + std::to_string(aliased) +
                              " not defined because of singularities)\n";
    out += coefTable(columns);
    out += iterative ? glmStatistics(fit, col, zStat) : lmStatistics(fit, col);
  }
  const TMatrix<long>& df = fit.df();
  long total = rowOf(fit.deviance(), "Total");
  if (total < 0) total = rowOf(fit.deviance(), "Null");
  if (total >= 0) {
    const std::int64_t used = df(total, 0) + 1;
    out += "\nRows used: " + std::to_string(used) +
           ", left out (missing values): " + std::to_string(dataRows - used);
    if (zeroWeightRows > 0) out += ", left out (zero weight): " + std::to_string(zeroWeightRows);
    out += "\n";
  }
  return out;
}
