/*
 * VTPrincipalComponents.h: principal components scoring model of the standalone scoring
 * library. Model: a mode-2001 list "metaData", "dvCenter" and "dvScale" (one per input column;
 * a scale of 0 is read as 1), "dmLoading" (columns x components).
 * Statuses and ownership as in VTObjects.h.
 */
#ifndef VTCSRC_VTPRINCIPALCOMPONENTS_H
#define VTCSRC_VTPRINCIPALCOMPONENTS_H

#include "VTObjects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* loadings: nColumns x nComponents, column-major. 2 when a count is below 1. */
int TelvarPrincipalComponentsModel_create(TelvarObject* model, const TelvarObject* metaData,
                                          int nColumns, int nComponents, const double* centers,
                                          const double* scales, const double* loadings);
int TelvarPrincipalComponentsModel_isValid(const TelvarObject* model);
int TelvarPrincipalComponentsModel_print(const TelvarObject* model);
/* scores receives one double column "Component%d" (0-based) per component:
 * sum over columns i of loading[i, j] (x_i - center_i) / scale_i. 2 for an invalid input or
 * model or a converted column count other than the loading rows; 0 when the input cannot be
 * converted. */
int TelvarPrincipalComponentsModel_predict(TelvarObject* scores, const TelvarObject* input,
                                           const TelvarObject* inputMetaData,
                                           const TelvarObject* model);
int TelvarPrincipalComponentsModel_destroy(TelvarObject* model);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTPRINCIPALCOMPONENTS_H */
