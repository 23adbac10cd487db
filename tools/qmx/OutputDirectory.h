// A directory of output files (qmx package), filled under a temporary name and moved into
// place when complete, so that a failed or interrupted run leaves nothing behind:
// "<dir>.tmp.XXXXXX" is created next to `target` (whose parent must exist) and registered
// for removal on the cleanup signals (TempFiles.h); commit renames it to `target`, or, when
// `target` is an existing directory, moves its files into it.
#pragma once

#include <string>

class OutputDirectory {
 public:
  // Throws CommandError "cannot create TARGET: reason".
  explicit OutputDirectory(std::string target);
  ~OutputDirectory();
  OutputDirectory(const OutputDirectory&) = delete;
  OutputDirectory& operator=(const OutputDirectory&) = delete;

  // The directory to write into.
  const std::string& path() const { return temp_; }
  // Throws CommandError "cannot create TARGET: reason" (the temporary directory is removed).
  void commit();

 private:
  [[noreturn]] void fail(int error);

  std::string target_;
  std::string temp_;
  int slot_ = -1;
  bool existing_ = false;
};
