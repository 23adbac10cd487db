#include "qmxmisc/base/QMXException.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Exposes the protected storage query for tests.
class ProbeException : public QMXException {
 public:
  using QMXException::QMXException;
  explicit ProbeException(const QMXException& other) : QMXException(other) {}
  bool owned() const { return canDelete(); }
};

TEST(QMXException, OwnedMessagesAreCopiedSharedStoresAreShared) {
  std::string text = "column 3 is bad";
  ProbeException owned(text.c_str());
  EXPECT_TRUE(owned.owned());
  EXPECT_NE(static_cast<const char*>(owned), text.c_str());
  text[0] = 'X';  // the exception holds its own copy
  EXPECT_STREQ(owned, "column 3 is bad");

  QMXFatalException fatal;
  ProbeException fatalCopy(fatal);
  EXPECT_FALSE(fatalCopy.owned());
  EXPECT_EQ(static_cast<const char*>(fatalCopy), static_cast<const char*>(fatal));
  EXPECT_STREQ(fatal, "Internal Error");

  QMXMemoryException memory;
  EXPECT_STREQ(memory, "Insufficient memory available");
  ProbeException memoryCopy(memory);
  EXPECT_FALSE(memoryCopy.owned());

  ProbeException none;
  EXPECT_EQ(static_cast<const char*>(none), nullptr);
  EXPECT_FALSE(none.owned());
}

TEST(QMXException, MemoryExceptionFormatsByteCountIntoSharedBuffer) {
  QMXMemoryException first(123456789L);
  EXPECT_STREQ(first, "Insufficient memory available for 123456789 bytes");
  ProbeException copy(first);
  EXPECT_FALSE(copy.owned());
  EXPECT_EQ(static_cast<const char*>(copy), static_cast<const char*>(first));
}

TEST(QMXException, AssignmentReplacesAndCopiesBySameRule) {
  QMXException a("first");
  QMXException b("second");
  a = b;
  EXPECT_STREQ(a, "second");
  EXPECT_NE(static_cast<const char*>(a), static_cast<const char*>(b));
  a = a;  // self-assignment keeps the text
  EXPECT_STREQ(a, "second");
  a = "literal";
  EXPECT_STREQ(a, "literal");
  char buffer[] = "mutable";
  a = buffer;
  buffer[0] = 'X';
  EXPECT_STREQ(a, "mutable");
  a = static_cast<const char*>(nullptr);
  EXPECT_EQ(static_cast<const char*>(a), nullptr);
}

TEST(QMXException, ThrowFormatsCompleteTextOfAnyLength) {
  const std::string longName(5000, 'v');
  try {
    QMX_ThrowException("%s|%d|%ld|%g|%f", longName.c_str(), -7, 1234567890123L, 0.5, 2.25);
    FAIL() << "QMX_ThrowException returned";
  } catch (const QMXException& e) {
    const std::string expected = longName + "|-7|1234567890123|0.5|2.250000";
    EXPECT_EQ(std::string(e.message()), expected);
  }
}

TEST(QMXException, SubclassesAreCaughtAsTheBase) {
  EXPECT_THROW(throw QMXMemoryException(8L), QMXException);
  EXPECT_THROW(throw QMXFatalException(), QMXException);
}

}  // namespace
