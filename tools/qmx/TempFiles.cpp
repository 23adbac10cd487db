#include "TempFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kSlots = 8;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Each slot is written only while `used` is 0, so a handler never reads a half-written path.
struct Slot {
  char path[PATH_MAX];
  bool directory;
  volatile sig_atomic_t used;
};

Slot slots[kSlots];
bool handlersInstalled = false;

// The entries of the directory open as `fd`, read with the getdents64 system call (opendir
// allocates, which a signal handler must not do).
struct LinuxDirent {
  unsigned long long inode;
  long long offset;
  unsigned short length;
  unsigned char type;
  char name[1];
};

void unlinkEntries(int fd) noexcept {
  alignas(8) char buffer[4096];
  for (;;) {
    const long got = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
    if (got <= 0) return;
    for (long at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const LinuxDirent*>(buffer + at);
      const char* name = buffer + at + offsetof(LinuxDirent, name);
      if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) unlinkat(fd, name, 0);
      at += entry->length;
    }
  }
}

void removeSlots() noexcept {
  for (Slot& slot : slots) {
    if (!slot.used) continue;
    if (slot.directory)
      removeFlatDirectory(slot.path);
    else
      unlink(slot.path);
    slot.used = 0;
  }
}

void onSignal(int signal) {
  removeSlots();
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

void installHandlers() {
  if (handlersInstalled) return;
  handlersInstalled = true;
  for (int signal : kSignals) {
    struct sigaction old {};
    sigaction(signal, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // e.g. nohup: stays ignored
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int other : kSignals)
      sigaddset(&action.sa_mask, other);
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace

void removeFlatDirectory(const char* path) noexcept {
  const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    unlinkEntries(fd);
    close(fd);
  }
  rmdir(path);
}

int registerTemp(const std::string& path, bool directory) {
  if (path.size() >= PATH_MAX) throw std::runtime_error("temporary name too long: " + path);
  installHandlers();
  for (int slotIdx = 0; slotIdx < kSlots; ++slotIdx) {
    Slot& slot = slots[slotIdx];
    if (slot.used) continue;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.directory = directory;
    slot.used = 1;
    return slotIdx;
  }
  throw std::runtime_error("too many temporary files at once");
}

namespace {

// Blocks the cleanup signals for its lifetime: a name is created and registered as one step.
class SignalBlock {
 public:
  SignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals)
      sigaddset(&set, signal);
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalBlock() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  SignalBlock(const SignalBlock&) = delete;
  SignalBlock& operator=(const SignalBlock&) = delete;

 private:
  sigset_t old_;
};

}  // namespace

int createTempFile(std::string& pattern, int suffixLength, int& slot) {
  installHandlers();
  const SignalBlock block;
  const int fd = mkstemps(pattern.data(), suffixLength);
  if (fd < 0) return -1;
  try {
    slot = registerTemp(pattern);
  } catch (...) {
    close(fd);
    unlink(pattern.c_str());
    throw;
  }
  return fd;
}

bool createTempDirectory(std::string& pattern, int& slot) {
  installHandlers();
  const SignalBlock block;
  if (mkdtemp(pattern.data()) == nullptr) return false;
  try {
    slot = registerTemp(pattern, true);
  } catch (...) {
    rmdir(pattern.c_str());
    throw;
  }
  return true;
}

void unregisterTemp(int slot) {
  if (slot >= 0 && slot < kSlots) slots[slot].used = 0;
}
