/*
 * VTTree.c: walks each tree of the description matrices and averages the leaf outputs.
 */
#include "VTTree.h"

#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTTree"
#define VT_FIXED 5

static const char* const kNames[] = {"metaData", "classification", "outputLevels", "maxComparisons",
                                     "dmDependentLevels"};

static int longScalar(const TelvarObject* v, int32_t* out) {
  if (!TelvarVector_isLong(v) || v->length != 1) return 0;
  *out = ((const int32_t*)v->data)[0];
  return 1;
}

int TelvarTreeModel_create(TelvarObject* model, const TelvarObject* metaData, int classification,
                           int nOutputLevels, int maxComparisons,
                           const char* const* dependentLevels, int nTrees, int nRows,
                           const double* const* descriptions) {
  if (model == NULL || nTrees < 1 || nRows < 1 || maxComparisons < 1 || nOutputLevels < 0 ||
      (classification && nOutputLevels < 1) || (nOutputLevels > 0 && dependentLevels == NULL) ||
      descriptions == NULL || !TelvarMetaData_isValid(metaData)) {
    return TELVAR_INVALID;
  }
  int n = VT_FIXED + nTrees;
  TelvarObject* parts = calloc((size_t)n, sizeof(TelvarObject));
  const TelvarObject** elements = calloc((size_t)n, sizeof(TelvarObject*));
  const char** names = calloc((size_t)n, sizeof(char*));
  int status = (parts && elements && names) ? TELVAR_OK : TELVAR_NOMEM;
  int32_t scalars[3] = {classification ? 1 : 0, nOutputLevels, maxComparisons};
  int ncol = 4 + maxComparisons + nOutputLevels;
  for (int i = 1; i < 4 && status == TELVAR_OK; ++i) {
    status = TelvarVector_create(&parts[i], 1, TELVAR_LONG, &scalars[i - 1]);
  }
  if (status == TELVAR_OK) {
    status = TelvarVector_create(&parts[4], nOutputLevels, TELVAR_STRING, dependentLevels);
  }
  for (int t = 0; t < nTrees && status == TELVAR_OK; ++t) {
    if (descriptions[t] == NULL) status = TELVAR_INVALID;
    if (status == TELVAR_OK) {
      status =
          TelvarDoubleMatrix_create(&parts[VT_FIXED + t], nRows, ncol, descriptions[t], NULL, NULL);
    }
  }
  if (status == TELVAR_OK) {
    elements[0] = metaData;
    for (int i = 0; i < n; ++i) {
      if (i > 0) elements[i] = &parts[i];
      names[i] = i < VT_FIXED ? kNames[i] : "treeDescription";
    }
    status = Telvar_createModelList(model, "TreeModel", n, elements, names);
  }
  for (int i = 0; parts != NULL && i < n; ++i)
    TelvarObject_destroy(&parts[i]);
  free(parts);
  free((void*)elements);
  free((void*)names);
  return status;
}

int TelvarTreeModel_isValid(const TelvarObject* model) {
  if (!Telvar_isModelShape(model, VT_FIXED, kNames, 1) || model->length < VT_FIXED + 1) return 0;
  int32_t classification, nLevels, maxComparisons;
  if (!longScalar(Telvar_element(model, 1), &classification) ||
      !longScalar(Telvar_element(model, 2), &nLevels) ||
      !longScalar(Telvar_element(model, 3), &maxComparisons)) {
    return 0;
  }
  const TelvarObject* levels = Telvar_element(model, 4);
  if (maxComparisons < 1 || nLevels < 0 || nLevels > 1000000 || maxComparisons > 1000000 ||
      (classification && nLevels < 1) || !TelvarVector_isString(levels) ||
      levels->length != nLevels) {
    return 0;
  }
  int nrow0 = 0;
  for (int t = VT_FIXED; t < model->length; ++t) {
    const TelvarObject* tree = Telvar_element(model, t);
    int nrow = 0, ncol = 0;
    if (tree->mode != TELVAR_DOUBLE_MATRIX || !TelvarDoubleMatrix_isValid(tree)) return 0;
    TelvarDoubleMatrix_getNRows(&nrow, tree);
    TelvarDoubleMatrix_getNColumns(&ncol, tree);
    if (t == VT_FIXED) nrow0 = nrow;
    if (nrow != nrow0 || ncol != 4 + maxComparisons + nLevels) return 0;
  }
  return 1;
}

