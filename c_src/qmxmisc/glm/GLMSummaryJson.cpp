// The JSON summary of a regression fit, in the names of R's lm and glm objects:
//   coefficients    [{term, estimate, std_error, statistic, p_value, aliased}]
//   df_residual, deviance, df_null, null_deviance
//   dispersion (lm: sigma squared), r_squared, adj_r_squared, f_statistic {value, numdf,
//   dendf}, aic, loglik, anova [{term, df, sum_sq, mean_sq, f_value, p_value}] (lm, anova
//   with --anova)
//   aic, dispersion, iterations, converged, loglik (glm: the fit's model extras), anova
//   [{term, df, deviance, df_residual, residual_deviance, statistic (F only), p_value}]
//   contrasts {factor: {coding, reference}}; conf_low, conf_high per coefficient (--confint)
//   n_used, n_dropped                  (rows used; rows left out for missing values or a
//                                       zero weight)
// Only the first response of a multi-response fit is shown. NaN is null; an aliased
// coefficient has a null estimate, as R's coef() gives NA.
#include <cmath>
#include <cstdlib>
#include <sstream>
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
  glm_summary::CoefficientRows rows =
      glm_summary::coefficientRows(fit, 0, glm_summary::usesZ(fit), input);
  if (!glm_summary::property(input, "summary.confint").empty()) glm_summary::addConfint(rows);
  const CoefTableColumns& columns = rows.columns;
  std::string out = "[";
  for (std::size_t row = 0; row < columns.names.size(); ++row) {
    const bool aliased = rows.aliased[row];
    Fields fields = {{"term", jsonString(columns.names[row])},
                     {"estimate", jsonNumber(aliased ? std::nan("") : columns.estimate[row])},
                     {"std_error", jsonNumber(columns.stdErr[row])},
                     {"statistic", jsonNumber(columns.statistic[row])},
                     {"p_value", jsonNumber(columns.pValue[row])},
                     {"aliased", aliased ? "true" : "false"}};
    if (!rows.lower.empty()) {
      fields.emplace_back("conf_low", jsonNumber(rows.lower[row]));
      fields.emplace_back("conf_high", jsonNumber(rows.upper[row]));
    }
    out += std::string(row == 0 ? "\n    " : ",\n    ") + object(fields, "    ");
  }
  return out + (columns.names.empty() ? "]" : "\n  ]");
}

// R's anova() rows of a linear fit; the Residuals row has null F and p.
std::string anova(const GLMFit& fit) {
  std::string out = "[";
  const std::vector<glm_summary::AnovaRow> rows = glm_summary::lmAnova(fit, 0);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const Fields fields = {
        {"term", jsonString(rows[r].name)},    {"df", std::to_string(rows[r].df)},
        {"sum_sq", jsonNumber(rows[r].sumSq)}, {"mean_sq", jsonNumber(rows[r].meanSq)},
        {"f_value", jsonNumber(rows[r].f)},    {"p_value", jsonNumber(rows[r].p)}};
    out += std::string(r == 0 ? "\n    " : ",\n    ") + object(fields, "    ");
  }
  return out + (rows.empty() ? "]" : "\n  ]");
}

// R's anova() rows of a glm: the NULL row has null df and deviance; statistic (F) only for
// the families whose dispersion is estimated.
std::string devianceAnova(const GLMFit& fit, const SummaryInput& input) {
  std::string out = "[";
  const std::vector<glm_summary::GlmAnovaRow> rows = glm_summary::glmAnova(fit, input);
  const bool fTest = rows.size() > 1 && !std::isnan(rows[1].statistic);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const glm_summary::GlmAnovaRow& row = rows[r];
    Fields fields = {{"term", jsonString(row.term)},
                     {"df", std::isnan(row.df) ? "null" : std::to_string(std::lround(row.df))},
                     {"deviance", jsonNumber(row.deviance)},
                     {"df_residual", std::to_string(std::lround(row.residualDf))},
                     {"residual_deviance", jsonNumber(row.residualDeviance)}};
    if (fTest) fields.emplace_back("statistic", jsonNumber(row.statistic));
    fields.emplace_back("p_value", jsonNumber(row.p));
    out += std::string(r == 0 ? "\n    " : ",\n    ") + object(fields, "    ");
  }
  return out + (rows.empty() ? "]" : "\n  ]");
}

// The factors of the model: {"name": {"coding": "contr.treatment", "reference": "level"}}.
std::string contrasts(const std::string& lines) {
  Fields factors;
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);) {
    const std::size_t tab = line.find('\t'), second = line.find('\t', tab + 1);
    if (second == std::string::npos) continue;
    Fields fields = {{"coding", jsonString(line.substr(tab + 1, second - tab - 1))}};
    if (second + 1 < line.size())
      fields.emplace_back("reference", jsonString(line.substr(second + 1)));
    factors.emplace_back(line.substr(0, tab), object(fields, "    "));
  }
  return object(factors, "  ");
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
    fields.emplace_back("df_null", std::to_string(nullDf(fit, df(null, 0))));
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
    if (const std::string warning = extra(fit, "Warning"); !warning.empty())
      fields.emplace_back("warning", jsonString(warning));
    if (const std::string loglik = property(input, "summary.loglik"); !loglik.empty())
      fields.emplace_back("loglik", jsonNumber(std::strtod(loglik.c_str(), nullptr)));
    if (!property(input, "summary.anova").empty())
      fields.emplace_back("anova", devianceAnova(fit, input));
  } else if (const LmFigures lm = lmFigures(fit, 0); lm.valid) {
    fields.emplace_back("dispersion", jsonNumber(lm.sigma * lm.sigma));
    fields.emplace_back("r_squared", jsonNumber(lm.hasR2 ? lm.rSquared : std::nan("")));
    fields.emplace_back("adj_r_squared", jsonNumber(lm.hasR2 ? lm.adjRSquared : std::nan("")));
    if (lm.hasR2)
      fields.emplace_back("f_statistic", object({{"value", jsonNumber(lm.f)},
                                                 {"numdf", std::to_string(lm.dfRegression)},
                                                 {"dendf", std::to_string(lm.dfError)}},
                                                "  "));
    for (const char* name : {"aic", "loglik"})
      if (const std::string value = property(input, (std::string("summary.") + name).c_str());
          !value.empty())
        fields.emplace_back(name, jsonNumber(std::strtod(value.c_str(), nullptr)));
    if (!property(input, "summary.anova").empty()) fields.emplace_back("anova", anova(fit));
  }
  const std::int64_t used = rowsUsed(fit);
  if (used >= 0) {
    fields.emplace_back("n_used", std::to_string(used));
    fields.emplace_back("n_dropped", std::to_string(input.dataRows - used + input.zeroWeightRows));
  }
  if (const std::string factors = property(input, "summary.factors"); !factors.empty())
    fields.emplace_back("contrasts", contrasts(factors));
  return object(fields, "") + "\n";
}
