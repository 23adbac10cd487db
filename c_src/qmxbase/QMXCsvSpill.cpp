#include "qmxbase/QMXCsvSpill.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "qmxbase/QMXDataError.h"

namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

// Blocks the termination signals while a file exists under its name.
class SignalBlock {
 public:
  SignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT})
      sigaddset(&set, signal);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalBlock() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

 private:
  sigset_t old_;
};

std::string mib(std::uint64_t bytes) {
  return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB";
}

}  // namespace

QMXCsvSpill::QMXCsvSpill(const std::string& path, const QMXCsvOptions& options, std::size_t columns,
                         std::uint64_t estimate)
    : path_(path),
      separator_(options.separator),
      quote_(options.quote),
      naStrings_(options.naStrings),
      directory_(QMXSpillDirectory()),
      columns_(std::max<std::size_t>(columns, 1)),
      rowsPerBlock_(std::max<std::size_t>(kBlockBytes / 8 / columns_, 1)) {
  struct statvfs disk {};
  if (::statvfs(directory_.c_str(), &disk) == 0) {
    const std::uint64_t free = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
    if (free < estimate)
      throw QMXDataError("not enough free space in " + directory_ +
                         " for a temporary copy of the data: about " + mib(estimate) + " needed, " +
                         mib(free) + " free (set TMPDIR or --temp-dir)");
  }
  std::string name = directory_ + "/qmx-cells-XXXXXX.tmp";
  {
    const SignalBlock block;
    fd_ = ::mkstemps(name.data(), 4);
    if (fd_ < 0) fail("create", errno);
    ::unlink(name.c_str());
  }
  ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
  block_.assign(columns_ * rowsPerBlock_, qmxspill::tagCell(qmxspill::kMissing));
}

QMXCsvSpill::~QMXCsvSpill() {
  if (fd_ >= 0) ::close(fd_);
}

void QMXCsvSpill::fail(const char* what, int error) const {
  throw QMXDataError("cannot " + std::string(what) + " a temporary copy of the data in " +
                     directory_ + ": " + std::strerror(error));
}

void QMXCsvSpill::flush() {
  const char* data = reinterpret_cast<const char*>(block_.data());
  std::size_t size = block_.size() * sizeof(std::uint64_t);
  while (size > 0) {
    const ssize_t put = ::write(fd_, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) fail("write", put < 0 ? errno : ENOSPC);
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  row_ = 0;
}

void QMXCsvSpill::finish(std::vector<std::vector<std::string>> texts,
                         std::vector<bool> textsDropped) {
  if (row_ > 0) flush();
  block_ = {};
  texts_ = std::move(texts);
  textsDropped_ = std::move(textsDropped);
  texts_.resize(columns_);
  textsDropped_.resize(columns_, true);
}

bool QMXCsvSpill::matches(const std::string& path, const QMXCsvOptions& options) const {
  return path == path_ && options.separator == separator_ && options.quote == quote_ &&
         options.naStrings == naStrings_;
}

void QMXCsvSpill::readBlock(std::int64_t blockIdx, std::vector<std::uint64_t>& out) const {
  out.resize(columns_ * rowsPerBlock_);
  char* data = reinterpret_cast<char*>(out.data());
  std::size_t size = out.size() * sizeof(std::uint64_t);
  auto offset = static_cast<off_t>(blockIdx) * static_cast<off_t>(size);
  while (size > 0) {
    const ssize_t got = ::pread(fd_, data, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) fail("read", got < 0 ? errno : EIO);
    data += got;
    size -= static_cast<std::size_t>(got);
    offset += got;
  }
}
