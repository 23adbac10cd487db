#include "FitSummary.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "Commands.h"
#include "qmxmisc/framework/QMXException.h"
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

}  // namespace

std::string fitSummary(const std::string& document, bool csv, std::int64_t dataRows) {
  GLMFit fit;
  try {
    fit = GLMFit(document.c_str());
  } catch (const QMXException& e) {
    throw CommandError(std::string("cannot read the fitted model: ") +
                       (e.message() ? e.message() : "unknown error"));
  }
  const bool zStat = fit.valid(true) && (fit.distType() == GLMFamily::Distribution::Binomial ||
                                         fit.distType() == GLMFamily::Distribution::Poisson);
  const double dfE = zStat ? 0.0 : static_cast<double>(fit.dfE());
  const TMatrix<double>& coef = fit.coefficients();
  const TMatrix<double>& se = fit.stdErr();
  const strVector& names = coef.getRowNames();
  std::string out = csv ? "term,estimate,std.error,statistic,p.value\n"
                        : std::string("Coefficients:\n") + "term,estimate,std.error," +
                              (zStat ? "z value,Pr(>|z|)\n" : "t value,Pr(>|t|)\n");
  for (long row = 0; row < fit.nCoefficients(); ++row) {
    const double b = coef(row, 0), s = se(row, 0);
    const double stat = s > 0 ? b / s : std::nan("");
    out += csvField(names[static_cast<std::size_t>(row)].str()) + "," + number(b) + "," +
           number(s) + "," + number(stat) + "," + number(twoSided(stat, dfE)) + "\n";
  }
  if (csv) return out;
  const TMatrix<double>& dev = fit.deviance();
  const TMatrix<long>& df = fit.df();
  out += "\nAnalysis of deviance:\nsource,df,deviance\n";
  for (long row = 0; row < dev.getNRow(); ++row)
    out += csvField(dev.getRowNames()[static_cast<std::size_t>(row)].str()) + "," +
           std::to_string(df(row, 0)) + "," + number(dev(row, 0)) + "\n";
  const long error = rowOf(dev, "Error");
  long total = rowOf(dev, "Total");
  if (total < 0) total = rowOf(dev, "Null");
  if (error >= 0 && total >= 0 && dev(total, 0) > 0)
    out += "R-squared: " + number(1 - dev(error, 0) / dev(total, 0), "%.6g") + "\n";
  if (total >= 0) {
    const std::int64_t used = df(total, 0) + 1;
    out += "Rows used: " + std::to_string(used) +
           ", left out (missing values): " + std::to_string(dataRows - used) + "\n";
  }
  const strVector& extras = fit.getModelExtras();
  for (std::size_t i = 0; i + 1 < extras.size(); i += 2)
    if (extras[i].str() == "Iterations") out += "Iterations: " + extras[i + 1].str() + "\n";
  return out;
}
