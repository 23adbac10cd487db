// The boundary of every proc operation the host calls (init, execute, setProperty,
// getProperty, the model setters): runs the operation's body and turns any exception into
// a message on the proc, so that no exception ever reaches the host.
//
//   QMXException (and subclasses)  -> its own message
//   std::bad_alloc                 -> "Insufficient memory available"
//   anything else                  -> the proc's fixed message for this operation
//
// The message is added with addError, or set with setError for the procs that report that
// way. For init and execute the proc is then marked done (setDone(1)).
//
// Use (the fixed message is the proc's own text for that operation):
//   void QMXProcFoo::execute() {
//     qmxBoundary(*this, "internal error in foo", kQMXRunBoundary, [&] { runChunk(); });
//   }
//   void QMXProcFoo::setProperty(QMXPropertyInfo* prop) {
//     qmxBoundary(*this, "failed to set model specification", kQMXPropertyBoundary,
//                 [&] { setOwnProperty(prop); });
//   }
#pragma once

#include <new>
#include <utility>

#include "qmxmisc/base/QMXAssert.h"
#include "qmxmisc/base/QMXException.h"

enum class QMXMessageRoute { AddError, SetError };

// How a boundary reports a failure: through which message operation, and whether the
// proc is marked done afterwards (init and execute).
struct QMXBoundaryAction {
  QMXMessageRoute route = QMXMessageRoute::AddError;
  bool markDone = false;
};

// init and execute: addError, then setDone(1).
inline constexpr QMXBoundaryAction kQMXRunBoundary{QMXMessageRoute::AddError, true};
// setProperty, getProperty and model setters: addError only.
inline constexpr QMXBoundaryAction kQMXPropertyBoundary{QMXMessageRoute::AddError, false};
// The same two for procs that set their failure as the error.
inline constexpr QMXBoundaryAction kQMXRunBoundarySetError{QMXMessageRoute::SetError, true};
inline constexpr QMXBoundaryAction kQMXPropertyBoundarySetError{QMXMessageRoute::SetError, false};

// The text reported for std::bad_alloc.
inline constexpr const char kQMXMemoryMessage[] = "Insufficient memory available";

namespace qmx_detail {

template <class Obj>
void reportBoundaryFailure(Obj& obj, const char* text, QMXBoundaryAction action) noexcept {
  // Reporting must not throw either: a failure to record the message is dropped.
  try {
    if (action.route == QMXMessageRoute::SetError) {
      obj.setError(text);
    } else {
      obj.addError(text);
    }
    if (action.markDone) {
      if constexpr (requires { obj.setDone(1); }) {
        obj.setDone(1);
      } else {
        QMX_ASSERT(false, "markDone needs an object with setDone");
      }
    }
  } catch (...) {
  }
}

}  // namespace qmx_detail

// Runs body(); returns true when it completed, false when an exception was caught and
// reported on obj. Obj is the proc (anything with addError/setError, and setDone when the
// action marks done).
template <class Obj, class Fn>
bool qmxBoundary(Obj& obj, const char* fixedMessage, QMXBoundaryAction action, Fn&& body) noexcept {
  try {
    std::forward<Fn>(body)();
    return true;
  } catch (const QMXException& e) {
    // The message lives in the exception: report it inside the handler.
    const char* text = e.message() != nullptr ? e.message() : fixedMessage;
    qmx_detail::reportBoundaryFailure(obj, text, action);
  } catch (const std::bad_alloc&) {
    qmx_detail::reportBoundaryFailure(obj, kQMXMemoryMessage, action);
  } catch (...) {
    qmx_detail::reportBoundaryFailure(obj, fixedMessage, action);
  }
  return false;
}
