#include "qmxmisc/numeric/Allocator.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "numeric/TestSupport.h"
#include "qmxmisc/numeric/MatrixStorage.h"
#include "qmxmisc/numeric/Vectors.h"

static_assert(sizeof(lVector::value_type) == 4 && sizeof(Index::value_type) == 4);

TEST(Allocator, BlocksAreZeroFilledAndUnshareCopies) {
  double* block = _TMAllocate<double>(1000);
  EXPECT_EQ(std::vector<double>(block, block + 1000), std::vector<double>(1000, 0.0));
  EXPECT_EQ(tmRefCount(block), 1u);
  _TMDealloc(block);
  MatrixStorage<long> storage(10), shared = storage;
  shared.get()[3] = 5;
  shared.unshare(10);
  shared.get()[3] = 6;
  EXPECT_EQ(storage.get()[3] + storage.useCount() + shared.useCount(), 7);
}

// The byte counts include the 8-byte reference-count header of matrix blocks.
TEST(Allocator, FailuresThrowMemoryExceptionWithByteCount) {
  const std::size_t huge = std::size_t{1} << 50;  // 1 PiB of doubles: no machine has it
  const auto message = [](auto bytes) {
    return "Insufficient memory available for " + std::to_string(bytes) + " bytes";
  };
  EXPECT_EQ(thrownMessage([&] { _TMAllocate<double>(huge / 8); }), message(huge + 8));
  EXPECT_EQ(thrownMessage([&] { _TAllocate<double>(huge / 8); }), message(huge));
  EXPECT_EQ(thrownMessage([] { _TMalloc(SIZE_MAX / 2); }), message(SIZE_MAX / 2));
  EXPECT_EQ(thrownMessage([] { _TAllocate<double>(SIZE_MAX / 4); }), message(LONG_MAX));
  EXPECT_EQ(thrownMessage([] { DoubleMatrix(1L << 25, 1L << 25); }), message((1L << 53) + 8));
  EXPECT_EQ(thrownMessage([] { dVector().reserve(std::size_t{1} << 48); }),
            message(std::size_t{1} << 51));
  EXPECT_THROW(DoubleMatrix(1L << 33, 2L), QMXMemoryException);
}
