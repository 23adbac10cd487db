/*
 * VTNeuralNetwork.c: forward pass of a scaled feed-forward network with logistic neurons.
 */
#include "VTNeuralNetwork.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTNeuralNetwork"
#define VT_FIXED 4 /* metaData, classification, numericColumns, dependentRange */

int TelvarNeuralNetworkModel_create(TelvarObject* model, const TelvarObject* metaData,
                                    int classification, int nColumns, const int32_t* numericColumns,
                                    const double* dependentRange, int nInputs,
                                    const double* inputScaling, int nHidden, const int* layerSizes,
                                    const double* const* hiddenWeights, int nOutputs,
                                    const char* const* outputLevels, const double* outputWeights) {
  if (model == NULL || nColumns < 1 || nInputs < 1 || nOutputs < 1 || nHidden < 0 ||
      numericColumns == NULL || dependentRange == NULL || inputScaling == NULL ||
      outputWeights == NULL || (nHidden > 0 && (layerSizes == NULL || hiddenWeights == NULL)) ||
      (classification && outputLevels == NULL) || !TelvarMetaData_isValid(metaData)) {
    return TELVAR_INVALID;
  }
  for (int h = 0; h < nHidden; ++h) {
    if (layerSizes[h] < 1 || hiddenWeights[h] == NULL) return TELVAR_INVALID;
  }
  int n = VT_FIXED + 1 + nHidden + 2;
  TelvarObject* parts = calloc((size_t)n, sizeof(TelvarObject));
  const TelvarObject** elements = calloc((size_t)n, sizeof(TelvarObject*));
  const char** names = calloc((size_t)n, sizeof(char*));
  int status = (parts && elements && names) ? TELVAR_OK : TELVAR_NOMEM;
  int32_t flag = classification ? 1 : 0;
  if (status == TELVAR_OK) status = TelvarVector_create(&parts[1], 1, TELVAR_LONG, &flag);
  if (status == TELVAR_OK) {
    status = TelvarVector_create(&parts[2], nColumns, TELVAR_LONG, numericColumns);
  }
  if (status == TELVAR_OK) {
    status = TelvarDoubleMatrix_create(&parts[3], 2, 2, dependentRange, NULL, NULL);
  }
  if (status == TELVAR_OK) {
    status = TelvarDoubleMatrix_create(&parts[4], 4, nInputs, inputScaling, NULL, NULL);
  }
  int below = nInputs;
  for (int h = 0; h < nHidden && status == TELVAR_OK; ++h) {
    status = TelvarDoubleMatrix_create(&parts[5 + h], 1 + below, layerSizes[h], hiddenWeights[h],
                                       NULL, NULL);
    below = layerSizes[h];
  }
  if (status == TELVAR_OK) {
    status = TelvarVector_create(&parts[n - 2], classification ? nOutputs : 0, TELVAR_STRING,
                                 classification ? outputLevels : NULL);
  }
  if (status == TELVAR_OK) {
    status =
        TelvarDoubleMatrix_create(&parts[n - 1], 1 + below, nOutputs, outputWeights, NULL, NULL);
  }
  if (status == TELVAR_OK) {
    static const char* const fixed[] = {"metaData", "classification", "numericColumns",
                                        "dependentRange", "dmInputWeights"};
    elements[0] = metaData;
    for (int i = 0; i < n; ++i) {
      if (i > 0) elements[i] = &parts[i];
      names[i] = i <= VT_FIXED ? fixed[i] : "dmHiddenWeights";
    }
    names[n - 2] = "dmDependentLevels";
    names[n - 1] = "dmOutputWeights";
    status = Telvar_createModelList(model, "NeuralNetworkModel", n, elements, names);
  }
  for (int i = 0; parts != NULL && i < n; ++i)
    TelvarObject_destroy(&parts[i]);
  free(parts);
  free((void*)elements);
  free((void*)names);
  return status;
}

static int matrixShape(const TelvarObject* m, int* nrow, int* ncol) {
  if (m == NULL || m->mode != TELVAR_DOUBLE_MATRIX || !TelvarDoubleMatrix_isValid(m)) return 0;
  TelvarDoubleMatrix_getNRows(nrow, m);
  TelvarDoubleMatrix_getNColumns(ncol, m);
  return 1;
}

static int hasName(const TelvarObject* model, int index, const char* name) {
  TelvarObject names;
  memset(&names, 0, sizeof(names));
  char buffer[TELVAR_STRING_SLOT];
  int ok = TelvarList_getNames(&names, model) == TELVAR_OK &&
           TelvarVector_getStringAt(buffer, (int)sizeof(buffer), &names, index) == TELVAR_OK &&
           strcmp(buffer, name) == 0;
  TelvarObject_destroy(&names);
  return ok;
}

