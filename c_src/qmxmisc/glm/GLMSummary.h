// The summary printer of the regression kinds (lm and glm), from the fitted document:
//   text: laid out as R's summary.lm / summary.glm print it: for a binomial factor response the
//     level modelled, the coefficient table (estimate, standard error, t or z value, Pr(>|t|)
//     or Pr(>|z|), significance stars and legend; an aliased coefficient as NA), then for lm
//     the residual standard error, R-squared, adjusted R-squared and the F-statistic, for glm
//     the dispersion line (1, or the estimate the document holds), the null and residual
//     deviance, AIC, the iterations and, for a fit that did not converge, a warning line; last
//     the rows used and left out.
//   csv: the coefficient table only, header "term,estimate,std.error,statistic,p.value".
//   json: R's names for the same figures (GLMSummaryJson.cpp).
// Rows left out for missing values = input.dataRows - rows used (the document does not carry
// the count). Throws QMXException "cannot read the fitted model: ..." for a bad document.
#pragma once

#include <string>

#include "qmxmisc/model/ModelKind.h"

std::string glmSummary(const std::string& document, SummaryFormat format,
                       const SummaryInput& input);
