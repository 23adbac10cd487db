#include "qmxmisc/numeric/TMatrix.h"

#include <gtest/gtest.h>

#include <utility>

#include "numeric/TestSupport.h"

TEST(TMatrix, NewMatricesAreZerosOfTheGivenShape) {
  const TMatrix<double> column(4L);
  EXPECT_EQ(column.getNRow(), 4);
  EXPECT_EQ(column.getNCol(), 1);
  const TMatrix<double> m(2, 3);
  EXPECT_TRUE(m.isValid());
  EXPECT_EQ(valuesOf(m), std::vector<double>(6, 0.0));
  const TMatrix<double> empty(0, 0);
  EXPECT_FALSE(empty.isValid());
  EXPECT_EQ(empty.constData(), nullptr);
  const double data[] = {1, 2, 3, 4, 5, 6};
  const TMatrix<double> fromData(data, 2, 3);
  EXPECT_EQ(fromData(1, 2), 6.0);
  EXPECT_EQ(fromData(0, 1), 3.0);
  const TMatrix<long> counts(3, 2);
  EXPECT_EQ(counts(2, 1), 0);
}

TEST(TMatrix, CopiesShareStorageUntilWritten) {
  TMatrix<double> a(2, 2);
  a(0, 0) = 1.0;
  a(1, 1) = 4.0;
  TMatrix<double> b;
  b = a;
  EXPECT_EQ(a.useCount(), 2u);
  EXPECT_EQ(a.constData(), b.constData());
  // Reads through const access never copy.
  EXPECT_EQ(std::as_const(b)(1, 1), 4.0);
  EXPECT_EQ(a.constData(), b.constData());
  b(0, 1) = 7.0;
  EXPECT_NE(a.constData(), b.constData());
  EXPECT_EQ(a(0, 1), 0.0);
  EXPECT_EQ(b(0, 1), 7.0);
  EXPECT_EQ(b(1, 1), 4.0);
  EXPECT_EQ(a.useCount(), 1u);
  EXPECT_EQ(b.useCount(), 1u);

  const TMatrix<double> c(a);
  EXPECT_EQ(c.useCount(), 2u);
  {
    TMatrix<double> d(c);
    EXPECT_EQ(c.useCount(), 3u);
  }
  EXPECT_EQ(c.useCount(), 2u);
  TMatrix<double> empty;
  a = empty;
  EXPECT_FALSE(a.isValid());
  EXPECT_EQ(c.useCount(), 1u);
}