int TelvarNeuralNetworkModel_isValid(const TelvarObject* model) {
  static const char* const fixed[] = {"metaData", "classification", "numericColumns",
                                      "dependentRange", "dmInputWeights"};
  if (!Telvar_isModelShape(model, 5, fixed, 1) || model->length < 7) return 0;
  int n = model->length;
  const TelvarObject* flag = Telvar_element(model, 1);
  const TelvarObject* numeric = Telvar_element(model, 2);
  const TelvarObject* info = Telvar_element(Telvar_element(model, 0), 0);
  int r = 0, c = 0;
  if (!TelvarVector_isLong(flag) || flag->length != 1 || !TelvarVector_isLong(numeric) ||
      numeric->length != info->length || !matrixShape(Telvar_element(model, 3), &r, &c) || r != 2 ||
      c != 2 || !matrixShape(Telvar_element(model, 4), &r, &c) || r != 4) {
    return 0;
  }
  int below = c;
  for (int i = 5; i < n - 2; ++i) {
    if (!hasName(model, i, "dmHiddenWeights") || !matrixShape(Telvar_element(model, i), &r, &c) ||
        r != 1 + below) {
      return 0;
    }
    below = c;
  }
  const TelvarObject* levels = Telvar_element(model, n - 2);
  if (!hasName(model, n - 2, "dmDependentLevels") || !hasName(model, n - 1, "dmOutputWeights") ||
      !TelvarVector_isString(levels) || !matrixShape(Telvar_element(model, n - 1), &r, &c) ||
      r != 1 + below) {
    return 0;
  }
  int classification = ((const int32_t*)flag->data)[0];
  return classification ? levels->length == c : levels->length == 0;
}

int TelvarNeuralNetworkModel_print(const TelvarObject* model) {
  if (!TelvarNeuralNetworkModel_isValid(model)) return Telvar_invalidModel(VT_FILE, __LINE__);
  int n = model->length;
  printf("Meta Data:\n");
  TelvarMetaData_print(Telvar_element(model, 0));
  printf("Is Classification Model:\n");
  TelvarVector_print(Telvar_element(model, 1));
  printf("Input Variables & Output Variable Range (output used for Regression ONLY):\n");
  TelvarVector_print(Telvar_element(model, 2));
  TelvarDoubleMatrix_print(Telvar_element(model, 3));
  printf("Dependent Levels:\n");
  TelvarVector_print(Telvar_element(model, n - 2));
  printf("Input Weights:\n");
  TelvarDoubleMatrix_print(Telvar_element(model, 4));
  for (int i = 5; i < n - 2; ++i) {
    printf("Hidden Weights:\n");
    TelvarDoubleMatrix_print(Telvar_element(model, i));
  }
  printf("Output Weights:\n");
  TelvarDoubleMatrix_print(Telvar_element(model, n - 1));
  return TELVAR_OK;
}

/* One layer: out[j] = logistic(w[0, j] + sum_i w[1 + i, j] in[i]). */
static void forwardLayer(double* out, const TelvarObject* weights, const double* in) {
  double* w = NULL;
  int nrow = 0, ncol = 0;
  TelvarDoubleMatrix_getValues(&w, weights);
  TelvarDoubleMatrix_getNRows(&nrow, weights);
  TelvarDoubleMatrix_getNColumns(&ncol, weights);
  for (int j = 0; j < ncol; ++j) {
    const double* column = w + (size_t)j * nrow;
    double net = column[0];
    for (int i = 0; i + 1 < nrow; ++i)
      net += column[1 + i] * in[i];
    out[j] = 1.0 / (1.0 + exp(-net));
  }
}

/* Number of input neurons of metadata column c (see the header). */
static int neuronsOf(const TelvarObject* info, const int32_t* numeric, int c) {
  if (numeric[c]) return 1;
  const TelvarObject* splits = Telvar_element(Telvar_element(info, c), 1);
  int most = -1;
  for (int lv = 0; lv < splits->length; ++lv) {
    int32_t s = ((const int32_t*)splits->data)[lv];
    if (s > most) most = s;
  }
  return most + 1;
}

/* Fills in[] with the scaled input neurons of one row. */
static void inputRow(double* in, const double* const* x, int row, int ncol,
                     const TelvarObject* info, const int32_t* numeric, const double* scaling) {
  int k = 0;
  for (int c = 0; c < ncol; ++c) {
    if (numeric[c]) {
      in[k++] = x[c][row];
      continue;
    }
    const TelvarObject* splits = Telvar_element(Telvar_element(info, c), 1);
    int width = neuronsOf(info, numeric, c);
    for (int i = 0; i < width; ++i)
      in[k + i] = 0.0;
    double code = x[c][row];
    if (code >= 0 && code < splits->length) {
      int32_t s = ((const int32_t*)splits->data)[(int)code];
      if (s >= 0) in[k + s] = 1.0;
    }
    k += width;
  }
  for (int i = 0; i < k; ++i) {
    const double* sc = scaling + 4 * (size_t)i;
    if (sc[0] < sc[1]) in[i] = sc[2] + (in[i] - sc[0]) * (sc[3] - sc[2]) / (sc[1] - sc[0]);
  }
}

