#include "ProcCatalog.h"

#include <dlfcn.h>

#include <sstream>

#include "Commands.h"

namespace {

using ClassesFn = const char* (*)();
using PropertiesFn = const char* (*)(const char*);

// The library opened for its catalog; closed on destruction.
class Library {
 public:
  explicit Library(const std::string& path)
      : path_(path), handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
      const char* error = ::dlerror();
      throw CommandError(
          "cannot load the procedures library " + path + ": " + (error ? error : "unknown error"),
          kExitLibrary);
    }
  }
  ~Library() { ::dlclose(handle_); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  template <class Fn>
  Fn symbol(const char* name) const {
    void* found = ::dlsym(handle_, name);
    if (found == nullptr)
      throw CommandError(
          "the procedures library " + path_ + " lists no procs (" + name + " is missing)",
          kExitLibrary);
    return reinterpret_cast<Fn>(found);
  }

 private:
  std::string path_;
  void* handle_;
};

std::vector<std::string> lines(const char* text) {
  std::vector<std::string> out;
  std::istringstream in(text != nullptr ? text : "");
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.push_back(line);
  return out;
}

}  // namespace

std::vector<std::string> procClasses(const std::string& libraryPath) {
  const Library library(libraryPath);
  return lines(library.symbol<ClassesFn>("qmx_s_proc_classes")());
}

std::vector<ProcProperty> procProperties(const std::string& libraryPath,
                                         const std::string& className) {
  const Library library(libraryPath);
  const char* table = library.symbol<PropertiesFn>("qmx_s_proc_properties")(className.c_str());
  if (table == nullptr) {
    std::string known;
    for (const std::string& name : lines(library.symbol<ClassesFn>("qmx_s_proc_classes")()))
      known += (known.empty() ? "" : ", ") + name;
    throw CommandError(
        "the procedure " + className + " is not in " + libraryPath + " (procs: " + known + ")",
        kExitLibrary);
  }
  std::vector<ProcProperty> properties;
  for (const std::string& line : lines(table)) {
    std::istringstream fields(line);
    ProcProperty property;
    std::getline(fields, property.name, '\t');
    std::getline(fields, property.type, '\t');
    std::getline(fields, property.access, '\t');
    std::getline(fields, property.effect);
    properties.push_back(std::move(property));
  }
  return properties;
}
