#include "qmxbase/QMXProcLoader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/ProcHarness.h"

// The unknown class message is checked through qmx run (cases/run.txt).
TEST(QMXProcLoader, CreatesProcsThroughFactories) {
  std::unique_ptr<QMXProc> proc;
  {
    QMXProcLoader loader(QMX_TEST_PROCS_LIBRARY);
    EXPECT_FALSE(loader.hasClass("QMXProcCov"));
    ASSERT_TRUE(loader.hasClass("TestProc"));
    proc = loader.create("TestProc");
  }
  // The proc outlives the loader: the library stays mapped.
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, 3.5});
  const qmxtest::ProcResult run =
      qmxtest::ProcHarness(*proc, "TestProc").input(table).get("sum").run();
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.properties.at("sum"), "6.5");
  try {
    QMXProcLoader missing("/nonexistent/libqmxmisc.so");
    FAIL() << "no error";
  } catch (const QMXLoadError& e) {
    EXPECT_EQ(std::string(e.what()),
              "cannot load the procedures library /nonexistent/libqmxmisc.so: "
              "/nonexistent/libqmxmisc.so: cannot open shared object file: No such file or "
              "directory");
  }
}

TEST(QMXProcLoader, DefaultLibraryPath) {
  // QMX_LIBRARY, when set, wins: every case of cases/run.txt sets it. An empty one does not.
  ::setenv("QMX_LIBRARY", "", 1);
  // The test executable has no libqmxmisc.so beside it.
  EXPECT_EQ(QMXProcLoader::defaultLibraryPath("/build/lib"), "/build/lib/libqmxmisc.so");
  ::unsetenv("QMX_LIBRARY");
}