int TelvarTreeModel_print(const TelvarObject* model) {
  if (!TelvarTreeModel_isValid(model)) return Telvar_invalidModel(VT_FILE, __LINE__);
  printf("Meta Data:\n");
  TelvarMetaData_print(Telvar_element(model, 0));
  printf("Classification:\n");
  TelvarVector_print(Telvar_element(model, 1));
  printf("Num Levels Output:\n");
  TelvarVector_print(Telvar_element(model, 2));
  printf("Dependent Levels:\n");
  TelvarVector_print(Telvar_element(model, 4));
  printf("Num Max Comparisons:\n");
  TelvarVector_print(Telvar_element(model, 3));
  for (int t = VT_FIXED; t < model->length; ++t) {
    printf("Tree Description (%d):\n", t - VT_FIXED);
    TelvarDoubleMatrix_print(Telvar_element(model, t));
  }
  return TELVAR_OK;
}

/* A description entry as an integer; values outside +-2^31 (and NaN) become INT32_MIN, which
 * matches no node, column or operator. */
static long entry(double v) {
  return (v >= -2147483647.0 && v <= 2147483647.0) ? (long)v : (long)INT32_MIN;
}

/* The row of each node number, keyed by the number printed with "%ld". */
static int nodeTable(TelvarHash** tableOut, const double* desc, int nrow) {
  int status = TelvarHash_create(tableOut);
  char key[32];
  for (int r = 0; r < nrow && status == TELVAR_OK; ++r) {
    snprintf(key, sizeof(key), "%ld", entry(desc[r]));
    if (!TelvarHash_find(NULL, *tableOut, key)) status = TelvarHash_insert(*tableOut, key, r);
  }
  return status;
}

static int holds(int op, double x, double v) {
  switch (op) {
    case 0:
      return x == v;
    case 1:
      return x < v;
    case 2:
      return x <= v;
    case 3:
      return x > v;
    case 4:
      return x >= v;
    default:
      return 0;
  }
}

typedef struct TreeWalk {
  const double* desc;
  int nrow;
  int maxComparisons;
  const TelvarHash* table;
  const double* const* x;
  int ncol;
  const int* hasLevels;
} TreeWalk;

/* Returns the leaf row reached by input row `row`, or -1 for a split column outside the input. */
static int walk(const TreeWalk* w, int row) {
  char key[32];
  long node = 1;
  int current;
  snprintf(key, sizeof(key), "%ld", node);
  if (!TelvarHash_find(&current, w->table, key)) return 0;
  for (;;) {
    const double* d = w->desc;
    int n = w->nrow;
    long col = entry(d[(size_t)n + current]);
    if (col == -1) return current;
    if (col < 0 || col >= w->ncol) return -1;
    int op = (int)entry(d[2 * (size_t)n + current]);
    double x = w->x[col][row];
    int limit = w->hasLevels[col] ? w->maxComparisons : 1;
    int left = 0;
    for (int k = 0; k < limit; ++k) {
      double v = d[(size_t)(3 + k) * n + current];
      if (w->hasLevels[col] && v == -1.0) {
        left = k == 0;
        break;
      }
      if (holds(op, x, v)) {
        left = 1;
        break;
      }
    }
    if (node > (long)(((unsigned long)-1 >> 2) / 2)) return current;
    node = left ? 2 * node : 2 * node + 1;
    snprintf(key, sizeof(key), "%ld", node);
    int next;
    if (!TelvarHash_find(&next, w->table, key)) return current;
    current = next;
  }
}

