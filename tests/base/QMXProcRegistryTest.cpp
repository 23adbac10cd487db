// qmxCreateProc: the factory behind every qmx_s_create_<Class>.
#include "qmxmisc/base/QMXProcRegistry.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <stdexcept>

namespace {

struct BaseProc {
  virtual ~BaseProc() = default;
};

struct GoodProc : BaseProc {
  static inline int live = 0;
  GoodProc() { ++live; }
  ~GoodProc() override { --live; }
};

struct NoMemoryProc : BaseProc {
  NoMemoryProc() { throw std::bad_alloc(); }
};

struct FailingProc : BaseProc {
  FailingProc() { throw std::runtime_error("constructor failed"); }
};

TEST(QMXProcRegistry, FactoryHandsOutTheProcOrNull) {
  BaseProc* out = nullptr;
  std::unique_ptr<BaseProc> created(qmxCreateProc<GoodProc, BaseProc>(&out));
  EXPECT_NE(dynamic_cast<GoodProc*>(created.get()), nullptr);
  EXPECT_EQ(out, created.get());
  created.reset();  // deleted through the base's virtual destructor
  EXPECT_EQ(GoodProc::live, 0);
  EXPECT_NE(std::unique_ptr<BaseProc>(qmxCreateProc<GoodProc, BaseProc>(nullptr)), nullptr);
  BaseProc sentinel;
  out = &sentinel;
  EXPECT_EQ((qmxCreateProc<NoMemoryProc, BaseProc>(&out)), nullptr);
  EXPECT_EQ(out, nullptr);
  out = &sentinel;
  EXPECT_EQ((qmxCreateProc<FailingProc, BaseProc>(&out)), nullptr);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
