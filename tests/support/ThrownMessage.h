// The message of the exception a call throws, for tests that compare full message texts.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "qmxmisc/base/QMXException.h"

// The message of the QMXException `action` throws; "<no exception>" when it returns and
// "<other exception: what>" for any other exception type.
inline std::string thrownMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const QMXException& e) {
    return e.message() != nullptr ? e.message() : "<null message>";
  } catch (const std::exception& e) {
    return std::string("<other exception: ") + e.what() + ">";
  }
  return "<no exception>";
}
