/*
 * VTNaiveBayes.c: class probabilities of a naive Bayes model.
 */
#include "VTNaiveBayes.h"

#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTNaiveBayes"

static const char* const kNames[] = {"metaData",     "numDepLevels", "numIndepLevels",
                                     "initialProbs", "probMatrix",   "dmDependentLevels"};

int TelvarNaiveBayesModel_create(TelvarObject* model, const TelvarObject* metaData,
                                 int nIndependent, int nDependentLevels, const int32_t* levelCounts,
                                 const char* const* dependentLevels, const double* priors,
                                 const double* probTable) {
  if (model == NULL || nIndependent < 1 || nDependentLevels < 1 || levelCounts == NULL ||
      dependentLevels == NULL || priors == NULL || probTable == NULL ||
      !TelvarMetaData_isValid(metaData)) {
    return TELVAR_INVALID;
  }
  int maxLevels = 0;
  for (int j = 0; j < nIndependent; ++j) {
    if (levelCounts[j] < 1) return TELVAR_INVALID;
    if (levelCounts[j] > maxLevels) maxLevels = levelCounts[j];
  }
  if ((long long)maxLevels * nDependentLevels > INT32_MAX) return TELVAR_INVALID;
  TelvarObject parts[5];
  memset(parts, 0, sizeof(parts));
  int32_t k = nDependentLevels;
  int status = TelvarVector_create(&parts[0], 1, TELVAR_LONG, &k);
  if (status == TELVAR_OK) {
    status = TelvarVector_create(&parts[1], nIndependent, TELVAR_LONG, levelCounts);
  }
  if (status == TELVAR_OK) status = TelvarVector_create(&parts[2], k, TELVAR_DOUBLE, priors);
  if (status == TELVAR_OK) {
    status =
        TelvarDoubleMatrix_create(&parts[3], maxLevels * k, nIndependent, probTable, NULL, NULL);
  }
  if (status == TELVAR_OK) {
    status = TelvarVector_create(&parts[4], k, TELVAR_STRING, dependentLevels);
  }
  if (status == TELVAR_OK) {
    const TelvarObject* elements[] = {metaData,  &parts[0], &parts[1],
                                      &parts[2], &parts[3], &parts[4]};
    status = Telvar_createModelList(model, "NaiveBayesModel", 6, elements, kNames);
  }
  for (int i = 0; i < 5; ++i)
    TelvarObject_destroy(&parts[i]);
  return status;
}

int TelvarNaiveBayesModel_isValid(const TelvarObject* model) {
  if (!Telvar_isModelShape(model, 6, kNames, 0)) return 0;
  const TelvarObject* kVector = Telvar_element(model, 1);
  const TelvarObject* counts = Telvar_element(model, 2);
  const TelvarObject* priors = Telvar_element(model, 3);
  const TelvarObject* table = Telvar_element(model, 4);
  const TelvarObject* levels = Telvar_element(model, 5);
  if (!TelvarVector_isLong(kVector) || kVector->length != 1 || !TelvarVector_isLong(counts) ||
      counts->length < 1 || table->mode != TELVAR_DOUBLE_MATRIX ||
      !TelvarDoubleMatrix_isValid(table)) {
    return 0;
  }
  int k = ((const int32_t*)kVector->data)[0];
  int maxLevels = 0;
  for (int j = 0; j < counts->length; ++j) {
    int c = ((const int32_t*)counts->data)[j];
    if (c < 1) return 0;
    if (c > maxLevels) maxLevels = c;
  }
  int nrow = 0, ncol = 0;
  TelvarDoubleMatrix_getNRows(&nrow, table);
  TelvarDoubleMatrix_getNColumns(&ncol, table);
  return k >= 1 && TelvarVector_isDouble(priors) && priors->length == k &&
         TelvarVector_isString(levels) && levels->length == k &&
         (long long)nrow == (long long)maxLevels * k && ncol == counts->length;
}

