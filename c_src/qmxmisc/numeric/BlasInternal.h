// Helpers for calling the Fortran BLAS/LAPACK routines of Lapack.h from this folder.
#pragma once

#include <climits>

#include "qmxmisc/base/QMXAssert.h"

// A dimension as the 32-bit Fortran integer the LP64 BLAS takes.
inline int blasInt(long n) {
  QMX_ASSERT(n >= 0 && n <= INT_MAX, "dimension must fit a 32-bit BLAS integer");
  return static_cast<int>(n);
}
