/*
 * VTLinearRegression.h: LinearRegression scoring model of the standalone scoring library.
 * Model: a mode-2001 list "metaData", "coefficients" (double vector: intercept first, then one
 * coefficient per design column, Telvar_designWidth: with one term per column, one per
 * converted input column) and optionally "link" (a string vector of one link name, default
 * identity). Statuses and ownership as in VTObjects.h.
 */
#ifndef VTCSRC_VTLINEARREGRESSION_H
#define VTCSRC_VTLINEARREGRESSION_H

#include "VTObjects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Copies metaData and the nCoefficients coefficients into the empty record model; 2 when
 * nCoefficients is below 1. */
int TelvarLinearRegressionModel_create(TelvarObject* model, const TelvarObject* metaData,
                                       int nCoefficients, const double* coefficients);
/* As _create, with a third element "link" naming the link (Telvar_linkCode; 2 for another). */
int TelvarLinearRegressionModel_createWithLink(TelvarObject* model, const TelvarObject* metaData,
                                               int nCoefficients, const double* coefficients,
                                               const char* link);
int TelvarLinearRegressionModel_isValid(const TelvarObject* model);
int TelvarLinearRegressionModel_print(const TelvarObject* model);
/* scores receives a data set with one double column "PREDICT.fit": the fitted value, the
 * inverse link of eta = intercept + sum of coefficient x design value (NaN where an input is).
 * 2 for an invalid input or model, or when the coefficients are not one more than the design
 * columns (Telvar_designWidth); 0 when the input cannot be converted. */
int TelvarLinearRegressionModel_predict(TelvarObject* scores, const TelvarObject* input,
                                        const TelvarObject* inputMetaData,
                                        const TelvarObject* model);
int TelvarLinearRegressionModel_destroy(TelvarObject* model);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTLINEARREGRESSION_H */
