#include "qmxbase/QMXReadSettings.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

std::mutex directoryMutex;
std::string spillDirectory;  // guarded by directoryMutex

std::atomic<int> spillEnabled{-1};     // -1: not decided yet
std::atomic<unsigned> readThreads{0};  // 0: all the cores

}  // namespace

void QMXSetSpillDirectory(const std::string& directory) {
  const std::lock_guard<std::mutex> lock(directoryMutex);
  spillDirectory = directory;
}

std::string QMXSpillDirectory() {
  {
    const std::lock_guard<std::mutex> lock(directoryMutex);
    if (!spillDirectory.empty()) return spillDirectory;
  }
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

void QMXSetSpillEnabled(bool enabled) {
  spillEnabled = enabled ? 1 : 0;
}

bool QMXSpillEnabled() {
  if (spillEnabled < 0) {
    const char* text = std::getenv("QMX_SPILL");
    spillEnabled = text != nullptr && std::string(text) == "0" ? 0 : 1;
  }
  return spillEnabled > 0;
}

void QMXSetReadThreads(unsigned threads) {
  readThreads = threads;
}

unsigned QMXReadThreads() {
  const unsigned set = readThreads;
  // hardware_concurrency reads the affinity mask each time: once is enough.
  static const unsigned cores = std::max(std::thread::hardware_concurrency(), 1u);
  return set > 0 ? set : cores;
}