TEST(TMatrix, ResizeKeepsTheOverlap) {
  const double five[] = {1, 2, 3, 4, 5};
  TMatrix<double> v(five, 5L);
  v.resize(2u, 3u);
  EXPECT_EQ(valuesOf(v), (std::vector<double>{1, 2, 3, 4, 5, 0}));

  const double nine[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  TMatrix<double> m(nine, 3, 3);
  m.resize(2u, 4u);
  EXPECT_EQ(valuesOf(m), (std::vector<double>{1, 2, 4, 5, 7, 8, 0, 0}));

  TMatrix<double> same(nine, 3, 3);
  const double* before = same.constData();
  same.resize(3u, 3u);
  EXPECT_EQ(same.constData(), before);

  same.resize(0u, 3u);
  EXPECT_FALSE(same.isValid());
  EXPECT_EQ(same.getNRow(), 0);
  EXPECT_EQ(same.getNCol(), 0);
}

TEST(TMatrix, ResizeTruncatesAndPadsNames) {
  TMatrix<double> m(2, 2, std::vector<std::string>{"r1", "r2"}, std::vector<std::string>{"a", "b"});
  m.resize(3u, 1u);
  ASSERT_EQ(m.getRowNames().size(), 3u);
  EXPECT_EQ(m.getRowNames()[1].str(), "r2");
  EXPECT_EQ(m.getRowNames()[2].str(), "");
  ASSERT_EQ(m.getColNames().size(), 1u);
  EXPECT_EQ(m.getColNames()[0].str(), "a");

  TMatrix<double> unnamed(2, 2);
  unnamed.resize(3u, 3u);
  EXPECT_TRUE(unnamed.getRowNames().empty());

  TMatrix<double> empty;
  empty.resize(2u, 2u);
  EXPECT_TRUE(empty.isValid());
  EXPECT_EQ(valuesOf(empty), std::vector<double>(4, 0.0));
}

TEST(TMatrix, AttachCopiesOnlyMatchingNames) {
  TMatrix<double> named(2, 1, std::vector<std::string>{"x", "y"}, std::vector<std::string>{"c"});
  TMatrix<double> copy;
  copy.attach(named);
  ASSERT_EQ(copy.getRowNames().size(), 2u);
  EXPECT_EQ(copy.getColNames()[0].str(), "c");
  copy.setRowNames(strVector());
  EXPECT_TRUE(copy.getRowNames().empty());
  EXPECT_EQ(named.getRowNames().size(), 2u);
}

TEST(TMatrix, InitReallocatesZeros) {
  const double data[] = {1, 2, 3, 4};
  TMatrix<double> m(data, 2, 2, std::vector<std::string>{"a", "b"}, {});
  TMatrix<double> shared(m);
  m.init(3, 1);
  EXPECT_EQ(valuesOf(m), std::vector<double>(3, 0.0));
  EXPECT_TRUE(m.getRowNames().empty());
  EXPECT_EQ(shared(1, 1), 4.0);
  EXPECT_EQ(shared.useCount(), 1u);
  m.init(shared);
  EXPECT_EQ(m.useCount(), 2u);
}

TEST(TMatrix, SubBlocksReadAndWriteByIndex) {
  const double data[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  TMatrix<double> m(data, 3, 3);
  const TMatrix<double> block = m.getSub(Index{2, 0}, Index{1});
  EXPECT_EQ(valuesOf(block), (std::vector<double>{6, 4}));
  const double values[] = {-1, -2};
  m.setSub(Index{0}, Index{0, 2}, TMatrix<double>(values, 1, 2));
  EXPECT_EQ(m(0, 0), -1.0);
  EXPECT_EQ(m(0, 2), -2.0);
  TMatrix<double> v(data, 4L);
  v.setSub(Index{3}, TMatrix<double>(values, 1L));
  EXPECT_EQ(valuesOf(v.getSub(Index{3, 0})), (std::vector<double>{-1, 1}));
}

TEST(TMatrix, LongMatricesAndWithBitwiseAnd) {
  const long a[] = {1, 0, 1, 1};
  const long b[] = {1, 1, 0, 1};
  const TMatrix<long> both = TMatrix<long>(a, 2, 2) & TMatrix<long>(b, 2, 2);
  EXPECT_EQ(both(0, 0), 1);
  EXPECT_EQ(both(1, 0), 0);
  EXPECT_EQ(both(0, 1), 0);
  EXPECT_EQ(both(1, 1), 1);
}

TEST(TMatrix, MatrixProductOfArrays) {
  // [1 3 5; 2 4 6] * [1 0; 0 1; 1 1] = [6 8; 8 10]
  const double a[] = {1, 2, 3, 4, 5, 6};
  const double b[] = {1, 0, 1, 0, 1, 1};
  double c[4] = {};
  matrix_prod(a, b, 2, 3, 2, c);
  EXPECT_EQ(std::vector<double>(c, c + 4), (std::vector<double>{6, 8, 8, 10}));
  const long la[] = {1, 2, 3, 4, 5, 6};
  const long lb[] = {1, 0, 1, 0, 1, 1};
  long lc[4] = {};
  matrix_prod(la, lb, 2, 3, 2, lc);
  EXPECT_EQ(std::vector<long>(lc, lc + 4), (std::vector<long>{6, 8, 8, 10}));
}

TEST(TMatrix, Messages) {
  const double data[] = {1, 2, 3, 4, 5, 6};
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[] { TMatrix<double>(0, 3); }, "Number of rows/columns of a matrix cannot be zero"},
      {[] { TMatrix<double>(2, 0); }, "Number of rows/columns of a matrix cannot be zero"},
      {[] { TMatrix<double>(2, 2).init(0, 2); },
       "Number of rows/columns of a matrix cannot be zero"},
      {[] { TMatrix<double>(2, 2).init(-1, 2); },
       "Number of rows/columns of a matrix cannot be zero"},
      {[] { TMatrix<double>(2, 2, std::vector<std::string>{"a"}, {}); },
       "Length of row names 1 does not match the number of rows"},
      {[] {
         TMatrix<double>(2, 2, {}, std::vector<std::string>{"a", "b", "c"});
       },
       "Length of column names 3 does not match the number of columns"},
      {[] {
         TMatrix<double>(3L, std::vector<std::string>{"a", "b"});
       },
       "Length of row names 2 does not match the number of rows"},
      {[] {
         TMatrix<double>(2, 3).setRowNames(strVector{"a", "b", "c"});
       },
       "Length of row names 3 does not match the matrix dimension 2"},
      {[] { TMatrix<double>(static_cast<const double*>(nullptr), 2, 3); }, "Invalid data."},
      {[&] {
         const TMatrix<double> m(data, 2, 3);
         m(2, 0);
       },
       "Zero based row index 2 exceeds the number of rows 2"},
      {[&] { TMatrix<double>(data, 2, 3)(1, 3); },
       "Zero based column index 3 exceeds the number of columns 3"},
      {[&] { TMatrix<double>(data, 2, 3)(-1, 0); },
       "Zero based row index -1 exceeds the number of rows 2"},
      {[&] { TMatrix<double>(data, 2, 3)[6]; },
       "Zero based index 6 exceeds the number of elements 6"},
      {[&] {
         TMatrix<double>(data, 2, 3).getSub(Index{0, 2}, Index{0});
       },
       "Bad row index 2, matrix has 2 rows"},
      {[&] { TMatrix<double>(data, 2, 3).getSub(Index{0}, Index{5}); },
       "Bad column index 5, matrix has 3 columns"},
      {[&] { TMatrix<double>(data, 2, 3).getSub(Index{0}); }, "Matrix is not a column vector"},
      {[&] { TMatrix<double>(data, 6L).setSub(Index{6}, TMatrix<double>(1L)); },
       "Bad row index 6, matrix has 6 rows"},
      {[] { TMatrix<double>().validate(); }, "bad DoubleMatrix"},
      {[] { TMatrix<long>(2, 2) & TMatrix<long>(); }, "Invalid matrix operation"},
      {[] { TMatrix<long>(2, 3) & TMatrix<long>(3, 2); },
       "Incompatable matrix dimensions for operation, A(2,3)&B(3,2)"},
  };
  for (const auto& [action, message] : cases)
    EXPECT_EQ(thrownMessage(action), message);
}
