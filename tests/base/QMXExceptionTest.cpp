// QMXException: owned copies and shared stores of the message, printf formatting, what().
#include "qmxmisc/base/QMXException.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Exposes the protected storage query.
class ProbeException : public QMXException {
 public:
  using QMXException::QMXException;
  explicit ProbeException(const QMXException& other) : QMXException(other) {}
  bool owned() const { return canDelete(); }
};

TEST(QMXException, OwnedTextsAreCopiedSharedStoresAreShared) {
  std::string text = "column 3 is bad";
  ProbeException owned(text.c_str());
  text[0] = 'X';
  EXPECT_STREQ(owned, "column 3 is bad");
  EXPECT_TRUE(owned.owned());
  EXPECT_STREQ(owned.what(), "column 3 is bad");
  ProbeException none;
  EXPECT_EQ(none.message(), nullptr);
  EXPECT_FALSE(none.owned());
  EXPECT_STREQ(none.what(), "Internal Error");
  // The shared stores keep their address through a copy.
  const QMXFatalException fatal;
  const QMXMemoryException memory;
  const QMXMemoryException sized(123456789L);
  for (const QMXException* shared :
       {static_cast<const QMXException*>(&fatal), static_cast<const QMXException*>(&memory),
        static_cast<const QMXException*>(&sized)}) {
    ProbeException copy(*shared);
    EXPECT_FALSE(copy.owned());
    EXPECT_EQ(copy.message(), shared->message());
  }
  EXPECT_STREQ(memory, "Insufficient memory available");  // the others: QMXProcBoundaryTest
}

TEST(QMXException, AssignmentCopiesBySameRule) {
  QMXException a("first");
  const QMXException b("second");
  a = b;
  EXPECT_STREQ(a, "second");
  EXPECT_NE(a.message(), b.message());
  a = a;
  EXPECT_STREQ(a, "second");
  char buffer[] = "mutable";
  a = buffer;
  buffer[0] = 'X';
  EXPECT_STREQ(a, "mutable");
  a = static_cast<const char*>(nullptr);
  EXPECT_EQ(a.message(), nullptr);
}

TEST(QMXException, ThrowFormatsCompleteTextOfAnyLengthAsAStdException) {
  const std::string longName(5000, 'v');
  try {
    QMX_ThrowException("%s|%d|%ld|%g|%f", longName.c_str(), -7, 1234567890123L, 0.5, 2.25);
    ADD_FAILURE() << "returned";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), longName + "|-7|1234567890123|0.5|2.250000");
  }
}

}  // namespace