int TelvarNaiveBayesModel_print(const TelvarObject* model) {
  if (!TelvarNaiveBayesModel_isValid(model)) return Telvar_invalidModel(VT_FILE, __LINE__);
  printf("Meta Data:\n");
  TelvarMetaData_print(Telvar_element(model, 0));
  printf("Num Dependent Levels:\n");
  TelvarVector_print(Telvar_element(model, 1));
  printf("Dependent Levels:\n");
  TelvarVector_print(Telvar_element(model, 5));
  printf("Num Independent Levels:\n");
  TelvarVector_print(Telvar_element(model, 2));
  printf("Initial Probabilities:\n");
  TelvarVector_print(Telvar_element(model, 3));
  printf("Probability Matrix:\n");
  TelvarDoubleMatrix_print(Telvar_element(model, 4));
  return TELVAR_OK;
}

int TelvarNaiveBayesModel_predict(TelvarObject* scores, const TelvarObject* input,
                                  const TelvarObject* inputMetaData, const TelvarObject* model) {
  if (scores == NULL || !TelvarDataSet_isValid(input) || !TelvarNaiveBayesModel_isValid(model)) {
    return TELVAR_INVALID;
  }
  int k = ((const int32_t*)Telvar_element(model, 1)->data)[0];
  const TelvarObject* countVector = Telvar_element(model, 2);
  const int32_t* counts = (const int32_t*)countVector->data;
  const double* priors = (const double*)Telvar_element(model, 3)->data;
  const TelvarObject* levels = Telvar_element(model, 5);
  double* table = NULL;
  int tableRows = 0;
  TelvarDoubleMatrix_getValues(&table, Telvar_element(model, 4));
  TelvarDoubleMatrix_getNRows(&tableRows, Telvar_element(model, 4));

  TelvarObject converted, result;
  memset(&converted, 0, sizeof(converted));
  memset(&result, 0, sizeof(result));
  const double** x = NULL;
  int nrow = 0, ncol = 0;
  int status = Telvar_convertForModel(&converted, &x, &nrow, &ncol, model, input, inputMetaData);
  if (status == TELVAR_OK && ncol != countVector->length) status = TELVAR_INVALID;
  char(*names)[TELVAR_STRING_SLOT + 8] = NULL;
  const char** namePtrs = NULL;
  double** out = NULL;
  if (status == TELVAR_OK) {
    names = calloc((size_t)k, sizeof(*names));
    namePtrs = calloc((size_t)k, sizeof(char*));
    out = calloc((size_t)k, sizeof(double*));
    if (names == NULL || namePtrs == NULL || out == NULL) status = TELVAR_NOMEM;
  }
  if (status == TELVAR_OK) {
    for (int c = 0; c < k; ++c) {
      snprintf(names[c], sizeof(names[c]), "Pr(%s)", ((char**)levels->data)[c]);
      namePtrs[c] = names[c];
    }
    status = Telvar_createScores(&result, nrow, k, NULL, namePtrs);
  }
  for (int c = 0; c < k && status == TELVAR_OK; ++c) {
    TelvarObject* column = NULL;
    TelvarDataSet_getColumn(&column, &result, c);
    out[c] = (double*)column->data;
  }
  for (int row = 0; row < nrow && status == TELVAR_OK; ++row) {
    double sum = 0.0;
    for (int c = 0; c < k; ++c) {
      double p = priors[c];
      for (int j = 0; j < ncol; ++j) {
        double code = x[j][row];
        if (!(code >= 0 && code < counts[j]) || code != (double)(int)code) {
          status = TELVAR_INVALID;
          break;
        }
        p *= table[(size_t)j * tableRows + (size_t)((int)code * k + c)];
      }
      out[c][row] = p;
      sum += p;
    }
    for (int c = 0; c < k; ++c)
      out[c][row] /= sum;
  }
  if (status == TELVAR_OK) {
    *scores = result;
  } else {
    TelvarObject_destroy(&result);
  }
  free(names);
  free((void*)namePtrs);
  free(out);
  free((void*)x);
  TelvarObject_destroy(&converted);
  return status;
}

int TelvarNaiveBayesModel_destroy(TelvarObject* model) {
  return TelvarObject_destroy(model);
}
