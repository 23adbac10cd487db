/*
 * VTCoxRegression.c: relative risk and its standard error from a Cox model.
 */
#include "VTCoxRegression.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTCoxRegression"

static const char* const kNames[] = {"metaData", "coefficients", "centers", "survival", "choleski"};

int TelvarCoxRegressionModel_create(TelvarObject* model, const TelvarObject* metaData,
                                    int nCoefficients, int nBaseline, const double* coefficients,
                                    const double* centers, const double* survival,
                                    const double* choleski) {
  if (model == NULL || nCoefficients < 1 || nBaseline < 1 || coefficients == NULL ||
      centers == NULL || survival == NULL || choleski == NULL ||
      !TelvarMetaData_isValid(metaData)) {
    return TELVAR_INVALID;
  }
  TelvarObject parts[4];
  memset(parts, 0, sizeof(parts));
  int status = TelvarVector_create(&parts[0], nCoefficients, TELVAR_DOUBLE, coefficients);
  if (status == TELVAR_OK) {
    status = TelvarVector_create(&parts[1], nCoefficients, TELVAR_DOUBLE, centers);
  }
  if (status == TELVAR_OK) {
    status = TelvarDoubleMatrix_create(&parts[2], 5, nBaseline, survival, NULL, NULL);
  }
  if (status == TELVAR_OK) {
    status =
        TelvarDoubleMatrix_create(&parts[3], nCoefficients, nCoefficients, choleski, NULL, NULL);
  }
  if (status == TELVAR_OK) {
    const TelvarObject* elements[] = {metaData, &parts[0], &parts[1], &parts[2], &parts[3]};
    status = Telvar_createModelList(model, "CoxRegressionModel", 5, elements, kNames);
  }
  for (int i = 0; i < 4; ++i)
    TelvarObject_destroy(&parts[i]);
  return status;
}

int TelvarCoxRegressionModel_isValid(const TelvarObject* model) {
  if (!Telvar_isModelShape(model, 5, kNames, 0)) return 0;
  const TelvarObject* coef = Telvar_element(model, 1);
  const TelvarObject* center = Telvar_element(model, 2);
  const TelvarObject* survival = Telvar_element(model, 3);
  const TelvarObject* chol = Telvar_element(model, 4);
  int survRows = 0, cholRows = 0, cholCols = 0;
  if (survival->mode != TELVAR_DOUBLE_MATRIX || !TelvarDoubleMatrix_isValid(survival) ||
      chol->mode != TELVAR_DOUBLE_MATRIX || !TelvarDoubleMatrix_isValid(chol)) {
    return 0;
  }
  TelvarDoubleMatrix_getNRows(&survRows, survival);
  TelvarDoubleMatrix_getNRows(&cholRows, chol);
  TelvarDoubleMatrix_getNColumns(&cholCols, chol);
  return TelvarVector_isDouble(coef) && coef->length >= 1 && TelvarVector_isDouble(center) &&
         center->length == coef->length && survRows == 5 && cholRows == coef->length &&
         cholCols == coef->length;
}

int TelvarCoxRegressionModel_print(const TelvarObject* model) {
  if (!TelvarCoxRegressionModel_isValid(model)) return Telvar_invalidModel(VT_FILE, __LINE__);
  printf("Meta Data:\n");
  TelvarMetaData_print(Telvar_element(model, 0));
  printf("Coefficients:\n");
  TelvarVector_print(Telvar_element(model, 1));
  printf("Centers:\n");
  TelvarVector_print(Telvar_element(model, 2));
  printf("Survival:\n");
  TelvarDoubleMatrix_print(Telvar_element(model, 3));
  printf("Choleski:\n");
  TelvarDoubleMatrix_print(Telvar_element(model, 4));
  return TELVAR_OK;
}

int TelvarCoxRegressionModel_predict(TelvarObject* scores, const TelvarObject* input,
                                     const TelvarObject* inputMetaData, const TelvarObject* model) {
  if (scores == NULL || !TelvarDataSet_isValid(input) || !TelvarCoxRegressionModel_isValid(model)) {
    return TELVAR_INVALID;
  }
  const TelvarObject* coefVector = Telvar_element(model, 1);
  const double* beta = (const double*)coefVector->data;
  const double* center = (const double*)Telvar_element(model, 2)->data;
  double* chol = NULL;
  TelvarDoubleMatrix_getValues(&chol, Telvar_element(model, 4));
  int p = coefVector->length;

  TelvarObject converted, result;
  memset(&converted, 0, sizeof(converted));
  memset(&result, 0, sizeof(result));
  const double** x = NULL;
  int nrow = 0, ncol = 0;
  int status = Telvar_convertForModel(&converted, &x, &nrow, &ncol, model, input, inputMetaData);
  if (status == TELVAR_OK && ncol != p) status = TELVAR_INVALID;
  double* centred = NULL;
  if (status == TELVAR_OK) {
    centred = malloc((size_t)p * sizeof(double));
    if (centred == NULL) status = TELVAR_NOMEM;
  }
  static const char* const names[] = {"PREDICT.risk", "PREDICT.risk.se"};
  if (status == TELVAR_OK) status = Telvar_createScores(&result, nrow, 2, NULL, names);
  if (status == TELVAR_OK) {
    TelvarObject* riskColumn = NULL;
    TelvarObject* seColumn = NULL;
    TelvarDataSet_getColumn(&riskColumn, &result, 0);
    TelvarDataSet_getColumn(&seColumn, &result, 1);
    double* risk = (double*)riskColumn->data;
    double* se = (double*)seColumn->data;
    for (int row = 0; row < nrow; ++row) {
      double eta = 0.0;
      for (int i = 0; i < p; ++i) {
        centred[i] = x[i][row] - center[i];
        eta += centred[i] * beta[i];
      }
      /* q = |L' x|^2: column j of L dotted with the centred row, squared and summed. */
      double q = 0.0;
      for (int j = 0; j < p; ++j) {
        double dot = 0.0;
        for (int i = 0; i < p; ++i)
          dot += chol[(size_t)j * p + i] * centred[i];
        q += dot * dot;
      }
      risk[row] = exp(eta);
      se[row] = sqrt(risk[row] * q);
    }
    *scores = result;
  } else {
    TelvarObject_destroy(&result);
  }
  free(centred);
  free((void*)x);
  TelvarObject_destroy(&converted);
  return status;
}

int TelvarCoxRegressionModel_destroy(TelvarObject* model) {
  return TelvarObject_destroy(model);
}
