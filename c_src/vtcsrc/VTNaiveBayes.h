/*
 * VTNaiveBayes.h: naive Bayes scoring model of the standalone scoring library.
 * Model: a mode-2001 list "metaData", "numDepLevels" (long[1], K), "numIndepLevels" (long
 * vector, level count per independent column), "initialProbs" (K priors), "probMatrix"
 * ((largest level count x K) x independent columns: row code * K + k of column j holds
 * P(column j = level code | class k)), "dmDependentLevels" (K names).
 * Statuses and ownership as in VTObjects.h.
 */
#ifndef VTCSRC_VTNAIVEBAYES_H
#define VTCSRC_VTNAIVEBAYES_H

#include "VTObjects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* levelCounts: nIndependent counts; probTable: (max count x K) x nIndependent column-major.
 * 2 when a count is below 1. */
int TelvarNaiveBayesModel_create(TelvarObject* model, const TelvarObject* metaData,
                                 int nIndependent, int nDependentLevels, const int32_t* levelCounts,
                                 const char* const* dependentLevels, const double* priors,
                                 const double* probTable);
int TelvarNaiveBayesModel_isValid(const TelvarObject* model);
int TelvarNaiveBayesModel_print(const TelvarObject* model);
/* scores: K double columns "Pr(%s)": prior_k times the product over columns j of
 * probMatrix[code_j * K + k, j], divided by the sum over k. 2 for an invalid input or model, a
 * converted column count other than the independent columns, or a code outside its column's
 * level count; 0 when the input cannot be converted. */
int TelvarNaiveBayesModel_predict(TelvarObject* scores, const TelvarObject* input,
                                  const TelvarObject* inputMetaData, const TelvarObject* model);
int TelvarNaiveBayesModel_destroy(TelvarObject* model);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTNAIVEBAYES_H */
