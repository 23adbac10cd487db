#include "qmxbase/QMXProcLoader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxbase/QMXPipeline.h"

TEST(QMXProcLoader, CreatesProcsThroughFactories) {
  std::unique_ptr<QMXProc> proc;
  {
    QMXProcLoader loader(QMX_TEST_PROCS_LIBRARY);
    EXPECT_TRUE(loader.hasClass("TestProc"));
    EXPECT_FALSE(loader.hasClass("QMXProcCov"));
    proc = loader.create("TestProc");
    ASSERT_NE(proc, nullptr);
  }
  // The proc outlives the loader: the library stays mapped.
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, 3.5});
  QMXMemorySource source(table);
  QMXPipeline run(*proc, "TestProc");
  run.addInput(source);
  ASSERT_TRUE(run.run()) << run.error();
  QMXPropertyInfo sum("sum");
  ASSERT_TRUE(run.getProperty(sum));
  EXPECT_EQ(sum.answerText(), "6.5");
}

TEST(QMXProcLoader, Errors) {
  const std::string path = QMX_TEST_PROCS_LIBRARY;
  QMXProcLoader loader(path);
  try {
    loader.create("QMXProcNoSuch");
    FAIL() << "no error";
  } catch (const QMXLoadError& e) {
    EXPECT_EQ(std::string(e.what()), "unknown proc class QMXProcNoSuch: " + path +
                                         " has no factory qmx_s_create_QMXProcNoSuch");
  }
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
  ::setenv("QMX_LIBRARY", "/opt/x/libqmxmisc.so", 1);
  EXPECT_EQ(QMXProcLoader::defaultLibraryPath("/build/lib"), "/opt/x/libqmxmisc.so");
  ::setenv("QMX_LIBRARY", "", 1);
  // The test executable has no libqmxmisc.so beside it.
  EXPECT_EQ(QMXProcLoader::defaultLibraryPath("/build/lib"), "/build/lib/libqmxmisc.so");
  ::unsetenv("QMX_LIBRARY");
}
