/*
 * VTKMeansCluster.h: k-means scoring model of the standalone scoring library.
 * Model: a mode-2001 list "metaData", "dmCenter" (clusters x columns, centers in scaled units),
 * "dvScale" (one divisor per column; 0 is read as 1), "lvSize" (cluster sizes).
 * Statuses and ownership as in VTObjects.h.
 */
#ifndef VTCSRC_VTKMEANSCLUSTER_H
#define VTCSRC_VTKMEANSCLUSTER_H

#include "VTObjects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Copies metaData and the arrays into the empty record model. centers: nClusters x nColumns,
 * column-major; scales: nColumns; sizes: nClusters. 2 when a count is below 1. */
int TelvarKMeansClusterModel_create(TelvarObject* model, const TelvarObject* metaData,
                                    int nClusters, int nColumns, const double* centers,
                                    const double* scales, const int32_t* sizes);
/* 1 when the elements have the right kinds and the scale (size) vector has one element per
 * center column (row). */
int TelvarKMeansClusterModel_isValid(const TelvarObject* model);
int TelvarKMeansClusterModel_print(const TelvarObject* model);
/* scores receives a data set with the long column "PREDICT.membership" (1-based nearest center
 * by the squared distance of x / scale to the center; the first center wins ties). 2 for an
 * invalid input or model or more converted columns than center columns; 0 when the input
 * cannot be converted. */
int TelvarKMeansClusterModel_predict(TelvarObject* scores, const TelvarObject* input,
                                     const TelvarObject* inputMetaData, const TelvarObject* model);
/* The scores of the package program, as `qmx score` writes them: the double columns "cluster"
 * (the membership of predict; NA for a row with a missing value) and "distance" (the Euclidean
 * distance to that center in the scaled space, not squared; NA likewise). Statuses as predict. */
int TelvarKMeansClusterModel_score(TelvarObject* scores, const TelvarObject* input,
                                   const TelvarObject* inputMetaData, const TelvarObject* model);
/* The package program (package/_main.c) scores with this function instead of predict. */
#define VTKMeansCluster_PACKAGE_SCORE TelvarKMeansClusterModel_score
int TelvarKMeansClusterModel_destroy(TelvarObject* model);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTKMEANSCLUSTER_H */
