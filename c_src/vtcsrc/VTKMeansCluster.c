/*
 * VTKMeansCluster.c: nearest-center scoring of a k-means model.
 */
#include "VTKMeansCluster.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#define VT_FILE "vtcsrc/VTKMeansCluster"

static const char* const kNames[] = {"metaData", "dmCenter", "dvScale", "lvSize"};

int TelvarKMeansClusterModel_create(TelvarObject* model, const TelvarObject* metaData,
                                    int nClusters, int nColumns, const double* centers,
                                    const double* scales, const int32_t* sizes) {
  if (model == NULL || nClusters < 1 || nColumns < 1 || centers == NULL || scales == NULL ||
      sizes == NULL || !TelvarMetaData_isValid(metaData)) {
    return TELVAR_INVALID;
  }
  TelvarObject center, scale, size;
  memset(&center, 0, sizeof(center));
  memset(&scale, 0, sizeof(scale));
  memset(&size, 0, sizeof(size));
  int status = TelvarDoubleMatrix_create(&center, nClusters, nColumns, centers, NULL, NULL);
  if (status == TELVAR_OK) status = TelvarVector_create(&scale, nColumns, TELVAR_DOUBLE, scales);
  if (status == TELVAR_OK) status = TelvarVector_create(&size, nClusters, TELVAR_LONG, sizes);
  if (status == TELVAR_OK) {
    const TelvarObject* elements[] = {metaData, &center, &scale, &size};
    status = Telvar_createModelList(model, "KMeansClusterModel", 4, elements, kNames);
  }
  TelvarObject_destroy(&center);
  TelvarObject_destroy(&scale);
  TelvarObject_destroy(&size);
  return status;
}

int TelvarKMeansClusterModel_isValid(const TelvarObject* model) {
  if (!Telvar_isModelShape(model, 4, kNames, 0)) return 0;
  const TelvarObject* center = Telvar_element(model, 1);
  const TelvarObject* scale = Telvar_element(model, 2);
  const TelvarObject* size = Telvar_element(model, 3);
  int nrow = 0, ncol = 0;
  if (center->mode != TELVAR_DOUBLE_MATRIX || !TelvarDoubleMatrix_isValid(center)) return 0;
  TelvarDoubleMatrix_getNRows(&nrow, center);
  TelvarDoubleMatrix_getNColumns(&ncol, center);
  return TelvarVector_isDouble(scale) && scale->length == ncol && TelvarVector_isLong(size) &&
         size->length == nrow;
}

int TelvarKMeansClusterModel_print(const TelvarObject* model) {
  if (!TelvarKMeansClusterModel_isValid(model)) return Telvar_invalidModel(VT_FILE, __LINE__);
  printf("Meta Data:\n");
  TelvarMetaData_print(Telvar_element(model, 0));
  printf("Cluster Centers:\n");
  TelvarDoubleMatrix_print(Telvar_element(model, 1));
  printf("Column Scaling Factor:\n");
  TelvarVector_print(Telvar_element(model, 2));
  printf("Cluster sizes:\n");
  TelvarVector_print(Telvar_element(model, 3));
  return TELVAR_OK;
}

/* The nearest center of one row (0-based) and its squared distance; the first center wins
 * ties. A missing value (NaN) makes every distance NaN and leaves the first center. */
static int nearestCenter(double* squared, const double** x, int row, int ncol, const double* scale,
                         const double* centers, int nClusters) {
  int best = 0;
  double bestDistance = 0.0;
  for (int cluster = 0; cluster < nClusters; ++cluster) {
    double distance = 0.0;
    for (int col = 0; col < ncol; ++col) {
      double divisor = scale[col] == 0.0 ? 1.0 : scale[col];
      double d = x[col][row] / divisor - centers[(size_t)col * nClusters + cluster];
      distance += d * d;
    }
    if (cluster == 0 || distance < bestDistance) {
      best = cluster;
      bestDistance = distance;
    }
  }
  *squared = bestDistance;
  return best;
}

/* Scores every row into result's columns: membership (long or double) and, when `distances`
 * is set, the distance (not squared) as column 1. */
static int scoreRows(TelvarObject* scores, const TelvarObject* input,
                     const TelvarObject* inputMetaData, const TelvarObject* model, int ncolOut,
                     const int* modes, const char* const* names) {
  if (scores == NULL || !TelvarDataSet_isValid(input) || !TelvarKMeansClusterModel_isValid(model)) {
    return TELVAR_INVALID;
  }
  const TelvarObject* center = Telvar_element(model, 1);
  const double* scale = (const double*)Telvar_element(model, 2)->data;
  double* centers = NULL;
  int nClusters = 0, nCenterCols = 0;
  TelvarDoubleMatrix_getValues(&centers, center);
  TelvarDoubleMatrix_getNRows(&nClusters, center);
  TelvarDoubleMatrix_getNColumns(&nCenterCols, center);

  TelvarObject converted;
  memset(&converted, 0, sizeof(converted));
  const double** x = NULL;
  int nrow = 0, ncol = 0;
  int status = Telvar_convertForModel(&converted, &x, &nrow, &ncol, model, input, inputMetaData);
  if (status == TELVAR_OK && ncol > nCenterCols) status = TELVAR_INVALID;
  TelvarObject result;
  memset(&result, 0, sizeof(result));
  if (status == TELVAR_OK) status = Telvar_createScores(&result, nrow, ncolOut, modes, names);
  if (status == TELVAR_OK) {
    TelvarObject* column = NULL;
    TelvarDataSet_getColumn(&column, &result, 0);
    void* membership = column->data;
    double* distance = NULL;
    if (ncolOut > 1) {
      TelvarDataSet_getColumn(&column, &result, 1);
      distance = (double*)column->data;
    }
    for (int row = 0; row < nrow; ++row) {
      double squared = 0.0;
      int best = nearestCenter(&squared, x, row, ncol, scale, centers, nClusters);
      if (modes[0] == TELVAR_LONG) {
        ((int32_t*)membership)[row] = best + 1;
      } else {
        ((double*)membership)[row] = isnan(squared) ? NAN : best + 1.0;
      }
      if (distance != NULL) distance[row] = sqrt(squared);
    }
    *scores = result;
  } else {
    TelvarObject_destroy(&result);
  }
  free((void*)x);
  TelvarObject_destroy(&converted);
  return status;
}

int TelvarKMeansClusterModel_predict(TelvarObject* scores, const TelvarObject* input,
                                     const TelvarObject* inputMetaData, const TelvarObject* model) {
  static const int modes[] = {TELVAR_LONG};
  static const char* const names[] = {"PREDICT.membership"};
  return scoreRows(scores, input, inputMetaData, model, 1, modes, names);
}

int TelvarKMeansClusterModel_score(TelvarObject* scores, const TelvarObject* input,
                                   const TelvarObject* inputMetaData, const TelvarObject* model) {
  static const int modes[] = {TELVAR_DOUBLE, TELVAR_DOUBLE};
  static const char* const names[] = {"cluster", "distance"};
  return scoreRows(scores, input, inputMetaData, model, 2, modes, names);
}

int TelvarKMeansClusterModel_destroy(TelvarObject* model) {
  return TelvarObject_destroy(model);
}
