#include "qmxbase/QMXGzipFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "qmxbase/QMXDataError.h"

namespace {

struct GzCloser {
  void operator()(gzFile file) const { gzclose(file); }
};
using GzHandle = std::unique_ptr<std::remove_pointer_t<gzFile>, GzCloser>;

constexpr unsigned kBlockBytes = 1u << 20;

}  // namespace

bool QMXIsGzipFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char magic[2] = {0, 0};
  ssize_t got = 0;
  do {
    got = ::pread(fd, magic, sizeof magic, 0);
  } while (got < 0 && errno == EINTR);
  ::close(fd);
  return got == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

void QMXGunzipTo(const std::string& path, const std::string& name, int outFd) {
  // zlib's messages start with the path it opened.
  const auto fail = [&name, &path](std::string reason) {
    if (reason.rfind(path + ": ", 0) == 0) reason.erase(0, path.size() + 2);
    throw QMXDataError("cannot decompress " + name + ": " + reason);
  };
  const GzHandle in(gzopen(path.c_str(), "rb"));
  if (!in) fail(std::strerror(errno));
  gzbuffer(in.get(), kBlockBytes);
  std::vector<char> block(kBlockBytes);
  for (;;) {
    const int got = gzread(in.get(), block.data(), kBlockBytes);
    if (got < 0) {
      int code = 0;
      const char* reason = gzerror(in.get(), &code);
      fail(code == Z_ERRNO ? std::strerror(errno) : reason);
    }
    if (got == 0) break;
    const char* data = block.data();
    std::size_t left = static_cast<std::size_t>(got);
    while (left > 0) {
      const ssize_t put = ::write(outFd, data, left);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) fail(std::string("writing the temporary copy: ") + std::strerror(errno));
      data += put;
      left -= static_cast<std::size_t>(put);
    }
  }
  // gzread reports a file cut short only through gzerror after the last read.
  int code = 0;
  const char* reason = gzerror(in.get(), &code);
  if (code != Z_OK && code != Z_BUF_ERROR) fail(reason);
  if (code == Z_BUF_ERROR) fail("the compressed data ends early (truncated file)");
}
