// RPrintFormat: R's printing rules shared by the model kinds' summaries, so that a summary
// prints its coefficient table as R's summary.lm / summary.glm do (printCoefmat, digits = 4):
//   formatReal   R's format(x, digits): the fewest decimals that show every value with at
//                most `digits` significant digits, in fixed notation unless scientific
//                notation is narrower; all texts padded to one width.
//   formatPval   R's format.pval(p, digits): fixed-notation values (p >= 1e-4) and the smaller
//                ones formatted as two groups; values below the double epsilon as "<2e-16".
//   coefTable    the printCoefmat table: estimate and standard error rounded and formatted
//                together, statistics rounded to 3 decimals, p-values, significance stars.
#pragma once

#include <string>
#include <vector>

// NaN values format as "NA" (an aliased coefficient, as R prints it).
std::vector<std::string> formatReal(const std::vector<double>& values, int digits);

std::vector<std::string> formatPval(const std::vector<double>& values, int digits);

// R's round(x, decimals).
double roundDecimals(double value, int decimals);

struct CoefTableColumns {
  std::vector<std::string> names;
  std::vector<double> estimate, stdErr, statistic, pValue;
  std::string statisticName;  // "t" or "z"
};

// The table lines with the significance legend when a p-value is below 0.1.
std::string coefTable(const CoefTableColumns& columns);
