/*
 * VTTree.h: classification and regression tree (and tree ensemble) scoring model of the
 * standalone scoring library.
 * Model: a mode-2001 list "metaData", "classification" (long[1]), "outputLevels" (long[1], L;
 * 0 for regression), "maxComparisons" (long[1], C), "dmDependentLevels" (string vector of L
 * names), then one "treeDescription" double matrix per tree with 4 + C + L columns: node number
 * (root 1, children 2n and 2n + 1; 0 on padding rows), split column (-1 at a leaf), operator
 * (0 =, 1 <, 2 <=, 3 >, 4 >=), C split values (-1 where absent), fitted value, L class
 * probabilities. A walk that reaches a node number missing from the description stops at the
 * last node found and uses its values.
 * Statuses and ownership as in VTObjects.h.
 */
#ifndef VTCSRC_VTTREE_H
#define VTCSRC_VTTREE_H

#include "VTObjects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* descriptions[t]: tree t as an nRows x (4 + C + L) column-major array (nRows is the node count
 * of the largest tree). dependentLevels: L names (NULL allowed when L is 0). 2 when nTrees,
 * nRows or maxComparisons is below 1, or a classification tree has no output level. */
int TelvarTreeModel_create(TelvarObject* model, const TelvarObject* metaData, int classification,
                           int nOutputLevels, int maxComparisons,
                           const char* const* dependentLevels, int nTrees, int nRows,
                           const double* const* descriptions);
int TelvarTreeModel_isValid(const TelvarObject* model);
int TelvarTreeModel_print(const TelvarObject* model);
/* scores: classification, one double column "Pr(%s)" per output level (the leaf class
 * probabilities averaged over the trees); regression, one double column "PREDICT.fit" (the leaf
 * values averaged over the trees). 2 for an invalid input or model or a split column outside
 * the converted input; 0 when the input cannot be converted. */
int TelvarTreeModel_predict(TelvarObject* scores, const TelvarObject* input,
                            const TelvarObject* inputMetaData, const TelvarObject* model);
int TelvarTreeModel_destroy(TelvarObject* model);

#ifdef __cplusplus
}
#endif

#endif /* VTCSRC_VTTREE_H */
