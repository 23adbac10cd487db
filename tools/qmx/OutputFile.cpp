#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "Commands.h"
#include "TempFiles.h"

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's path resolution

// The descriptor a name stands for ("-", /dev/stdout, /proc/self/fd/3, ...), -1 for none.
int descriptorOf(const std::string& path) {
  if (path == "-" || path == "/dev/stdout") return STDOUT_FILENO;
  if (path == "/dev/stderr") return STDERR_FILENO;
  for (const std::string prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    if (path.rfind(prefix, 0) != 0) continue;
    const std::string number = path.substr(prefix.size());
    if (number.empty() || number.size() > 6 ||
        number.find_first_not_of("0123456789") != std::string::npos)
      return -1;
    return std::stoi(number);
  }
  return -1;
}

std::string directoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
  std::string path = target_;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    if (const int fd = descriptorOf(path); fd >= 0) {
      openDirect(fd, false);
      return;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
      if (errno != ENOENT) fail(errno);
      openTemporary(path);  // a new file
      return;
    }
    if (S_ISLNK(info.st_mode)) {
      std::string link(PATH_MAX, '\0');
      const ssize_t got = ::readlink(path.c_str(), link.data(), link.size());
      if (got < 0) fail(errno);
      link.resize(static_cast<std::size_t>(got));
      path = link[0] == '/' ? link : directoryOf(path) + link;
      continue;
    }
    if (S_ISREG(info.st_mode)) {
      openTemporary(path);
      return;
    }
    if (S_ISDIR(info.st_mode)) fail(EISDIR);
    // A device, a pipe or a socket: written as it is, never replaced.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) fail(errno);
    openDirect(fd, true);
    return;
  }
  fail(ELOOP);
}

OutputFile::~OutputFile() {
  discard();
}

void OutputFile::openTemporary(const std::string& path) {
  final_ = path;
  struct stat old {};
  const bool replacing = ::stat(path.c_str(), &old) == 0;
  std::string pattern = path + ".XXXXXX.tmp";
  const int fd = createTempFile(pattern, 4, slot_);
  if (fd < 0) fail(errno);
  temp_ = pattern;
  if (replacing) {
    ::fchmod(fd, old.st_mode & 07777);
    if (::geteuid() == 0 && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Root keeps the owner where the file system allows it; the mode is kept anyway.
    }
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    const int error = errno;
    ::close(fd);
    fail(error);
  }
}

void OutputFile::openDirect(int fd, bool owned) {
  if (!owned) {
    fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) fail(errno);
  }
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    const int error = errno;
    ::close(fd);
    fail(error);
  }
}

void OutputFile::discard() noexcept {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    unregisterTemp(slot_);
    temp_.clear();
  }
}

void OutputFile::fail(int error) {
  discard();
  throw CommandError("cannot write " + target_ + ": " + std::strerror(error));
}

void OutputFile::commit() {
  if (file_ == nullptr) fail(EBADF);
  if (std::fflush(file_) != 0 || std::ferror(file_)) fail(errno ? errno : EIO);
  if (!temp_.empty() && ::fsync(::fileno(file_)) != 0 && errno != EINVAL) fail(errno);
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) fail(errno);
  if (temp_.empty()) return;
  if (::rename(temp_.c_str(), final_.c_str()) != 0) fail(errno);
  unregisterTemp(slot_);
  temp_.clear();
}

void OutputFile::write(const std::string& text) {
  if (file_ == nullptr) fail(EBADF);
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail(errno);
}

void writeOutputFile(const std::string& target, const std::string& text) {
  OutputFile output(target);
  output.write(text);
  output.commit();
}
