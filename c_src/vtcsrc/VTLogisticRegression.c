/*
 * VTLogisticRegression.c: LogisticRegression scoring from a coefficient vector.
 */
#include "VTLogisticRegression.h"

#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTLogisticRegression"

int TelvarLogisticRegressionModel_create(TelvarObject* model, const TelvarObject* metaData,
                                         int nCoefficients, const double* coefficients) {
  return Telvar_createRegressionModel(model, "LogisticRegressionModel", metaData, nCoefficients,
                                      coefficients, NULL);
}

int TelvarLogisticRegressionModel_createWithLink(TelvarObject* model, const TelvarObject* metaData,
                                                 int nCoefficients, const double* coefficients,
                                                 const char* link) {
  return Telvar_createRegressionModel(model, "LogisticRegressionModel", metaData, nCoefficients,
                                      coefficients, link);
}

int TelvarLogisticRegressionModel_isValid(const TelvarObject* model) {
  return Telvar_isRegressionModel(model);
}

int TelvarLogisticRegressionModel_print(const TelvarObject* model) {
  if (!TelvarLogisticRegressionModel_isValid(model)) return Telvar_invalidModel(VT_FILE, __LINE__);
  printf("Meta Data:\n");
  TelvarMetaData_print(Telvar_element(model, 0));
  printf("Coefficients:\n");
  TelvarVector_print(Telvar_element(model, 1));
  if (model->length > 2) {
    printf("Link:\n");
    TelvarVector_print(Telvar_element(model, 2));
  }
  return TELVAR_OK;
}

int TelvarLogisticRegressionModel_predict(TelvarObject* scores, const TelvarObject* input,
                                          const TelvarObject* inputMetaData,
                                          const TelvarObject* model) {
  if (scores == NULL || !TelvarDataSet_isValid(input) ||
      !TelvarLogisticRegressionModel_isValid(model)) {
    return TELVAR_INVALID;
  }
  static const char* const names[] = {"PREDICT.prob.0", "PREDICT.prob.1"};
  return Telvar_regressionScores(scores, model, input, inputMetaData, 2, 2, names);
}

int TelvarLogisticRegressionModel_destroy(TelvarObject* model) {
  return TelvarObject_destroy(model);
}
