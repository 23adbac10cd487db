// The test library that the loader tests open: exports one factory.
#include <memory>
#include <new>

#include "TestProcs.h"

extern "C" __attribute__((visibility("default"))) QMXProc* qmx_s_create_TestProc(QMXProc** out) {
  QMXProc* proc = nullptr;
  try {
    proc = std::make_unique<SumProc>().release();  // the host deletes it
  } catch (const std::bad_alloc&) {
    proc = nullptr;
  }
  if (out) *out = proc;
  return proc;
}