int TelvarTreeModel_predict(TelvarObject* scores, const TelvarObject* input,
                            const TelvarObject* inputMetaData, const TelvarObject* model) {
  if (scores == NULL || !TelvarDataSet_isValid(input) || !TelvarTreeModel_isValid(model)) {
    return TELVAR_INVALID;
  }
  int classification = ((const int32_t*)Telvar_element(model, 1)->data)[0];
  int nLevels = ((const int32_t*)Telvar_element(model, 2)->data)[0];
  int maxComparisons = ((const int32_t*)Telvar_element(model, 3)->data)[0];
  const TelvarObject* levelNames = Telvar_element(model, 4);
  int nTrees = model->length - VT_FIXED;
  int nOut = classification ? nLevels : 1;

  TelvarObject converted, result;
  memset(&converted, 0, sizeof(converted));
  memset(&result, 0, sizeof(result));
  const double** x = NULL;
  int nrow = 0, ncol = 0;
  int status = Telvar_convertForModel(&converted, &x, &nrow, &ncol, model, input, inputMetaData);
  int* hasLevels = NULL;
  char(*names)[TELVAR_STRING_SLOT + 8] = NULL;
  const char** namePtrs = NULL;
  if (status == TELVAR_OK) {
    hasLevels = calloc((size_t)ncol + 1, sizeof(int));
    names = calloc((size_t)nOut, sizeof(*names));
    namePtrs = calloc((size_t)nOut, sizeof(char*));
    if (hasLevels == NULL || names == NULL || namePtrs == NULL) status = TELVAR_NOMEM;
  }
  if (status == TELVAR_OK) {
    const TelvarObject* info = Telvar_element(Telvar_element(model, 0), 0);
    for (int c = 0; c < ncol; ++c) {
      hasLevels[c] = Telvar_element(Telvar_element(info, c), 0)->length > 0;
    }
    for (int k = 0; k < nOut; ++k) {
      if (classification) {
        snprintf(names[k], sizeof(names[k]), "Pr(%s)", ((char**)levelNames->data)[k]);
      } else {
        snprintf(names[k], sizeof(names[k]), "PREDICT.fit");
      }
      namePtrs[k] = names[k];
    }
    status = Telvar_createScores(&result, nrow, nOut, NULL, namePtrs);
  }
  for (int t = 0; t < nTrees && status == TELVAR_OK; ++t) {
    const TelvarObject* tree = Telvar_element(model, VT_FIXED + t);
    TreeWalk w = {NULL, 0, maxComparisons, NULL, x, ncol, hasLevels};
    double* desc = NULL;
    TelvarDoubleMatrix_getValues(&desc, tree);
    TelvarDoubleMatrix_getNRows(&w.nrow, tree);
    w.desc = desc;
    TelvarHash* table = NULL;
    status = nodeTable(&table, desc, w.nrow);
    w.table = table;
    for (int row = 0; row < nrow && status == TELVAR_OK; ++row) {
      int leaf = walk(&w, row);
      if (leaf < 0) {
        status = TELVAR_INVALID;
        break;
      }
      for (int k = 0; k < nOut; ++k) {
        TelvarObject* column = NULL;
        TelvarDataSet_getColumn(&column, &result, k);
        size_t outCol = (size_t)(classification ? 4 + maxComparisons + k : 3 + maxComparisons);
        ((double*)column->data)[row] += desc[outCol * (size_t)w.nrow + (size_t)leaf];
      }
    }
    TelvarHash_destroy(table);
  }
  if (status == TELVAR_OK) {
    for (int k = 0; k < nOut; ++k) {
      TelvarObject* column = NULL;
      TelvarDataSet_getColumn(&column, &result, k);
      for (int row = 0; row < nrow; ++row)
        ((double*)column->data)[row] /= nTrees;
    }
    *scores = result;
  } else {
    TelvarObject_destroy(&result);
  }
  free(hasLevels);
  free(names);
  free((void*)namePtrs);
  free((void*)x);
  TelvarObject_destroy(&converted);
  return status;
}

int TelvarTreeModel_destroy(TelvarObject* model) {
  return TelvarObject_destroy(model);
}
