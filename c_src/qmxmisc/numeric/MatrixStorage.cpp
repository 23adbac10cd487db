#include "qmxmisc/numeric/MatrixStorage.h"

#include <climits>
#include <cstdlib>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/Allocator.h"
#include "qmxmisc/numeric/AllocatorInternal.h"

namespace {
// Two 32-bit header words: a reserved word, then the reference count.
constexpr std::size_t kHeaderBytes = 2 * sizeof(std::uint32_t);
}  // namespace

void* tmAllocateBlock(std::size_t n, std::size_t elementSize) {
  std::size_t bytes = _TByteCount(n, elementSize);
  if (bytes > SIZE_MAX - kHeaderBytes) throw QMXMemoryException(LONG_MAX);
  bytes += kHeaderBytes;
  checkAllocationSize(bytes);
  // calloc zero-fills the header and every element (0.0 and 0 are all-bits-zero).
  auto* header = static_cast<std::uint32_t*>(std::calloc(1, bytes));
  if (header == nullptr) throw QMXMemoryException(static_cast<long>(bytes));
  header[1] = 1;
  return header + 2;
}

void tmDeallocBlock(void* first) {
  if (first == nullptr) return;
  std::free(static_cast<std::uint32_t*>(first) - 2);
}
