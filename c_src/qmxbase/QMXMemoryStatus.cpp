#include "qmxbase/QMXMemoryStatus.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr std::uint64_t kDefaultBudget = 1ull << 30;

std::uint64_t parseBytes(const char* text) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text) return 0;
  switch (std::toupper(static_cast<unsigned char>(*end))) {
    case 'K':
      return value << 10;
    case 'M':
      return value << 20;
    case 'G':
      return value << 30;
    default:
      return value;
  }
}

std::atomic<std::uint64_t>& budget() {
  static std::atomic<std::uint64_t> value = [] {
    const char* env = std::getenv("QMX_MEMORY_BUDGET");
    const std::uint64_t parsed = env ? parseBytes(env) : 0;
    return parsed > 0 ? parsed : kDefaultBudget;
  }();
  return value;
}

// MemAvailable from /proc/meminfo, in bytes; 0 when it cannot be read.
std::uint64_t osAvailableMemory() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes = 0;
  std::string unit;
  while (meminfo >> key >> kilobytes >> unit) {
    if (key == "MemAvailable:") return kilobytes * 1024;
  }
  return 0;
}

}  // namespace

std::uint64_t QMXMemoryBudget() {
  return budget().load();
}

void QMXSetMemoryBudget(std::uint64_t bytes) {
  budget().store(bytes > 0 ? bytes : kDefaultBudget);
}

std::uint64_t QMXAvailableMemory() {
  const std::uint64_t os = osAvailableMemory();
  const std::uint64_t cap = QMXMemoryBudget();
  if (os == 0) return cap;
  return os < cap ? os : cap;
}
