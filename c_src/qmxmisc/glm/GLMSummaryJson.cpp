// The JSON summary of a regression fit, in the names of R's lm and glm objects:
//   coefficients    [{term, estimate, std_error, statistic, p_value, aliased}]
//   df_residual, deviance, df_null, null_deviance
//   r_squared, adj_r_squared           (lm)
//   iterations, converged              (glm)
//   n_used, n_dropped                  (rows used; rows left out for missing values or a
//                                       zero weight)
// Only the first response of a multi-response fit is shown. NaN is null; an aliased
// coefficient has a null estimate, as R's coef() gives NA.
#include <cmath>
#include <cstdlib>
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

std::string coefficients(const GLMFit& fit) {
  const CoefTableColumns columns = glm_summary::coefColumns(fit, 0, glm_summary::usesZ(fit));
  std::string out = "[";
  for (std::size_t row = 0; row < columns.names.size(); ++row) {
    const bool aliased = std::isnan(columns.stdErr[row]);
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

// The proc's convergence rule: the largest relative step or the relative deviance change
// below epsilon.
std::string converged(const SummaryInput& input) {
  const auto value = [&input](const char* name) {
    const auto found = input.properties.find(name);
    return found == input.properties.end() ? std::nan("")
                                           : std::strtod(found->second.c_str(), nullptr);
  };
  const double epsilon = value("epsilon");
  if (std::isnan(epsilon)) return "";
  return value("max.step") < epsilon || value("del.deviance") < epsilon ? "true" : "false";
}

}  // namespace

std::string glm_summary::jsonSummary(const GLMFit& fit, const SummaryInput& input) {
  Fields fields = {{"coefficients", coefficients(fit)}};
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
    const strVector& extras = fit.getModelExtras();
    for (std::size_t i = 0; i + 1 < extras.size(); i += 2)
      if (extras[i].str() == "Iterations") fields.emplace_back("iterations", extras[i + 1].str());
    if (const std::string flag = converged(input); !flag.empty())
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
