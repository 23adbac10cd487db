#include "qmxmisc/framework/QMXProcBoundary.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Records what a boundary reports, in the shape of a proc's message operations.
struct FakeProc {
  std::vector<std::string> added;
  std::vector<std::string> set;
  int done = 0;
  void addError(const char* text) { added.emplace_back(text); }
  void setError(const char* text) { set.emplace_back(text); }
  void setDone(int value) { done = value; }
};

// Only message operations: a property boundary never needs setDone.
struct FakeObj {
  std::vector<std::string> added;
  void addError(const char* text) { added.emplace_back(text); }
  void setError(const char* text) { added.emplace_back(std::string("set:") + text); }
};

constexpr const char kFixed[] = "internal error in proceedure during estimation";

TEST(QMXProcBoundary, EachExceptionKindBecomesItsMessage) {
  struct Case {
    const char* name;
    void (*thrower)();
    const char* expected;
  };
  const Case cases[] = {
      {"QMXException", [] { QMX_ThrowException("bad column %d of %s", 3, "x"); },
       "bad column 3 of x"},
      {"QMXMemoryException", [] { throw QMXMemoryException(4096L); },
       "Insufficient memory available for 4096 bytes"},
      {"QMXFatalException", [] { throw QMXFatalException(); }, "Internal Error"},
      {"bad_alloc", [] { throw std::bad_alloc(); }, "Insufficient memory available"},
      {"runtime_error", [] { throw std::runtime_error("lost"); }, kFixed},
      {"int", [] { throw 42; }, kFixed},
      {"null message", [] { throw QMXException(); }, kFixed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Run boundaries mark the proc done; the *SetError modes use setError, not addError.
    struct Mode {
      QMXBoundaryAction mode;
      bool setsError;
      int done;
    };
    for (const Mode m :
         {Mode{kQMXRunBoundary, false, 1}, Mode{kQMXPropertyBoundary, false, 0},
          Mode{kQMXRunBoundarySetError, true, 1}, Mode{kQMXPropertyBoundarySetError, true, 0}}) {
      FakeProc proc;
      EXPECT_FALSE(qmxBoundary(proc, kFixed, m.mode, c.thrower));
      EXPECT_EQ(m.setsError ? proc.set : proc.added, std::vector<std::string>{c.expected});
      EXPECT_TRUE((m.setsError ? proc.added : proc.set).empty());
      EXPECT_EQ(proc.done, m.done);
    }
    FakeObj obj;
    EXPECT_FALSE(qmxBoundary(obj, kFixed, kQMXPropertyBoundary, c.thrower));
    ASSERT_EQ(obj.added.size(), 1u);
    EXPECT_EQ(obj.added[0], c.expected);
  }
}

TEST(QMXProcBoundary, CompletedBodyReportsNothing) {
  FakeProc proc;
  int calls = 0;
  EXPECT_TRUE(qmxBoundary(proc, kFixed, kQMXRunBoundary, [&] { ++calls; }));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(proc.added.empty());
  EXPECT_TRUE(proc.set.empty());
  EXPECT_EQ(proc.done, 0);
}

TEST(QMXProcBoundary, FailureWhileReportingIsContained) {
  struct ThrowingProc {
    int done = 0;
    void addError(const char*) { throw std::bad_alloc(); }
    void setError(const char*) { throw std::bad_alloc(); }
    void setDone(int value) { done = value; }
  } proc;
  EXPECT_FALSE(qmxBoundary(proc, kFixed, kQMXRunBoundary, [] { throw 1; }));
}

}  // namespace
