/*
 * VTPrincipalComponents.c: component scores of centred and scaled inputs.
 */
#include "VTPrincipalComponents.h"

#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTPrincipalComponents"

static const char* const kNames[] = {"metaData", "dvCenter", "dvScale", "dmLoading"};

int TelvarPrincipalComponentsModel_create(TelvarObject* model, const TelvarObject* metaData,
                                          int nColumns, int nComponents, const double* centers,
                                          const double* scales, const double* loadings) {
  if (model == NULL || nColumns < 1 || nComponents < 1 || centers == NULL || scales == NULL ||
      loadings == NULL || !TelvarMetaData_isValid(metaData)) {
    return TELVAR_INVALID;
  }
  TelvarObject center, scale, loading;
  memset(&center, 0, sizeof(center));
  memset(&scale, 0, sizeof(scale));
  memset(&loading, 0, sizeof(loading));
  int status = TelvarVector_create(&center, nColumns, TELVAR_DOUBLE, centers);
  if (status == TELVAR_OK) status = TelvarVector_create(&scale, nColumns, TELVAR_DOUBLE, scales);
  if (status == TELVAR_OK) {
    status = TelvarDoubleMatrix_create(&loading, nColumns, nComponents, loadings, NULL, NULL);
  }
  if (status == TELVAR_OK) {
    const TelvarObject* elements[] = {metaData, &center, &scale, &loading};
    status = Telvar_createModelList(model, "PrincipalComponentsModel", 4, elements, kNames);
  }
  TelvarObject_destroy(&center);
  TelvarObject_destroy(&scale);
  TelvarObject_destroy(&loading);
  return status;
}

int TelvarPrincipalComponentsModel_isValid(const TelvarObject* model) {
  if (!Telvar_isModelShape(model, 4, kNames, 0)) return 0;
  const TelvarObject* center = Telvar_element(model, 1);
  const TelvarObject* scale = Telvar_element(model, 2);
  const TelvarObject* loading = Telvar_element(model, 3);
  int nrow = 0;
  if (loading->mode != TELVAR_DOUBLE_MATRIX || !TelvarDoubleMatrix_isValid(loading)) return 0;
  TelvarDoubleMatrix_getNRows(&nrow, loading);
  return TelvarVector_isDouble(center) && center->length == nrow && TelvarVector_isDouble(scale) &&
         scale->length == nrow;
}

int TelvarPrincipalComponentsModel_print(const TelvarObject* model) {
  if (!TelvarPrincipalComponentsModel_isValid(model)) {
    return Telvar_invalidModel(VT_FILE, __LINE__);
  }
  printf("Meta Data:\n");
  TelvarMetaData_print(Telvar_element(model, 0));
  printf("Column Centers:\n");
  TelvarVector_print(Telvar_element(model, 1));
  printf("Column Scaling Factor:\n");
  TelvarVector_print(Telvar_element(model, 2));
  printf("Component Loading Factor:\n");
  TelvarDoubleMatrix_print(Telvar_element(model, 3));
  return TELVAR_OK;
}

int TelvarPrincipalComponentsModel_predict(TelvarObject* scores, const TelvarObject* input,
                                           const TelvarObject* inputMetaData,
                                           const TelvarObject* model) {
  if (scores == NULL || !TelvarDataSet_isValid(input) ||
      !TelvarPrincipalComponentsModel_isValid(model)) {
    return TELVAR_INVALID;
  }
  const double* center = (const double*)Telvar_element(model, 1)->data;
  const double* scale = (const double*)Telvar_element(model, 2)->data;
  const TelvarObject* loadingMatrix = Telvar_element(model, 3);
  double* loading = NULL;
  int nLoadRows = 0, nComponents = 0;
  TelvarDoubleMatrix_getValues(&loading, loadingMatrix);
  TelvarDoubleMatrix_getNRows(&nLoadRows, loadingMatrix);
  TelvarDoubleMatrix_getNColumns(&nComponents, loadingMatrix);

  TelvarObject converted;
  memset(&converted, 0, sizeof(converted));
  const double** x = NULL;
  int nrow = 0, ncol = 0;
  int status = Telvar_convertForModel(&converted, &x, &nrow, &ncol, model, input, inputMetaData);
  if (status == TELVAR_OK && ncol != nLoadRows) status = TELVAR_INVALID;
  char(*names)[32] = NULL;
  const char** namePtrs = NULL;
  if (status == TELVAR_OK) {
    names = calloc((size_t)nComponents, sizeof(*names));
    namePtrs = calloc((size_t)nComponents, sizeof(char*));
    if (names == NULL || namePtrs == NULL) status = TELVAR_NOMEM;
  }
  TelvarObject result;
  memset(&result, 0, sizeof(result));
  if (status == TELVAR_OK) {
    for (int j = 0; j < nComponents; ++j) {
      snprintf(names[j], sizeof(names[j]), "Component%d", j);
      namePtrs[j] = names[j];
    }
    status = Telvar_createScores(&result, nrow, nComponents, NULL, namePtrs);
  }
  if (status == TELVAR_OK) {
    for (int j = 0; j < nComponents; ++j) {
      TelvarObject* column = NULL;
      TelvarDataSet_getColumn(&column, &result, j);
      double* out = (double*)column->data;
      for (int row = 0; row < nrow; ++row) {
        double score = 0.0;
        for (int i = 0; i < ncol; ++i) {
          double divisor = scale[i] == 0.0 ? 1.0 : scale[i];
          score += loading[(size_t)j * nLoadRows + i] * (x[i][row] - center[i]) / divisor;
        }
        out[row] = score;
      }
    }
    *scores = result;
  } else {
    TelvarObject_destroy(&result);
  }
  free(names);
  free(namePtrs);
  free((void*)x);
  TelvarObject_destroy(&converted);
  return status;
}

int TelvarPrincipalComponentsModel_destroy(TelvarObject* model) {
  return TelvarObject_destroy(model);
}
