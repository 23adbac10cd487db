// qmx run as a user sees it: the qmx executable against the test procs library.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One directory per test case: CTest runs cases in parallel.
std::filesystem::path scratchDir() {
  auto dir = std::filesystem::path(QMX_TEST_BINARY_DIR) / "run-command-test" /
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::filesystem::create_directories(dir);
  return dir;
}

// Runs `qmx run <arguments>` with the test procs library.
Result qmxRun(const std::string& arguments) {
  const auto dir = scratchDir();
  const std::string command =
      std::string("QMX_LIBRARY='") + QMX_TEST_PROCS_LIBRARY + "' '" + QMX_EXECUTABLE + "' run " +
      arguments + " >'" + (dir / "out.txt").string() + "' 2>'" + (dir / "err.txt").string() + "'";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out.txt"), slurp(dir / "err.txt")};
}

}  // namespace

TEST(RunCommand, ErrorsGoToStderrWithTheirKind) {
  struct Case {
    std::string arguments;
    int status;
    std::string err;
  };
  const std::string library = QMX_TEST_PROCS_LIBRARY;
  const Case cases[] = {
      {"NoSuchProc", 2,
       "qmx: unknown proc class NoSuchProc: " + library +
           " has no factory qmx_s_create_NoSuchProc\n"},
      {"TestProc --set sum.column=abc", 1, "error: property sum.column: 'abc' is not an integer\n"},
      {"TestProc --set no.such.property=1", 1, "error: unknown property no.such.property\n"},
      {"TestProc", 1, "error: this proc takes 1 input buffer, 0 were attached\n"},
      {"TestProc --chunk-rows 0", 1, "qmx: --chunk-rows must be at least 1, not 0\n"},
      {"TestProc --output o.csv", 1, "qmx: --output needs at least one --output-column\n"},
      {"TestProc --output o.csv --output-column x:int", 1,
       "qmx: --output-column x:int: type must be double, factor or string\n"},
  };
  for (const Case& c : cases) {
    const Result result = qmxRun(c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments;
    EXPECT_EQ(result.err, c.err) << c.arguments;
    EXPECT_EQ(result.out, "") << c.arguments;
  }
}

TEST(RunCommand, HelpShowsExamples) {
  const Result result = qmxRun("--help");
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("Examples:"), std::string::npos);
  EXPECT_NE(result.out.find("--get name=i,j"), std::string::npos);
}
