// The coefficient rows of a summary: the treatment-coded coefficients the fitting proc handed
// over ("summary.coefficients": name, aliased flag, unscaled variance, estimates) scaled by
// the fit's sigma squared (lm) or dispersion (glm), or else the document's coefficients (one
// per model-matrix column, the parametrisation of --contrasts sum).
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "qmxmisc/glm/GLMSummaryInternal.h"
#include "qmxmisc/numeric/Cdf.h"

namespace {

// The variance scale of response `col`: summary.lm's sigma^2, summary.glm's dispersion.
double scaleOf(const GLMFit& fit, long col, bool zStat) {
  if (glm_summary::iterative(fit)) {
    if (zStat) return 1.0;
    const double dispersion = glm_summary::extraNumber(fit, "Dispersion");
    return glm_summary::extra(fit, "Dispersion").empty() ? 1.0 : dispersion;
  }
  const glm_summary::LmFigures lm = glm_summary::lmFigures(fit, col);
  return lm.valid ? lm.sigma * lm.sigma : std::nan("");
}

}  // namespace

namespace glm_summary {

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

std::string property(const SummaryInput& input, const char* name) {
  const auto found = input.properties.find(name);
  return found == input.properties.end() ? std::string() : found->second;
}

CoefficientRows coefficientRows(const GLMFit& fit, long col, bool zStat,
                                const SummaryInput& input) {
  const std::string coded = property(input, "summary.coefficients");
  CoefficientRows rows;
  if (coded.empty()) {
    rows.columns = coefColumns(fit, col, zStat);
    for (std::size_t row = 0; row < rows.columns.names.size(); ++row)
      rows.aliased.push_back(aliased(fit, static_cast<long>(row), col));
    return rows;
  }
  const double scale = scaleOf(fit, col, zStat);
  const double dfE = zStat ? 0.0 : static_cast<double>(fit.dfE());
  rows.columns.statisticName = zStat ? "z" : "t";
  std::istringstream lines(coded);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');)
      fields.push_back(cell);
    if (fields.size() < static_cast<std::size_t>(4 + col)) continue;
    const bool isAliased = fields[1] == "1";
    const double b = std::strtod(fields[static_cast<std::size_t>(3 + col)].c_str(), nullptr);
    const double s =
        isAliased ? std::nan("") : std::sqrt(std::strtod(fields[2].c_str(), nullptr) * scale);
    const double stat = s > 0 ? b / s : std::nan("");
    rows.columns.names.push_back(fields[0]);
    rows.columns.estimate.push_back(b);
    rows.columns.stdErr.push_back(s);
    rows.columns.statistic.push_back(stat);
    rows.columns.pValue.push_back(twoSided(stat, dfE));
    rows.aliased.push_back(isAliased);
  }
  return rows;
}

}  // namespace glm_summary
