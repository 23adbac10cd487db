#include "qmxbase/QMXObj.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

TEST(QMXObj, ErrorsAndMessagesAreLoggedInOrder) {
  QMXObj obj;
  std::vector<QMXMessage> heard;
  obj.setMessageListener([&](const QMXMessage& message) { heard.push_back(message); });
  EXPECT_EQ(obj.getError(), nullptr);
  EXPECT_FALSE(obj.hasError());

  obj.addInformation("read 10 rows");
  obj.addWarning("Using default tolerance");
  EXPECT_FALSE(obj.hasError());
  obj.addError("chunk failed");
  EXPECT_TRUE(obj.hasError());
  EXPECT_EQ(obj.getError(), nullptr);  // addError logs, it does not set the error

  obj.setError("bad factor levels given", 0);
  obj.setError("second error");
  ASSERT_NE(obj.getError(), nullptr);
  EXPECT_STREQ(obj.getError(), "bad factor levels given: 0");  // the first error is kept
  obj.addDebug("trace");

  const std::vector<QMXMessage> expected = {
      {QMXMessageKind::Information, "read 10 rows"},
      {QMXMessageKind::Warning, "Using default tolerance"},
      {QMXMessageKind::Error, "chunk failed"},
      {QMXMessageKind::Error, "bad factor levels given: 0"},
      {QMXMessageKind::Error, "second error"},
      {QMXMessageKind::Debug, "trace"},
  };
  EXPECT_EQ(obj.getMessages(), expected);
  EXPECT_EQ(heard, expected);  // the kinds' names are checked through qmx run

  obj.clearMessages();
  EXPECT_EQ(obj.getError(), nullptr);
  EXPECT_FALSE(obj.hasError());
  EXPECT_TRUE(obj.getMessages().empty());
}

TEST(QMXObj, MissingValueConstants) {
  const double na = QMXObj::getDoubleNA();
  const double nan = QMXObj::getDoubleNaN();
  EXPECT_TRUE(QMXObj::isDoubleNA(na));
  EXPECT_FALSE(QMXObj::isDoubleNA(nan));
  EXPECT_FALSE(QMXObj::isDoubleNA(1954.0));
  // Every NaN is missing; numbers and infinities are not.
  for (double x : {na, nan, -nan, std::numeric_limits<double>::signaling_NaN()})
    EXPECT_TRUE(QMXObj::isDoubleNaN(x));
  for (double x : {0.0, -1.5, 1e308, std::numeric_limits<double>::infinity()})
    EXPECT_FALSE(QMXObj::isDoubleNaN(x));
  // R's NA: low word 1954 in an exponent-all-ones double.
  std::uint64_t bits = 0;
  std::memcpy(&bits, &na, sizeof bits);
  EXPECT_EQ(bits & 0xFFFFFFFFu, 1954u);
}

// Non-ASCII bytes become '?', and the text is cut to fit the buffer.
TEST(QMXObj, PlainStringCopies) {
  char out[8];
  for (const auto& [text, size, length, copied] :
       {std::tuple<const char*, long, long, const char*>{"abc", 8, 3, "abc"},
        {"caf\xC3\xA9 x", 8, 6, "caf? x"},
        {"abcdefghij", 8, 7, "abcdefg"},
        {nullptr, 8, 0, ""},
        {"abc", 0, 0, ""}}) {
    EXPECT_EQ(QMXObj::copyUTFToPlainString(text, out, size), length) << (text ? text : "null");
    EXPECT_STREQ(size > 0 ? out : "", copied);
  }
}
