#include "OutputDirectory.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "Commands.h"
#include "TempFiles.h"

namespace {

std::vector<std::string> entriesOf(const std::string& dir) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(dir.c_str()), ::closedir);
  if (!handle) return names;
  while (const dirent* entry = ::readdir(handle.get()))
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
      names.emplace_back(entry->d_name);
  return names;
}

}  // namespace

OutputDirectory::OutputDirectory(std::string target) : target_(std::move(target)) {
  while (target_.size() > 1 && target_.back() == '/')
    target_.pop_back();
  struct stat info {};
  if (::stat(target_.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) fail(ENOTDIR);
    existing_ = true;
  }
  std::string pattern = target_ + ".tmp.XXXXXX";
  if (!createTempDirectory(pattern, slot_)) fail(errno);
  temp_ = pattern;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temp_.c_str(), 0777 & ~mask);
}

OutputDirectory::~OutputDirectory() {
  if (temp_.empty()) return;
  removeFlatDirectory(temp_.c_str());
  unregisterTemp(slot_);
}

void OutputDirectory::fail(int error) {
  if (!temp_.empty()) {
    removeFlatDirectory(temp_.c_str());
    unregisterTemp(slot_);
    temp_.clear();
  }
  throw CommandError("cannot create " + target_ + ": " + std::strerror(error));
}

void OutputDirectory::commit() {
  if (!existing_) {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) fail(errno);
  } else {
    for (const std::string& name : entriesOf(temp_))
      if (std::rename((temp_ + "/" + name).c_str(), (target_ + "/" + name).c_str()) != 0)
        fail(errno);
    ::rmdir(temp_.c_str());
  }
  unregisterTemp(slot_);
  temp_.clear();
}
