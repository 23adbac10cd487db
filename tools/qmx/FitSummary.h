// The printed summary of a fitted regression model read back from its document, laid out as
// R's summary.lm / summary.glm print it: for a binomial factor response the level modelled,
// the coefficient table (estimate, standard error, t or z value, Pr(>|t|) or Pr(>|z|),
// significance stars and legend; an aliased coefficient as NA), then for lm the residual standard
// error, R-squared, adjusted R-squared and the F-statistic, for glm the dispersion line (unscaled
// standard errors for the families whose dispersion R would estimate), the null and residual
// deviance and the iterations; last the rows used and left out. As CSV: the coefficient
// table only, header "term,estimate,std.error,statistic,p.value".
#pragma once

#include <cstdint>
#include <string>

// `document` is the fitted model document; `csv` chooses the CSV form; `dataRows` is the
// number of data rows given to the proc (rows left out for missing values = data rows -
// rows used; the document does not carry the count); `zeroWeightRows` the rows left out
// before, for a zero weight. Throws CommandError when the document cannot be read.
std::string fitSummary(const std::string& document, bool csv, std::int64_t dataRows,
                       std::int64_t zeroWeightRows = 0);
