/*
 * VTLogisticRegression.c: LogisticRegression scoring from a coefficient vector.
 */
#include "VTLogisticRegression.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTLogisticRegression"

static const char* const kNames[] = {"metaData", "coefficients"};

int TelvarLogisticRegressionModel_create(TelvarObject* model, const TelvarObject* metaData,
                                         int nCoefficients, const double* coefficients) {
  if (model == NULL || nCoefficients < 1 || coefficients == NULL ||
      !TelvarMetaData_isValid(metaData)) {
    return TELVAR_INVALID;
  }
  TelvarObject coef;
  memset(&coef, 0, sizeof(coef));
  int status = TelvarVector_create(&coef, nCoefficients, TELVAR_DOUBLE, coefficients);
  if (status == TELVAR_OK) {
    const TelvarObject* elements[] = {metaData, &coef};
    status = Telvar_createModelList(model, "LogisticRegressionModel", 2, elements, kNames);
  }
  TelvarObject_destroy(&coef);
  return status;
}

int TelvarLogisticRegressionModel_isValid(const TelvarObject* model) {
  if (!Telvar_isModelShape(model, 2, kNames, 0)) return 0;
  const TelvarObject* coef = Telvar_element(model, 1);
  return TelvarVector_isDouble(coef) && coef->length >= 1;
}

int TelvarLogisticRegressionModel_print(const TelvarObject* model) {
  if (!TelvarLogisticRegressionModel_isValid(model)) return Telvar_invalidModel(VT_FILE, __LINE__);
  printf("Meta Data:\n");
  TelvarMetaData_print(Telvar_element(model, 0));
  printf("Coefficients:\n");
  TelvarVector_print(Telvar_element(model, 1));
  return TELVAR_OK;
}

int TelvarLogisticRegressionModel_predict(TelvarObject* scores, const TelvarObject* input,
                                          const TelvarObject* inputMetaData,
                                          const TelvarObject* model) {
  if (scores == NULL || !TelvarDataSet_isValid(input) ||
      !TelvarLogisticRegressionModel_isValid(model)) {
    return TELVAR_INVALID;
  }
  double* eta = NULL;
  int nrow = 0;
  int status = Telvar_linearPredictor(&eta, &nrow, model, input, inputMetaData);
  TelvarObject result;
  memset(&result, 0, sizeof(result));
  static const char* const names[] = {"PREDICT.prob"};
  if (status == TELVAR_OK) status = Telvar_createScores(&result, nrow, 1, NULL, names);
  if (status == TELVAR_OK) {
    TelvarObject* column = NULL;
    TelvarDataSet_getColumn(&column, &result, 0);
    double* out = (double*)column->data;
    for (int row = 0; row < nrow; ++row) {
      /* Inverse logit; an overflowing e^eta means a probability of exactly 1. */
      double odds = exp(eta[row]);
      out[row] = isinf(odds) ? 1.0 : odds / (1.0 + odds);
    }
    *scores = result;
  } else {
    TelvarObject_destroy(&result);
  }
  free(eta);
  return status;
}

int TelvarLogisticRegressionModel_destroy(TelvarObject* model) {
  return TelvarObject_destroy(model);
}
