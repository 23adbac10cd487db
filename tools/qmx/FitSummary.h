// The printed summary of a fitted regression model read back from its document: the
// coefficient table (estimate, standard error, t or z statistic, two-sided p-value) as R's
// summary.lm / summary.glm print it, the analysis-of-deviance rows, R-squared, the rows used
// and left out, and the iterations of an iterative fit. As CSV: the coefficient table only,
// header "term,estimate,std.error,statistic,p.value".
#pragma once

#include <cstdint>
#include <string>

// `document` is the fitted model document; `csv` chooses the CSV form; `dataRows` is the
// number of data rows (rows left out = data rows - rows used; the document does not carry
// the count). Throws CommandError when the document cannot be read.
std::string fitSummary(const std::string& document, bool csv, std::int64_t dataRows);
