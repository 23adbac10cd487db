/*
 * VTCoxRegression.h: Cox proportional-hazards scoring model of the standalone scoring library.
 * Model: a mode-2001 list "metaData"; "coefficients" (double vector, p); "centers" (double
 * vector, p: the means the fit centred the covariates with); "survival" (double matrix of 5
 * rows and one column per baseline failure time: time, number of failures, number at risk,
 * cumulative hazard H, var(H) - the fit's baseline table transposed); "choleski" (p x p double
 * matrix L, lower triangular, with L L' the covariance matrix V of the coefficients).
 * Scores, for a row x of converted values: risk = exp((x - centers) . beta);
 * riskSE = sqrt(risk * q) with q = (x - centers)' V (x - centers) = |L'(x - centers)|^2.
 * Statuses and ownership as in VTObjects.h.
 */
#ifndef VTCSRC_VTCOXREGRESSION_H
#define VTCSRC_VTCOXREGRESSION_H

#include "VTObjects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* survival: 5 x nBaseline column-major; choleski: nCoefficients x nCoefficients column-major.
 * 2 when a count is below 1. */
int TelvarCoxRegressionModel_create(TelvarObject* model, const TelvarObject* metaData,
                                    int nCoefficients, int nBaseline, const double* coefficients,
                                    const double* centers, const double* survival,
                                    const double* choleski);
int TelvarCoxRegressionModel_isValid(const TelvarObject* model);
int TelvarCoxRegressionModel_print(const TelvarObject* model);
/* scores: double columns "PREDICT.risk" and "PREDICT.risk.se". 2 for an invalid input or model
 * or a converted column count other than p; 0 when the input cannot be converted. */
int TelvarCoxRegressionModel_predict(TelvarObject* scores, const TelvarObject* input,
                                     const TelvarObject* inputMetaData, const TelvarObject* model);
int TelvarCoxRegressionModel_destroy(TelvarObject* model);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTCOXREGRESSION_H */
