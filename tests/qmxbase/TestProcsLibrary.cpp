// The test library that the loader and qmx run tests open: one factory per test proc.
#include <memory>

#include "TestProcs.h"

namespace {

template <typename Proc>
QMXProc* createProc(QMXProc** out) {
  QMXProc* proc = std::make_unique<Proc>().release();  // the host deletes it
  if (out) *out = proc;
  return proc;
}

}  // namespace

#define QMX_TEST_EXPORT extern "C" __attribute__((visibility("default")))

QMX_TEST_EXPORT QMXProc* qmx_s_create_TestProc(QMXProc** out) {
  return createProc<SumProc>(out);
}
QMX_TEST_EXPORT QMXProc* qmx_s_create_TestCopyProc(QMXProc** out) {
  return createProc<CopyProc>(out);
}
QMX_TEST_EXPORT QMXProc* qmx_s_create_TestNoReleaseProc(QMXProc** out) {
  return createProc<NoReleaseProc>(out);
}
