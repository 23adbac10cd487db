// Allocation-failure injection for QMXProcCov: a replacement global operator new that fails
// the N-th allocation after it is armed, looped over N, checks that a record that cannot be
// allocated gives the proc's message and stops the call before any row is released.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "multivariate/CovTestSupport.h"

namespace {

long gFailCountdown = -1;  // allocations left before the one that fails; < 0: disarmed

void* allocate(std::size_t size) {
  if (gFailCountdown >= 0 && gFailCountdown-- == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

TEST(QMXProcCovAllocation, RecordAllocationFailureStopsTheCallBeforeRelease) {
  QMXMemoryTable table;
  for (const char* name : {"a", "b", "c", "d", "e"})
    table.addDoubleColumn(name, {1, 2, 4, static_cast<double>(name[0])});
  long failures = 0;
  for (long n = 0;; ++n) {
    SCOPED_TRACE("failing allocation " + std::to_string(n));
    covtest::ManualCov manual(table, 4, {0, 1}, {2, 3, 4});
    manual.proc.init();
    ASSERT_EQ(manual.proc.getError(), nullptr);
    gFailCountdown = n;
    manual.proc.execute();
    const bool fired = gFailCountdown < 0;
    gFailCountdown = -1;
    if (!fired) {  // every allocation of the call succeeded: the run completed normally
      EXPECT_FALSE(manual.proc.hasError());
      EXPECT_EQ(manual.reader.releasedTotal(), 4);
      EXPECT_TRUE(manual.proc.isDone());
      break;
    }
    ++failures;
    ASSERT_TRUE(manual.proc.hasError());
    EXPECT_EQ(manual.proc.getMessages().back().text,
              "can't allocate covariance array for 2 targets and 3 correlations");
    EXPECT_EQ(manual.reader.releasedTotal(), 0);
    EXPECT_FALSE(manual.proc.isDone());
  }
  EXPECT_EQ(failures, 8);  // the record and its seven arrays
}
