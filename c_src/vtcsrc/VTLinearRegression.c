/*
 * VTLinearRegression.c: LinearRegression scoring from a coefficient vector.
 */
#include "VTLinearRegression.h"

#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTLinearRegression"

int TelvarLinearRegressionModel_create(TelvarObject* model, const TelvarObject* metaData,
                                       int nCoefficients, const double* coefficients) {
  return Telvar_createRegressionModel(model, "LinearRegressionModel", metaData, nCoefficients,
                                      coefficients, NULL);
}

int TelvarLinearRegressionModel_createWithLink(TelvarObject* model, const TelvarObject* metaData,
                                               int nCoefficients, const double* coefficients,
                                               const char* link) {
  return Telvar_createRegressionModel(model, "LinearRegressionModel", metaData, nCoefficients,
                                      coefficients, link);
}

int TelvarLinearRegressionModel_isValid(const TelvarObject* model) {
  return Telvar_isRegressionModel(model);
}

int TelvarLinearRegressionModel_print(const TelvarObject* model) {
  if (!TelvarLinearRegressionModel_isValid(model)) return Telvar_invalidModel(VT_FILE, __LINE__);
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

int TelvarLinearRegressionModel_predict(TelvarObject* scores, const TelvarObject* input,
                                        const TelvarObject* inputMetaData,
                                        const TelvarObject* model) {
  if (scores == NULL || !TelvarDataSet_isValid(input) ||
      !TelvarLinearRegressionModel_isValid(model)) {
    return TELVAR_INVALID;
  }
  static const char* const names[] = {"PREDICT.fit"};
  return Telvar_regressionScores(scores, model, input, inputMetaData, 0, 1, names);
}

int TelvarLinearRegressionModel_destroy(TelvarObject* model) {
  return TelvarObject_destroy(model);
}
