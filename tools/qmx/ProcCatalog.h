// The procs of a procedures library and their property tables, as the library exports them
// (qmx_s_proc_classes, qmx_s_proc_properties): qmx run --list and --help-properties.
#pragma once

#include <string>
#include <vector>

struct ProcProperty {
  std::string name;
  std::string type;
  std::string access;  // "get", "set" or "get,set"
  std::string effect;
};

// The proc classes of the library at `libraryPath`. Throws CommandError (kExitLibrary) when
// the library cannot be opened or exports no catalog.
std::vector<std::string> procClasses(const std::string& libraryPath);

// The properties of `className`; throws CommandError (kExitLibrary) as procClasses, and when
// the library has no such class (the message lists the classes it has).
std::vector<ProcProperty> procProperties(const std::string& libraryPath,
                                         const std::string& className);
