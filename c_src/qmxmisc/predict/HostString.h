// HostString: a text copied with the host's QMXObj::copyString and freed with
// QMXObj::releaseString when the owner goes away. Used where the host contract says a proc
// keeps its own copy of a text the host handed it.
#pragma once

#include <cstring>
#include <memory>

#include "qmxbase/QMXObj.h"
#include "qmxmisc/base/QMXException.h"

class HostString {
 public:
  HostString() = default;
  // Copies `text` (null stays null); throws QMXMemoryException when the host cannot copy it.
  explicit HostString(const char* text) : text_(copy(text)) {}
  HostString(const HostString& other) : text_(copy(other.get())) {}
  HostString(HostString&&) noexcept = default;
  HostString& operator=(const HostString& other) {
    if (this != &other) text_ = copy(other.get());
    return *this;
  }
  HostString& operator=(HostString&&) noexcept = default;
  ~HostString() = default;

  // The text, or null.
  const char* get() const { return text_.get(); }
  // The text, or "" when null.
  const char* c_str() const { return text_ ? text_.get() : ""; }

 private:
  struct Release {
    void operator()(char* text) const { QMXObj::releaseString(text); }
  };
  using Owned = std::unique_ptr<char, Release>;

  static Owned copy(const char* text) {
    if (text == nullptr) return Owned();
    Owned owned(QMXObj::copyString(text));
    if (!owned) throw QMXMemoryException(static_cast<long>(std::strlen(text) + 1));
    return owned;
  }

  Owned text_;
};
