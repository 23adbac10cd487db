#include "qmxmisc/base/QMXProcRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>

namespace {

struct BaseProc {
  virtual ~BaseProc() = default;
  virtual int kind() const { return 0; }
};

struct GoodProc : BaseProc {
  static inline int live = 0;
  GoodProc() { ++live; }
  ~GoodProc() override { --live; }
  int kind() const override { return 7; }
};

struct NoMemoryProc : BaseProc {
  NoMemoryProc() { throw std::bad_alloc(); }
};

struct FailingProc : BaseProc {
  FailingProc() { throw std::runtime_error("constructor failed"); }
};

TEST(QMXProcRegistry, FactoryCreatesStoresAndReturnsTheProc) {
  BaseProc* out = nullptr;
  // The caller owns the result and deletes it through the virtual destructor.
  std::unique_ptr<BaseProc> created(qmxCreateProc<GoodProc, BaseProc>(&out));
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(out, created.get());
  EXPECT_EQ(created->kind(), 7);
  EXPECT_EQ(GoodProc::live, 1);
  created.reset();
  EXPECT_EQ(GoodProc::live, 0);

  std::unique_ptr<BaseProc> alone(qmxCreateProc<GoodProc, BaseProc>(nullptr));
  EXPECT_NE(alone, nullptr);
}

TEST(QMXProcRegistry, AllocationFailureLeavesNull) {
  BaseProc sentinel;
  BaseProc* out = &sentinel;
  EXPECT_EQ((qmxCreateProc<NoMemoryProc, BaseProc>(&out)), nullptr);
  EXPECT_EQ(out, nullptr);

  out = &sentinel;
  EXPECT_EQ((qmxCreateProc<FailingProc, BaseProc>(&out)), nullptr);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
