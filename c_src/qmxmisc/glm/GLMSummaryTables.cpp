// The parts of a regression summary besides the coefficient table and the Call line: Wald
// confidence intervals (R's confint.default) and the sequential analysis
// of variance of a linear fit (R's anova.lm), each as R prints it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "qmxmisc/base/DisplayWidth.h"
#include "qmxmisc/glm/GLMSummaryInternal.h"
#include "qmxmisc/numeric/Cdf.h"

namespace {

std::string padLeft(const std::string& text, std::size_t width) {
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// print.default of a character matrix: row names left-aligned, columns right-aligned under
// their headers, one space apart.
std::string printMatrix(const std::vector<std::string>& rowNames,
                        const std::vector<std::string>& headers,
                        const std::vector<std::vector<std::string>>& columns) {
  std::size_t nameWidth = 0;
  for (const std::string& name : rowNames)
    nameWidth = std::max(nameWidth, displayWidth(name));
  std::vector<std::size_t> widths;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    std::size_t width = headers[c].size();
    for (const std::string& cell : columns[c])
      width = std::max(width, cell.size());
    widths.push_back(width);
  }
  std::string out(nameWidth, ' ');
  for (std::size_t c = 0; c < columns.size(); ++c)
    out += " " + padLeft(headers[c], widths[c]);
  out += "\n";
  for (std::size_t r = 0; r < rowNames.size(); ++r) {
    out += rowNames[r] + std::string(nameWidth - displayWidth(rowNames[r]), ' ');
    for (std::size_t c = 0; c < columns.size(); ++c)
      out += " " + padLeft(columns[c][r], widths[c]);
    out += "\n";
  }
  return out;
}

// R's zapsmall(x, digits): round(x, digits - log10(max |x|)), R's round taking the nearest
// whole number of decimals.
std::vector<double> zapsmall(std::vector<double> values, int digits) {
  double largest = 0;
  for (const double x : values)
    if (!std::isnan(x)) largest = std::max(largest, std::fabs(x));
  const double places = largest > 0 ? std::max(0.0, digits - std::log10(largest)) : digits;
  const int decimals = static_cast<int>(std::floor(places + 0.5));
  for (double& x : values)
    if (!std::isnan(x)) x = roundDecimals(x, decimals);
  return values;
}

const char* stars(double p) {
  return std::isnan(p) ? ""
         : p < 0.001   ? "***"
         : p < 0.01    ? "**"
         : p < 0.05    ? "*"
         : p < 0.1     ? "."
                       : " ";
}

// R's print of a named numeric vector: names over values, each right-justified in one common
// width and followed by `gap` spaces, as many per line as fit in 80 characters.
std::string printNamedVector(const std::vector<std::string>& names,
                             const std::vector<double>& values, int digits, int gap) {
  const std::vector<std::string> texts = formatReal(values, digits);
  std::size_t width = 0;
  for (std::size_t k = 0; k < names.size(); ++k)
    width = std::max({width, names[k].size(), texts[k].size()});
  const std::size_t perLine =
      std::max<std::size_t>(1, 80 / (width + static_cast<std::size_t>(gap)));
  const std::string spaces(static_cast<std::size_t>(gap), ' ');
  std::string out;
  for (std::size_t first = 0; first < names.size(); first += perLine) {
    const std::size_t last = std::min(names.size(), first + perLine);
    for (std::size_t k = first; k < last; ++k)
      out += padLeft(names[k], width) + spaces;
    out += "\n";
    for (std::size_t k = first; k < last; ++k)
      out += padLeft(texts[k], width) + spaces;
    out += "\n";
  }
  return out;
}

// print.anova's table: the columns, the p-value column (empty where p is NaN) and, when any
// p < 0.1, the significance stars and their legend.
std::string anovaTable(const std::vector<std::string>& names, std::vector<std::string> headers,
                       std::vector<std::vector<std::string>> columns,
                       const std::vector<double>& p) {
  std::vector<double> shown;
  for (const double x : p)
    if (!std::isnan(x)) shown.push_back(x);
  const std::vector<std::string> pTexts = formatPval(shown, 4);
  std::vector<std::string> pColumn, starColumn;
  bool anyStar = false;
  for (std::size_t r = 0, at = 0; r < names.size(); ++r) {
    pColumn.push_back(std::isnan(p[r]) ? "" : pTexts[at++]);
    starColumn.push_back(stars(p[r]));
    anyStar = anyStar || (!std::isnan(p[r]) && p[r] < 0.1);
  }
  columns.push_back(pColumn);
  if (anyStar) {
    std::size_t width = 0;
    for (const std::string& s : starColumn)
      width = std::max(width, s.size());
    for (std::string& s : starColumn)
      s += std::string(width - s.size(), ' ');  // format(): left-justified texts
    headers.emplace_back("");
    columns.push_back(starColumn);
  }
  std::string out = printMatrix(names, headers, columns);
  if (anyStar) out += "---\nSignif. codes:  0 '***' 0.001 '**' 0.01 '*' 0.05 '.' 0.1 ' ' 1\n";
  return out;
}

// print.anova's na.print = "": NaN values print as empty cells.
std::vector<std::string> blankNaN(std::vector<std::string> texts, const std::vector<double>& x) {
  for (std::size_t r = 0; r < texts.size(); ++r)
    if (std::isnan(x[r])) texts[r].clear();
  return texts;
}

// The families of a known dispersion, tested by chi-squared (the others by F).
bool chisqTest(const GLMFit& fit) {
  return fit.distType() == GLMFamily::Distribution::Binomial ||
         fit.distType() == GLMFamily::Distribution::Poisson;
}

// The upper tail of a chi-squared distribution (NaN when undefined).
double upperChisq(double x, double df) {
  if (!(x >= 0) || !(df > 0)) return std::nan("");
  int which = 1, status = 0;
  double p = 0, q = 0, bound = 0;
  cdfchi(&which, &p, &q, &x, &df, &status, &bound);
  return status == 0 ? q : std::nan("");
}

}  // namespace

