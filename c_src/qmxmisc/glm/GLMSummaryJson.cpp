// The JSON summary of a regression fit, in the names of R's lm and glm objects:
//   coefficients    [{term, estimate, std_error, statistic, p_value, aliased}]
//   df_residual, deviance, df_null, null_deviance
//   r_squared, adj_r_squared           (lm)
//   aic, dispersion, iterations, converged (glm: the fit's model extras)
//   n_used, n_dropped                  (rows used; rows left out for missing values or a
//                                       zero weight)
// Only the first response of a multi-response fit is shown. NaN is null; an aliased
// coefficient has a null estimate, as R's coef() gives NA.
#include <cmath>
#include <string>
#include <vector>

#include "qmxmisc/glm/GLMSummaryInternal.h"
#include "qmxmisc/model/JsonText.h"

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::string object(const Fields& fields, const char* indent) {
  std::string out = "{";
  for (std::size_t i = 0; i < fields.size(); ++i)
    out += std::string(i == 0 ? "\n" : ",\n") + indent + "  " + jsonString(fields[i].first) + ": " +
           fields[i].second;
  return out + "\n" + indent + "}";
}

std::string coefficients(const GLMFit& fit, const SummaryInput& input) {
  const glm_summary::CoefficientRows rows =
      glm_summary::coefficientRows(fit, 0, glm_summary::usesZ(fit), input);
  const CoefTableColumns& columns = rows.columns;
  std::string out = "[";
  for (std::size_t row = 0; row < columns.names.size(); ++row) {
    const bool aliased = rows.aliased[row];
    const Fields fields = {{"term", jsonString(columns.names[row])},
                           {"estimate", jsonNumber(aliased ? std::nan("") : columns.estimate[row])},
                           {"std_error", jsonNumber(columns.stdErr[row])},
                           {"statistic", jsonNumber(columns.statistic[row])},
                           {"p_value", jsonNumber(columns.pValue[row])},
                           {"aliased", aliased ? "true" : "false"}};
    out += std::string(row == 0 ? "\n    " : ",\n    ") + object(fields, "    ");
  }
  return out + (columns.names.empty() ? "]" : "\n  ]");
}

}  // namespace

std::string glm_summary::jsonSummary(const GLMFit& fit, const SummaryInput& input) {
  Fields fields = {{"coefficients", coefficients(fit, input)}};
  const TMatrix<double>& dev = fit.deviance();
  const TMatrix<long>& df = fit.df();
  const long error = rowOf(dev, "Error");
  long null = rowOf(dev, "Null");
  if (null < 0) null = rowOf(dev, "Total");
  if (error >= 0) {
    fields.emplace_back("df_residual", std::to_string(df(error, 0)));
    fields.emplace_back("deviance", jsonNumber(dev(error, 0)));
  }
  if (null >= 0) {
    fields.emplace_back("df_null", std::to_string(df(null, 0)));
    fields.emplace_back("null_deviance", jsonNumber(dev(null, 0)));
  }
  if (iterative(fit)) {
    // The figures the fit stored as model extras, under R's names.
    if (!extra(fit, "AIC").empty()) fields.emplace_back("aic", jsonNumber(extraNumber(fit, "AIC")));
    if (!extra(fit, "Dispersion").empty())
      fields.emplace_back("dispersion",
                          jsonNumber(usesZ(fit) ? 1.0 : extraNumber(fit, "Dispersion")));
    if (const std::string iterations = extra(fit, "Iterations"); !iterations.empty())
      fields.emplace_back("iterations", iterations);
    if (const std::string flag = extra(fit, "Converged"); !flag.empty())
      fields.emplace_back("converged", flag);
  } else if (const LmFigures lm = lmFigures(fit, 0); lm.valid) {
    fields.emplace_back("r_squared", jsonNumber(lm.hasR2 ? lm.rSquared : std::nan("")));
    fields.emplace_back("adj_r_squared", jsonNumber(lm.hasR2 ? lm.adjRSquared : std::nan("")));
  }
  const std::int64_t used = rowsUsed(fit);
  if (used >= 0) {
    fields.emplace_back("n_used", std::to_string(used));
    fields.emplace_back("n_dropped", std::to_string(input.dataRows - used + input.zeroWeightRows));
  }
  return object(fields, "") + "\n";
}
