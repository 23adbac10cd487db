// HostString: a text the proc keeps as its own copy of a host text.
#include "qmxmisc/predict/HostString.h"

#include <gtest/gtest.h>

#include <string>

TEST(HostString, KeepsItsOwnCopy) {
  std::string source = "level";
  HostString kept(source.c_str());
  source[0] = 'X';
  EXPECT_STREQ(kept.get(), "level");

  HostString copy(kept);
  EXPECT_STREQ(copy.get(), "level");
  EXPECT_NE(copy.get(), kept.get());

  HostString assigned;
  assigned = copy;
  EXPECT_STREQ(assigned.get(), "level");
  EXPECT_NE(assigned.get(), copy.get());
}

TEST(HostString, NullStaysNull) {
  HostString none(nullptr);
  EXPECT_EQ(none.get(), nullptr);
  EXPECT_STREQ(none.c_str(), "");
  HostString copy(none);
  EXPECT_EQ(copy.get(), nullptr);
  HostString empty("");
  ASSERT_NE(empty.get(), nullptr);
  EXPECT_STREQ(empty.get(), "");
}
