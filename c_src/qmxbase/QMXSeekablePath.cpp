#include "qmxbase/QMXSeekablePath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXGzipFile.h"

namespace {

// The temporary copies of this process by original path; removed when it exits.
class Spools {
 public:
  ~Spools() {
    for (const auto& [path, copy] : copies)
      ::unlink(copy.c_str());
  }
  std::mutex mutex;
  std::map<std::string, std::string> copies;
};

Spools& spools() {
  static Spools instance;
  return instance;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

// Copies everything `in` yields to `out`; false (errno set) when a read or write fails.
bool copyAll(int in, int out) {
  std::vector<char> block(std::size_t{1} << 20);
  for (;;) {
    const ssize_t got = ::read(in, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!writeAll(out, block.data(), static_cast<std::size_t>(got))) return false;
  }
}

// A new empty temporary file in $TMPDIR (else /tmp): its path, and its descriptor in `fd`.
std::string temporaryCopy(const std::string& path, int& fd) {
  const char* dir = std::getenv("TMPDIR");
  std::string copy = std::string(dir && *dir ? dir : "/tmp") + "/qmx_input_XXXXXX";
  fd = ::mkstemp(copy.data());
  if (fd < 0)
    throw QMXDataError("cannot copy " + path + " to a temporary file: " + std::strerror(errno));
  return copy;
}

// The bytes of `path` (a stream) copied to a temporary file.
std::string spool(const std::string& path) {
  const Fd in(path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) throw QMXDataError("cannot open " + path + ": " + std::strerror(errno));
  int fd = -1;
  std::string copy = temporaryCopy(path, fd);
  const Fd out(fd);
  if (!copyAll(in.get(), out.get())) {
    const int error = errno;
    ::unlink(copy.c_str());
    throw QMXDataError("cannot copy " + path + " to a temporary file " + copy + ": " +
                       std::strerror(error));
  }
  return copy;
}

// The decompressed contents of the gzip file `source` (the data `path`) in a temporary file.
std::string gunzip(const std::string& source, const std::string& path) {
  int fd = -1;
  std::string copy = temporaryCopy(path, fd);
  const Fd out(fd);
  try {
    QMXGunzipTo(source, path, out.get());
  } catch (...) {
    ::unlink(copy.c_str());
    throw;
  }
  return copy;
}

// A seekable, uncompressed copy of `path`.
std::string readableCopy(const std::string& path, bool stream) {
  if (!stream) return gunzip(path, path);
  std::string raw = spool(path);
  if (!QMXIsGzipFile(raw)) return raw;
  try {
    std::string plain = gunzip(raw, path);
    ::unlink(raw.c_str());
    return plain;
  } catch (...) {
    ::unlink(raw.c_str());
    throw;
  }
}

}  // namespace

std::string QMXSeekablePath(const std::string& path) {
  struct stat info {};
  const bool stream =
      path == "-" || (::stat(path.c_str(), &info) == 0 &&
                      (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode) || S_ISSOCK(info.st_mode)));
  Spools& all = spools();
  const std::lock_guard<std::mutex> lock(all.mutex);
  auto it = all.copies.find(path);
  if (it != all.copies.end()) return it->second;
  if (!stream && !QMXIsGzipFile(path)) return path;
  return all.copies.emplace(path, readableCopy(path, stream)).first->second;
}
