// FactorInfo: level, count and value lookups, resize, compare, erase and empty.
#include "qmxmisc/model/FactorInfo.h"

#include <gtest/gtest.h>

#include "model/ModelMatrixTestSupport.h"

TEST(FactorInfo, LookupsAndTheirMessages) {
  FactorInfo f = modeltest::factor("f", {"a", "b", "c"});
  const FactorInfo& cf = f;
  EXPECT_EQ(f.length(), 3);
  EXPECT_TRUE(f.valid());
  EXPECT_FALSE(f.hasCounts());
  EXPECT_EQ(cf.level(2), String("c"));
  EXPECT_EQ(thrownMessage([&] { (void)cf.level(3); }), "bad index 3");
  EXPECT_EQ(thrownMessage([&] { (void)f.level(-1); }), "Bad index -1");
  f.setCounts(std::vector<long>{4, 5, 6});
  EXPECT_TRUE(f.hasCounts());
  EXPECT_EQ(f.N(), 15);
  EXPECT_EQ(thrownMessage([&] { (void)f.count(3); }), "Bad index 3");
  f.setValues(std::vector<double>{0.5, 1.5});
  EXPECT_FALSE(f.hasValues());  // two values for three levels
  EXPECT_EQ(thrownMessage([&] { (void)f.value(2); }), "Bad index");
  EXPECT_EQ(f.matrixCoding(), MatrixCoding::kIndicator);
}

TEST(FactorInfo, ResizeKeepsOptionalPartsOptional) {
  FactorInfo f = modeltest::factor("f", {"a", "b"});
  f.resize(4);
  EXPECT_EQ(f.length(), 4);
  EXPECT_EQ(f.level(3), String(""));
  EXPECT_TRUE(f.counts().empty());  // absent counts stay absent
  f.setCounts(std::vector<long>{1, 2, 3, 4});
  f.setValues(std::vector<double>{1, 2, 3, 4});
  f.resize(5);
  EXPECT_EQ(f.count(4), 0);
  EXPECT_EQ(f.value(4), 0.0);
  f.resize(0);
  EXPECT_TRUE(f.levels().empty());
  EXPECT_TRUE(f.counts().empty());
  EXPECT_TRUE(f.values().empty());
  EXPECT_FALSE(f.valid());
  EXPECT_EQ(thrownMessage([&] { f.resize(-1); }), "Bad length");
}

TEST(FactorInfo, CompareEraseAndEmpty) {
  FactorInfo f = modeltest::factor("mid", {"a"});
  EXPECT_EQ(f.compare("mid"), 0);
  EXPECT_LT(f.compare("zzz"), 0);
  EXPECT_GT(f.compare("aaa"), 0);
  EXPECT_NE(f.compare(nullptr), 0);
  f.empty();
  EXPECT_EQ(f.name(), String("mid"));
  EXPECT_EQ(f.length(), 0);
  f.erase();
  EXPECT_TRUE(f.name().empty());
  EXPECT_NE(f.compare(""), 0);  // an empty name never compares equal
}
