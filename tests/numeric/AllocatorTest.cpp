#include "qmxmisc/numeric/Allocator.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "numeric/TestSupport.h"
#include "qmxmisc/numeric/MatrixStorage.h"
#include "qmxmisc/numeric/Vectors.h"

TEST(Allocator, BlocksAreZeroFilledWithReferenceCountOne) {
  double* block = _TMAllocate<double>(1000);
  EXPECT_EQ(tmRefCount(block), 1u);
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(block[i], 0.0);
  _TMDealloc(block);
  MatrixStorage<long> storage(10);
  MatrixStorage<long> shared = storage;
  EXPECT_EQ(storage.useCount(), 2u);
  shared.get()[3] = 5;
  shared.unshare(10);
  EXPECT_EQ(storage.useCount(), 1u);
  EXPECT_EQ(shared.get()[3], 5);
  shared.get()[3] = 6;
  EXPECT_EQ(storage.get()[3], 5);
}

TEST(Allocator, ConstructAndDestroyInPlace) {
  String* room = _TAllocate<String>(2);
  _TConstruct(room, String("first"));
  _TConstruct(room + 1, String(std::string(100, 'x')));
  EXPECT_EQ(room[0].str(), "first");
  EXPECT_EQ(room[1].size(), 100u);
  _TDestroy(room);
  _TDestroy(room + 1);
  _TDealloc(room);
}

TEST(Allocator, FailuresThrowMemoryExceptionWithByteCount) {
  const std::size_t huge = std::size_t{1} << 50;  // 1 PiB of doubles: no machine has it
  EXPECT_EQ(thrownMessage([&] { _TMAllocate<double>(huge / 8); }),
            "Insufficient memory available for " + std::to_string(huge + 8) + " bytes");
  EXPECT_EQ(thrownMessage([&] { _TAllocate<double>(huge / 8); }),
            "Insufficient memory available for " + std::to_string(huge) + " bytes");
  EXPECT_EQ(thrownMessage([] { _TMalloc(SIZE_MAX / 2); }),
            "Insufficient memory available for " + std::to_string(SIZE_MAX / 2) + " bytes");
  EXPECT_EQ(thrownMessage([] { _TAllocate<double>(SIZE_MAX / 4); }),
            "Insufficient memory available for " + std::to_string(LONG_MAX) + " bytes");
  // 2^25 x 2^25 doubles = 2^53 bytes plus the 8-byte header.
  EXPECT_EQ(thrownMessage([] { DoubleMatrix(1L << 25, 1L << 25); }),
            "Insufficient memory available for " + std::to_string((1L << 53) + 8) + " bytes");
  EXPECT_EQ(thrownMessage([] {
              dVector v;
              v.reserve(std::size_t{1} << 48);
            }),
            "Insufficient memory available for " + std::to_string(std::size_t{1} << 51) + " bytes");
  EXPECT_THROW(_TMAllocate<double>(huge / 8), QMXMemoryException);
  EXPECT_THROW(DoubleMatrix(1L << 33, 2L), QMXMemoryException);
}

TEST(Allocator, ContainersAreStandardSequences) {
  dVector d{1.0, 2.0};
  d.push_back(3.0);
  EXPECT_EQ(d.toStd(), (std::vector<double>{1, 2, 3}));
  lVector l(3, -1);
  static_assert(sizeof(lVector::value_type) == 4);
  static_assert(sizeof(Index::value_type) == 4);
  EXPECT_EQ(l[2], -1);
  const strVector names(std::vector<std::string>{"a", "b"});
  EXPECT_EQ(names[1], String("b"));
  EXPECT_LT(String("a"), String("b"));
  const Index index(std::vector<std::uint32_t>{4, 2});
  EXPECT_EQ(index.size(), 2u);
}