namespace glm_summary {

std::string residualBlock(const GLMFit& fit, const SummaryInput& input) {
  const std::string text = property(input, "summary.residual.quantiles");
  if (text.empty()) return "";
  bool weighted = false;
  std::vector<double> quantiles, values;
  double count = 0;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream cells(line);
    std::string key, cell;
    std::getline(cells, key, '\t');
    std::vector<double> numbers;
    while (std::getline(cells, cell, '\t'))
      numbers.push_back(std::strtod(cell.c_str(), nullptr));
    if (key == "weighted") weighted = !numbers.empty() && numbers[0] != 0;
    if (key == "quantiles" && numbers.size() == 6) {
      count = numbers[0];
      quantiles.assign(numbers.begin() + 1, numbers.end());
    }
    if (key == "values") values = numbers;
  }
  if (quantiles.empty()) return "";
  const bool glm = iterative(fit);
  const long rdf = fit.dfE();
  std::vector<std::string> names = {"Min", "1Q", "Median", "3Q", "Max"};
  std::vector<double> shown = quantiles;
  if (rdf <= 5) {
    if (values.empty()) return "";
    names.clear();
    for (std::size_t k = 0; k < values.size(); ++k)
      names.push_back(std::to_string(k + 1));
    shown = values;
  }
  if (glm)
    return "Deviance Residuals: \n" + printNamedVector(names, zapsmall(shown, 5), 4, 2) + "\n";
  std::string out = weighted ? "Weighted Residuals:\n" : "Residuals:\n";
  if (rdf <= 0)
    return out + "ALL " + std::to_string(static_cast<long>(count)) +
           " residuals are 0: no residual degrees of freedom!\n\n";
  return out + printNamedVector(names, rdf > 5 ? zapsmall(shown, 5) : shown, 4, 1) + "\n";
}

void addConfint(CoefficientRows& rows) {
  int which = 2, status = 0;
  double p = 0.975, q = 0.025, z = 0, mean = 0, sd = 1, bound = 0;
  cdfnor(&which, &p, &q, &z, &mean, &sd, &status, &bound);
  rows.lower.clear();
  rows.upper.clear();
  for (std::size_t k = 0; k < rows.columns.names.size(); ++k) {
    const double b = rows.aliased[k] ? std::nan("") : rows.columns.estimate[k];
    rows.lower.push_back(b - z * rows.columns.stdErr[k]);
    rows.upper.push_back(b + z * rows.columns.stdErr[k]);
  }
}

std::string confintText(const CoefficientRows& rows) {
  return printMatrix(rows.columns.names, {"2.5 %", "97.5 %"},
                     {formatReal(rows.lower, 7), formatReal(rows.upper, 7)});
}

std::vector<AnovaRow> lmAnova(const GLMFit& fit, long col) {
  std::vector<AnovaRow> rows;
  const LmFigures lm = lmFigures(fit, col);
  const TMatrix<double>& dev = fit.deviance();
  const TMatrix<long>& df = fit.df();
  if (!lm.valid) return rows;
  const double residualMs =
      lm.dfError > 0 ? lm.rss / static_cast<double>(lm.dfError) : std::nan("");
  for (long t = 0; t < fit.nTerms(); ++t) {
    const long row = rowOf(dev, fit.term(t).c_str());
    if (row < 0 || df(row, 0) <= 0) continue;
    AnovaRow a{fit.term(t).str(), df(row, 0), dev(row, col), 0, 0, 0};
    a.meanSq = a.sumSq / static_cast<double>(a.df);
    a.f = a.meanSq / residualMs;
    a.p = upperF(a.f, static_cast<double>(a.df), static_cast<double>(lm.dfError));
    rows.push_back(a);
  }
  rows.push_back({"Residuals", lm.dfError, lm.rss, residualMs, std::nan(""), std::nan("")});
  return rows;
}

