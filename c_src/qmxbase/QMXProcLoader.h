// Loads the procedures library and creates procs through its exported factories
// `extern "C" QMXProc* qmx_s_create_<Class>(QMXProc** out)`.
//
// The library is opened with RTLD_NODELETE, so procs created from it stay valid even after
// the loader is destroyed. Failures throw QMXLoadError with a message naming the library
// path or the factory symbol.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "qmxbase/QMXProc.h"

class QMXLoadError : public std::runtime_error {
 public:
  explicit QMXLoadError(const std::string& message) : std::runtime_error(message) {}
};

class QMXProcLoader {
 public:
  // Opens the library at `libraryPath` (throws QMXLoadError).
  explicit QMXProcLoader(const std::string& libraryPath);
  ~QMXProcLoader();
  QMXProcLoader(const QMXProcLoader&) = delete;
  QMXProcLoader& operator=(const QMXProcLoader&) = delete;

  // The library to load: $QMX_LIBRARY when set and not empty; else libqmxmisc.so next to the
  // running executable when it exists; else libqmxmisc.so in `fallbackDir`.
  static std::string defaultLibraryPath(const std::string& fallbackDir);

  // A new proc of class `className` (throws QMXLoadError for an unknown class or a factory
  // that returns no proc).
  std::unique_ptr<QMXProc> create(const std::string& className) const;
  bool hasClass(const std::string& className) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  void* handle_ = nullptr;
};