int TelvarNeuralNetworkModel_predict(TelvarObject* scores, const TelvarObject* input,
                                     const TelvarObject* inputMetaData, const TelvarObject* model) {
  if (scores == NULL || !TelvarDataSet_isValid(input) || !TelvarNeuralNetworkModel_isValid(model)) {
    return TELVAR_INVALID;
  }
  int n = model->length;
  int classification = ((const int32_t*)Telvar_element(model, 1)->data)[0];
  const int32_t* numeric = (const int32_t*)Telvar_element(model, 2)->data;
  const TelvarObject* info = Telvar_element(Telvar_element(model, 0), 0);
  double* range = NULL;
  double* scaling = NULL;
  int nInputs = 0, nOutputs = 0, widest = 0;
  TelvarDoubleMatrix_getValues(&range, Telvar_element(model, 3));
  TelvarDoubleMatrix_getValues(&scaling, Telvar_element(model, 4));
  TelvarDoubleMatrix_getNColumns(&nInputs, Telvar_element(model, 4));
  TelvarDoubleMatrix_getNColumns(&nOutputs, Telvar_element(model, n - 1));
  widest = nInputs > nOutputs ? nInputs : nOutputs;
  for (int i = 5; i < n - 2; ++i) {
    int c = 0;
    TelvarDoubleMatrix_getNColumns(&c, Telvar_element(model, i));
    if (c > widest) widest = c;
  }
  const TelvarObject* levels = Telvar_element(model, n - 2);
  int nOut = classification ? nOutputs : 1;

  TelvarObject converted, result;
  memset(&converted, 0, sizeof(converted));
  memset(&result, 0, sizeof(result));
  const double** x = NULL;
  int nrow = 0, ncol = 0;
  int status = Telvar_convertForModel(&converted, &x, &nrow, &ncol, model, input, inputMetaData);
  if (status == TELVAR_OK) {
    int total = 0;
    for (int c = 0; c < ncol; ++c)
      total += neuronsOf(info, numeric, c);
    if (total != nInputs) status = TELVAR_INVALID;
  }
  double* bufA = NULL;
  double* bufB = NULL;
  char(*names)[TELVAR_STRING_SLOT + 8] = NULL;
  const char** namePtrs = NULL;
  if (status == TELVAR_OK) {
    bufA = calloc((size_t)widest, sizeof(double));
    bufB = calloc((size_t)widest, sizeof(double));
    names = calloc((size_t)nOut, sizeof(*names));
    namePtrs = calloc((size_t)nOut, sizeof(char*));
    if (!bufA || !bufB || !names || !namePtrs) status = TELVAR_NOMEM;
  }
  if (status == TELVAR_OK) {
    for (int k = 0; k < nOut; ++k) {
      if (classification) {
        snprintf(names[k], sizeof(names[k]), "Pr(%s)", ((char**)levels->data)[k]);
      } else {
        snprintf(names[k], sizeof(names[k]), "PREDICT.fit");
      }
      namePtrs[k] = names[k];
    }
    status = Telvar_createScores(&result, nrow, nOut, NULL, namePtrs);
  }
  for (int row = 0; row < nrow && status == TELVAR_OK; ++row) {
    inputRow(bufA, x, row, ncol, info, numeric, scaling);
    double* in = bufA;
    double* out = bufB;
    for (int i = 5; i < n; ++i) {
      if (i == n - 2) continue; /* the dependent levels */
      forwardLayer(out, Telvar_element(model, i), in);
      double* swap = in;
      in = out;
      out = swap;
    }
    for (int k = 0; k < nOut; ++k) {
      TelvarObject* column = NULL;
      TelvarDataSet_getColumn(&column, &result, k);
      double value = in[k];
      if (!classification) {
        /* dependentRange: (DataMin, DataMax) then (NeuronMin, NeuronMax). */
        double span = range[3] - range[2];
        value = span != 0.0 ? range[0] + (value - range[2]) * (range[1] - range[0]) / span : value;
      }
      ((double*)column->data)[row] = value;
    }
  }
  if (status == TELVAR_OK) {
    *scores = result;
  } else {
    TelvarObject_destroy(&result);
  }
  free(bufA);
  free(bufB);
  free(names);
  free((void*)namePtrs);
  free((void*)x);
  TelvarObject_destroy(&converted);
  return status;
}

int TelvarNeuralNetworkModel_destroy(TelvarObject* model) {
  return TelvarObject_destroy(model);
}
