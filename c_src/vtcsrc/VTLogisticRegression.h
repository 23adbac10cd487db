/*
 * VTLogisticRegression.h: LogisticRegression scoring model of the standalone scoring library.
 * Model: a mode-2001 list "metaData", "coefficients" (double vector: intercept first, then one
 * coefficient per design column, Telvar_designWidth: with one term per column, one per
 * converted input column) and optionally "link" (a string vector of one link name, default
 * logit). Statuses and ownership as in VTObjects.h.
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
/* As _create, with a third element "link" naming the link (Telvar_linkCode; 2 for another). */
int TelvarLogisticRegressionModel_createWithLink(TelvarObject* model, const TelvarObject* metaData,
                                                 int nCoefficients, const double* coefficients,
                                                 const char* link);
int TelvarLogisticRegressionModel_isValid(const TelvarObject* model);
int TelvarLogisticRegressionModel_print(const TelvarObject* model);
/* scores receives a data set with two double columns: "PREDICT.prob.0", the probability mu
 * (the inverse link of the linear predictor eta; under logit e^eta / (1 + e^eta) with the
 * exponent clamped, so exactly 1 for a large eta), and "PREDICT.prob.1", 1 - mu (NaN where an
 * input is). 2 for an invalid input or model, or when the coefficients are not one more than
 * the design columns (Telvar_designWidth); 0 when the input cannot be converted. */
int TelvarLogisticRegressionModel_predict(TelvarObject* scores, const TelvarObject* input,
                                          const TelvarObject* inputMetaData,
                                          const TelvarObject* model);
int TelvarLogisticRegressionModel_destroy(TelvarObject* model);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTLOGISTICREGRESSION_H */
