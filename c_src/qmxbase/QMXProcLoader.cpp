#include "qmxbase/QMXProcLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <new>

namespace {

constexpr const char* kLibraryName = "libqmxmisc.so";

using Factory = QMXProc* (*)(QMXProc**);

// The directory holding the running executable, "" when unknown.
std::string executableDir() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  path[length] = '\0';
  return std::filesystem::path(path).parent_path().string();
}

std::string factoryName(const std::string& className) {
  return "qmx_s_create_" + className;
}

}  // namespace

QMXProcLoader::QMXProcLoader(const std::string& libraryPath) : path_(libraryPath) {
  dlerror();
  handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!handle_) {
    const char* why = dlerror();
    throw QMXLoadError("cannot load the procedures library " + path_ + ": " +
                       (why ? why : "unknown reason"));
  }
}

QMXProcLoader::~QMXProcLoader() {
  // RTLD_NODELETE keeps the code mapped, so procs created here stay usable.
  if (handle_) dlclose(handle_);
}

std::string QMXProcLoader::defaultLibraryPath(const std::string& fallbackDir) {
  if (const char* env = std::getenv("QMX_LIBRARY"); env && *env) return env;
  const std::string dir = executableDir();
  if (!dir.empty()) {
    const auto beside = std::filesystem::path(dir) / kLibraryName;
    std::error_code ec;
    if (std::filesystem::exists(beside, ec)) return beside.string();
  }
  return (std::filesystem::path(fallbackDir) / kLibraryName).string();
}

bool QMXProcLoader::hasClass(const std::string& className) const {
  return dlsym(handle_, factoryName(className).c_str()) != nullptr;
}

std::unique_ptr<QMXProc> QMXProcLoader::create(const std::string& className) const {
  const std::string symbol = factoryName(className);
  dlerror();
  void* address = dlsym(handle_, symbol.c_str());
  if (!address)
    throw QMXLoadError("unknown proc class " + className + ": " + path_ + " has no factory " +
                       symbol);
  // POSIX guarantees that a dlsym result converts to a function pointer.
  auto factory = reinterpret_cast<Factory>(address);
  QMXProc* proc = nullptr;
  try {
    factory(&proc);
  } catch (const std::exception& e) {
    throw QMXLoadError("factory " + symbol + " failed: " + e.what());
  }
  if (!proc) throw QMXLoadError("factory " + symbol + " returned no proc");
  return std::unique_ptr<QMXProc>(proc);
}
