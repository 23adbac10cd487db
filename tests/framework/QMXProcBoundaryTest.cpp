// qmxBoundary: each exception kind becomes its message through each reporting mode.
#include "qmxmisc/framework/QMXProcBoundary.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Records what a boundary reports, in the shape of a proc's message operations.
struct FakeProc {
  std::vector<std::string> added, set;
  int done = 0;
  bool throwing = false;
  void addError(const char* text) {
    if (throwing) throw std::bad_alloc();
    added.emplace_back(text);
  }
  void setError(const char* text) {
    if (throwing) throw std::bad_alloc();
    set.emplace_back(text);
  }
  void setDone(int value) { done = value; }
};

// Only message operations: a property boundary never needs setDone.
struct FakeObj {
  std::vector<std::string> added;
  void addError(const char* text) { added.emplace_back(text); }
  void setError(const char* text) { added.emplace_back(text); }
};

constexpr const char kFixed[] = "internal error in proceedure during estimation";

TEST(QMXProcBoundary, EachExceptionKindBecomesItsMessage) {
  const std::vector<std::pair<void (*)(), std::vector<std::string>>> cases = {
      {[] {}, {}},
      {[] { QMX_ThrowException("bad column %d of %s", 3, "x"); }, {"bad column 3 of x"}},
      {[] { throw QMXMemoryException(4096L); }, {"Insufficient memory available for 4096 bytes"}},
      {[] { throw QMXFatalException(); }, {"Internal Error"}},
      {[] { throw std::bad_alloc(); }, {"Insufficient memory available"}},
      {[] { throw std::runtime_error("lost"); }, {kFixed}},
      {[] { throw 42; }, {kFixed}},
      {[] { throw QMXException(); }, {kFixed}}};
  for (const auto& [thrower, expected] : cases) {
    SCOPED_TRACE(expected.empty() ? "completes" : expected[0]);
    // Run boundaries mark the proc done; the SetError modes use setError, not addError.
    for (const auto& [mode, setsError, marksDone] :
         {std::tuple{kQMXRunBoundary, false, true}, std::tuple{kQMXPropertyBoundary, false, false},
          std::tuple{kQMXRunBoundarySetError, true, true},
          std::tuple{kQMXPropertyBoundarySetError, true, false}}) {
      FakeProc proc;
      EXPECT_EQ(qmxBoundary(proc, kFixed, mode, thrower), expected.empty());
      EXPECT_EQ(setsError ? proc.set : proc.added, expected);
      EXPECT_TRUE((setsError ? proc.added : proc.set).empty());
      EXPECT_EQ(proc.done, marksDone && !expected.empty() ? 1 : 0);
      proc.throwing = true;  // a failure while reporting is contained
      EXPECT_EQ(qmxBoundary(proc, kFixed, mode, thrower), expected.empty());
    }
    FakeObj obj;
    qmxBoundary(obj, kFixed, kQMXPropertyBoundary, thrower);
    EXPECT_EQ(obj.added, expected);
  }
}

}  // namespace
