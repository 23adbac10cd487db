#include "AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "Commands.h"

namespace {

// Removes the temporary file unless the write completed and renamed it.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  ~TempFileGuard() {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  void release() { path_.clear(); }

 private:
  std::string path_;
};

}  // namespace

void writeFileAtomically(const std::string& output,
                         const std::function<bool(std::ostream&)>& write) {
  const std::string temp = output + ".tmp";
  TempFileGuard guard(temp);
  std::ofstream out(temp, std::ios::binary | std::ios::trunc);
  if (!out) throw CommandError("cannot write " + temp + ": " + std::strerror(errno));
  const bool written = write(out);
  out.close();
  if (!written || out.fail()) throw CommandError("cannot write " + temp + ": write failed");
  if (std::rename(temp.c_str(), output.c_str()) != 0)
    throw CommandError("cannot rename " + temp + " to " + output + ": " + std::strerror(errno));
  guard.release();
}
