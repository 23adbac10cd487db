// Allocation-failure injection for QMXProcCov: a replacement global operator new that fails
// the N-th allocation after it is armed, looped over N, checks that a record that cannot be
// allocated gives the proc's message and stops the call before any row is released.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXBufReader.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxmisc/multivariate/QMXProcCov.h"

namespace {

// Allocations left before the one that fails; negative when disarmed.
long gFailCountdown = -1;
long gArmedAllocations = 0;

void* allocate(std::size_t size) {
  if (gFailCountdown >= 0) {
    ++gArmedAllocations;
    if (gFailCountdown-- == 0) throw std::bad_alloc();
  }
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

namespace {

TEST(QMXProcCovAllocation, RecordAllocationFailureStopsTheCallBeforeRelease) {
  QMXMemoryTable table;
  table.addDoubleColumn("a", {1, 2, 3, 4})
      .addDoubleColumn("b", {2, 1, 4, 3})
      .addDoubleColumn("c", {0, 1, 0, 1})
      .addDoubleColumn("d", {5, 6, 8, 7})
      .addDoubleColumn("e", {1, 1, 2, 3});
  long failures = 0;
  for (long n = 0;; ++n) {
    SCOPED_TRACE("failing allocation " + std::to_string(n));
    QMXBuf buf(table.schema(), 4);
    buf.block() = table.block();
    QMXBufReader reader(&buf);
    reader.setRequestRows(4);
    reader.setEOF(true);
    QMXProcCov proc;
    proc.attachInput(&reader);
    proc.setNumRows(4);
    for (const char* col : {"0", "1"}) {
      QMXPropertyInfo prop("define.target.column", {col});
      proc.setProperty(&prop);
    }
    for (const char* col : {"2", "3", "4"}) {
      QMXPropertyInfo prop("define.correlation.column", {col});
      proc.setProperty(&prop);
    }
    proc.init();
    ASSERT_EQ(proc.getError(), nullptr);

    gArmedAllocations = 0;
    gFailCountdown = n;
    proc.execute();
    const bool fired = gFailCountdown < 0;
    gFailCountdown = -1;
    if (!fired) {
      // Every allocation of the call succeeded: the run completed normally.
      EXPECT_FALSE(proc.hasError());
      EXPECT_EQ(reader.releasedTotal(), 4);
      EXPECT_TRUE(proc.isDone());
      break;
    }
    ++failures;
    ASSERT_TRUE(proc.hasError());
    ASSERT_FALSE(proc.getMessages().empty());
    EXPECT_EQ(proc.getMessages().back().text,
              "can't allocate covariance array for 2 targets and 3 correlations");
    EXPECT_EQ(reader.releasedTotal(), 0);
    EXPECT_FALSE(proc.isDone());
  }
  // The record and its five arrays.
  EXPECT_EQ(failures, 6);
}

}  // namespace
