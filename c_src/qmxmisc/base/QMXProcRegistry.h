// The registry of procs: the host finds each proc through an exported C factory named after
// its class, `QMXProc* qmx_s_create_<Class>(QMXProc** out)`. The factory creates the proc
// with its default constructor, stores the pointer in *out and returns it; when the proc
// cannot be created it stores and returns null. The host owns the result and deletes it
// through the virtual destructor.
//
// A proc registers itself in its own .cpp, at namespace scope:
//   QMX_REGISTER_PROC(QMXProcCov)
#pragma once

#include <memory>

// Creates a Proc with its default constructor and hands it out as a Base. No exception
// leaves: an allocation failure, or any other failure of the constructor, gives null.
template <class Proc, class Base>
Base* qmxCreateProc(Base** out) noexcept {
  Base* created = nullptr;
  try {
    auto proc = std::make_unique<Proc>();
    created = proc.release();
  } catch (...) {
    created = nullptr;
  }
  if (out != nullptr) *out = created;
  return created;
}

// Defines the exported factory qmx_s_create_<Class>; QMXProc must be declared where it is
// expanded (include "qmxbase/QMXProc.h").
#define QMX_REGISTER_PROC(Class)                                                                   \
  extern "C" __attribute__((visibility("default"))) QMXProc* qmx_s_create_##Class(QMXProc** out) { \
    return qmxCreateProc<Class, QMXProc>(out);                                                     \
  }
