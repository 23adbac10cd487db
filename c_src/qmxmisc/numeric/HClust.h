// Agglomerative hierarchical clustering of the rows of a column-major matrix, cut into k
// groups (Murtagh's HCLUST with the Lance-Williams update; R's hclust + cutree).
#pragma once

#include <vector>

// Linkage codes: 1 Ward, 2 single, 3 complete, 4 average, 5 McQuitty, 6 median, 7 centroid.
// x is nrow x ncol, column-major with leading dimension ldx. Returns, for each row, its group
// number 1..k, numbered in order of first appearance along the rows (as R's cutree).
// Throws QMXException on bad arguments (k < 1, k > nrow, method outside 1..7).
std::vector<int> hclustCut(const double* x, long nrow, long ncol, long ldx, int k, int method);
