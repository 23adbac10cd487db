// Orthogonal polynomial contrasts of a factor with L equally spaced levels: the L x (L - 1)
// matrix whose column d holds the degree-d orthogonal polynomial over the level codes
// 1..L, scaled to unit length. These are the numbers of R's contr.poly(L); they code
// factors with MatrixCoding::kPolynomial in the model matrix.
#pragma once

#include "qmxmisc/numeric/DoubleMatrix.h"

// Largest number of levels the coding accepts (degrees 1..10).
inline constexpr long kMaxPolynomialLevels = 11;

// The contrast matrix (levels rows, levels - 1 columns, named by polynomialContrastName).
// One level gives an empty matrix; more than kMaxPolynomialLevels throws "Orthogonal
// polynomials of degree %d are not allowed" with levels - 1.
DoubleMatrix polynomialContrasts(long levels);

// Column name of degree d (1-based): "linear", "quad", "cubic", then "^4" ... "^10".
const char* polynomialContrastName(long degree);
