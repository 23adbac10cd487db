/*
 * VTLogisticRegression.h: LogisticRegression scoring model of the standalone scoring library.
 * Model: a mode-2001 list "metaData", "coefficients" (double vector: intercept first, then one
 * coefficient per design column, Telvar_designWidth: with one term per column, one per
 * converted input column). Statuses and ownership as in VTObjects.h.
 */
#ifndef VTCSRC_VTLOGISTICREGRESSION_H
#define VTCSRC_VTLOGISTICREGRESSION_H

#include "VTObjects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Copies metaData and the nCoefficients coefficients into the empty record model; 2 when
 * nCoefficients is below 1. */
int TelvarLogisticRegressionModel_create(TelvarObject* model, const TelvarObject* metaData,
                                         int nCoefficients, const double* coefficients);
int TelvarLogisticRegressionModel_isValid(const TelvarObject* model);
int TelvarLogisticRegressionModel_print(const TelvarObject* model);
/* scores receives a data set with one double column "PREDICT.prob": the probability e^eta / (1 +
 * e^eta) of the linear predictor eta, exactly 1 when e^eta overflows. 2 for an invalid input or
 * model, or when the coefficients are not one more than the design columns (Telvar_designWidth); 0
 * when the input cannot be converted. */
int TelvarLogisticRegressionModel_predict(TelvarObject* scores, const TelvarObject* input,
                                          const TelvarObject* inputMetaData,
                                          const TelvarObject* model);
int TelvarLogisticRegressionModel_destroy(TelvarObject* model);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTLOGISTICREGRESSION_H */
