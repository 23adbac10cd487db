#include "qmxmisc/numeric/TMatrix.h"

#include <gtest/gtest.h>

#include <utility>

#include "numeric/TestSupport.h"

TEST(TMatrix, CopiesShareStorageUntilWritten) {
  const double data[] = {1, 2, 3, 4};
  TMatrix<double> a(data, 2, 2), b;
  b = a;
  EXPECT_EQ(std::as_const(b)(1, 1), 4.0);  // const reads never copy
  EXPECT_EQ(a.constData(), b.constData());
  b(0, 1) = 7.0;
  EXPECT_EQ(valuesOf(a), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(valuesOf(b), (std::vector<double>{1, 2, 7, 4}));
  EXPECT_EQ(a.useCount() + b.useCount(), 2u);
  const TMatrix<double> c(a);
  a = TMatrix<double>();
  TMatrix<double> shared(c);
  a.init(shared);
  EXPECT_EQ(c.useCount(), 3u);
  shared.init(3, 1);  // reallocates zeros, leaving the old block to its other users
  EXPECT_EQ(valuesOf(shared), std::vector<double>(3, 0.0));
  EXPECT_EQ(std::as_const(a)(1, 1) + a.useCount(), 6.0);
}

TEST(TMatrix, ResizeKeepsTheOverlapAndItsNames) {
  const double nine[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  TMatrix<double> m(nine, 3, 3), same(nine, 3, 3);
  m.resize(2u, 4u);
  EXPECT_EQ(valuesOf(m), (std::vector<double>{1, 2, 4, 5, 7, 8, 0, 0}));
  const double* before = same.constData();
  same.resize(3u, 3u);
  EXPECT_EQ(same.constData(), before);
  TMatrix<double> named(2, 2, std::vector<std::string>{"r1", "r2"}, {"a", "b"}), copy;
  named.resize(3u, 1u);
  EXPECT_EQ(named.getRowNames().size() * 10 + named.getColNames().size(), 31u);
  EXPECT_EQ(named.getRowNames()[1].str() + named.getRowNames()[2].str(), "r2");
  copy.attach(named);
  copy.setRowNames(strVector());
  EXPECT_EQ(copy.getColNames()[0].str(), "a");
  EXPECT_EQ(copy.getRowNames().size() * 10 + named.getRowNames().size(), 3u);
}

TEST(TMatrix, SubBlocksAndLongOperations) {
  const double data[] = {1, 2, 3, 4, 5, 6, 7, 8, 9}, values[] = {-1, -2};
  TMatrix<double> m(data, 3, 3), v(data, 4L);
  EXPECT_EQ(valuesOf(m.getSub(Index{2, 0}, Index{1})), (std::vector<double>{6, 4}));
  m.setSub(Index{0}, Index{0, 2}, TMatrix<double>(values, 1, 2));
  EXPECT_EQ(m(0, 0) + m(0, 2), -3.0);
  v.setSub(Index{3}, TMatrix<double>(values, 1L));
  EXPECT_EQ(valuesOf(v.getSub(Index{3, 0})), (std::vector<double>{-1, 1}));
  const long a[] = {1, 0, 1, 1}, b[] = {1, 1, 0, 1};
  const TMatrix<long> both = TMatrix<long>(a, 2, 2) & TMatrix<long>(b, 2, 2);
  EXPECT_EQ(std::vector<long>(both.constData(), both.constData() + 4),
            (std::vector<long>{1, 0, 0, 1}));
  // [1 3 5; 2 4 6] * [1 0; 0 1; 1 1] = [6 8; 8 10], in double and in long.
  const double pa[] = {1, 2, 3, 4, 5, 6}, pb[] = {1, 0, 1, 0, 1, 1};
  const long la[] = {1, 2, 3, 4, 5, 6}, lb[] = {1, 0, 1, 0, 1, 1};
  double dc[4] = {};
  long lc[4] = {};
  matrix_prod(pa, pb, 2, 3, 2, dc);
  matrix_prod(la, lb, 2, 3, 2, lc);
  EXPECT_EQ(std::vector<double>(dc, dc + 4), (std::vector<double>{6, 8, 8, 10}));
  EXPECT_EQ(std::vector<long>(lc, lc + 4), (std::vector<long>{6, 8, 8, 10}));
}

TEST(TMatrix, Messages) {
  const double data[] = {1, 2, 3, 4, 5, 6};
  const TMatrix<double> m(data, 2, 3);
  const std::vector<std::string> one{"a"}, two{"a", "b"}, three{"a", "b", "c"};
  expectMessages(
      "TMatrix",
      {{"construct", [](auto& s) { TMatrix<double>(longs(s)[0], longs(s)[1]); }},
       {"init", [](auto& s) { TMatrix<double>(2, 2).init(longs(s)[0], longs(s)[1]); }},
       {"row names", [&](auto&) { TMatrix<double>(2, 2, one, {}); }},
       {"column names", [&](auto&) { TMatrix<double>(2, 2, {}, three); }},
       {"vector names", [&](auto&) { TMatrix<double>(3L, two); }},
       {"setRowNames", [&](auto&) { TMatrix<double>(2, 3).setRowNames(strVector(three)); }},
       {"null data", [](auto&) { TMatrix<double>(static_cast<const double*>(nullptr), 2, 3); }},
       {"element", [&](auto& s) { m(longs(s)[0], longs(s)[1]); }},
       {"index", [&](auto& s) { m[longs(s)[0]]; }},
       {"getSub row",
        [&](auto&) {
          m.getSub(Index{0, 2}, Index{0});
        }},
       {"getSub column", [&](auto&) { m.getSub(Index{0}, Index{5}); }},
       {"getSub vector", [&](auto&) { m.getSub(Index{0}); }},
       {"setSub vector",
        [&](auto&) { TMatrix<double>(data, 6L).setSub(Index{6}, TMatrix<double>(1L)); }},
       {"validate", [](auto&) { TMatrix<double>().validate(); }},
       {"and empty", [](auto&) { TMatrix<long>(2, 2) & TMatrix<long>(); }},
       {"and shape", [](auto&) { TMatrix<long>(2, 3) & TMatrix<long>(3, 2); }}});
}
