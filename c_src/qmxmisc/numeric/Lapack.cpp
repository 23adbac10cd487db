#include "qmxmisc/numeric/Lapack.h"

#include "qmxmisc/base/QMXException.h"

void lapackCheck(const char* routine, int info) {
  if (info != 0) QMX_ThrowException("LAPACK routine %s failed: info = %d", routine, info);
}
