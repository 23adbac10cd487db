#include "qmxmisc/numeric/Allocator.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/AllocatorInternal.h"

void* _TMalloc(std::size_t bytes) {
  checkAllocationSize(bytes);
  void* room = std::malloc(bytes == 0 ? 1 : bytes);
  if (room == nullptr) throw QMXMemoryException(static_cast<long>(bytes));
  return room;
}

void _TFree(void* room) {
  std::free(room);
}

std::size_t _TByteCount(std::size_t n, std::size_t size) {
  std::size_t bytes = 0;
  if (__builtin_mul_overflow(n, size, &bytes)) throw QMXMemoryException(LONG_MAX);
  return bytes;
}

void checkAllocationSize(std::size_t bytes) {
  // No x86_64 process can map more than its 47-bit user address space; refusing larger
  // requests up front gives the same memory exception under every allocator (sanitizer
  // allocators abort on such requests instead of returning null).
  constexpr std::size_t kMaxRequest = std::size_t{1} << 47;
  if (bytes > kMaxRequest) {
    throw QMXMemoryException(bytes > static_cast<std::size_t>(LONG_MAX) ? LONG_MAX
                                                                        : static_cast<long>(bytes));
  }
}