std::string anovaText(const GLMFit& fit, long col, const std::string& response) {
  const std::vector<AnovaRow> rows = lmAnova(fit, col);
  if (rows.empty()) return "";
  std::vector<std::string> names;
  std::vector<double> df, ss, ms, f, p;
  for (const AnovaRow& row : rows) {
    names.push_back(row.name);
    df.push_back(static_cast<double>(row.df));
    ss.push_back(row.sumSq);
    ms.push_back(row.meanSq);
    f.push_back(std::isnan(row.f) ? row.f : roundDecimals(row.f, 4));
    p.push_back(row.p);
  }
  std::vector<std::vector<std::string>> columns = {
      formatReal(df, 5), formatReal(zapsmall(ss, 5), 5), formatReal(zapsmall(ms, 5), 5),
      formatReal(f, 5)};
  columns[3] = blankNaN(columns[3], f);
  return "Analysis of Variance Table\n\nResponse: " + response + "\n" +
         anovaTable(names, {"Df", "Sum Sq", "Mean Sq", "F value", "Pr(>F)"}, columns, p);
}

std::vector<GlmAnovaRow> glmAnova(const GLMFit& fit, const SummaryInput& input) {
  std::vector<GlmAnovaRow> rows;
  std::istringstream lines(property(input, "summary.anova.table"));
  std::string line;
  const double nan = std::nan("");
  while (std::getline(lines, line)) {
    const std::size_t tab = line.find('\t');
    const std::size_t tab2 = line.find('\t', tab + 1);
    if (tab == std::string::npos || tab2 == std::string::npos) continue;
    GlmAnovaRow row{line.substr(0, tab),
                    nan,
                    nan,
                    std::strtod(line.c_str() + tab + 1, nullptr),
                    std::strtod(line.c_str() + tab2 + 1, nullptr),
                    nan,
                    nan};
    if (!rows.empty()) {
      row.df = rows.back().residualDf - row.residualDf;
      row.deviance = rows.back().residualDeviance - row.residualDeviance;
    }
    rows.push_back(row);
  }
  if (rows.empty()) return rows;
  // R >= 4.4's default test: chi-squared for a known dispersion, else F on the dispersion.
  const bool chisq = chisqTest(fit);
  const double dispersion = chisq ? 1.0 : extraNumber(fit, "Dispersion");
  const double dfDispersion = rows.back().residualDf;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    GlmAnovaRow& row = rows[r];
    if (chisq) {
      row.p = upperChisq(row.deviance / dispersion, row.df);
      continue;
    }
    row.statistic = row.deviance / row.df / dispersion;
    row.p = upperF(row.statistic, row.df, dfDispersion);
  }
  return rows;
}

std::string glmAnovaText(const GLMFit& fit, const SummaryInput& input) {
  const std::vector<GlmAnovaRow> rows = glmAnova(fit, input);
  if (rows.empty()) return "";
  const bool chisq = chisqTest(fit);
  std::vector<std::string> names;
  std::vector<double> df, dev, residDf, residDev, f, p;
  for (const GlmAnovaRow& row : rows) {
    names.push_back(row.term);
    df.push_back(row.df);
    dev.push_back(row.deviance);
    residDf.push_back(row.residualDf);
    residDev.push_back(row.residualDeviance);
    f.push_back(std::isnan(row.statistic) ? row.statistic : roundDecimals(row.statistic, 4));
    p.push_back(row.p);
  }
  std::vector<std::vector<std::string>> columns = {
      blankNaN(formatReal(df, 5), df), blankNaN(formatReal(zapsmall(dev, 5), 5), dev),
      formatReal(residDf, 5), formatReal(zapsmall(residDev, 5), 5)};
  std::vector<std::string> headers = {"Df", "Deviance", "Resid. Df", "Resid. Dev"};
  if (!chisq) {
    columns.push_back(blankNaN(formatReal(f, 5), f));
    headers.emplace_back("F");
  }
  headers.emplace_back(chisq ? "Pr(>Chi)" : "Pr(>F)");
  std::string response = deparseFormula(property(input, "call.formula"));
  response = response.substr(0, response.find(" ~"));
  return std::string("Analysis of Deviance Table\n\nModel: ") + rFamilyName(fit) +
         ", link: " + rLinkName(fit.linkType()) + "\n\nResponse: " + response +
         "\n\nTerms added sequentially (first to last)\n\n\n" +
         anovaTable(names, headers, columns, p);
}

}  // namespace glm_summary
