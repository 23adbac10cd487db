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

TEST(RunCommand, SetsRunsAndGets) {
  const auto dir = scratchDir();
  {
    std::ofstream data(dir / "in.csv");
    data << "name,x,y,g\na,1,10,u\nb,2,NA,v\nc,3.5,30,u\nd,4,40,\ne,5,50,v\n";
    std::ofstream doc(dir / "doc.xml");
    doc << "<doc a=\"1,2\">\n  <b/>\n</doc>\n";
  }
  const std::string in = "--input '" + (dir / "in.csv").string() + "'";
  {
    const Result result =
        qmxRun("TestProc " + in + " --set sum.column=1 --chunk-rows 2 --get sum --get rows");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "sum=15.5\nrows=5\n");
    EXPECT_EQ(result.err, "");
  }
  {
    // Values: a chain, a file's contents, none; messages by kind, debug only with -v.
    const Result result =
        qmxRun("TestProc " + in + " --set sum.column=2 --set 'label=@" +
               (dir / "doc.xml").string() + "' --set note --get label --get echo=1,x,,2 --get sum");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "label=<doc a=\"1,2\">\n  <b/>\n</doc>\n\necho[1,x,,2]=1|x||2\nsum=130\n");
    EXPECT_EQ(result.err, "info: note received\nwarning: Using default note\n");
    const Result verbose = qmxRun("TestProc " + in + " --set note -v");
    EXPECT_EQ(verbose.err,
              "info: note received\nwarning: Using default note\ndebug: note traced\n");
  }
  {
    // Column 0 is the factor "name" (levels a..e): each pass sums the codes 0..4.
    const Result result =
        qmxRun("TestMultiPassProc " + in + " --chunk-rows 3 --get pass.sum=0 --get pass.sum=2");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "pass.sum[0]=10\npass.sum[2]=10\n");
  }
  {
    const Result result = qmxRun("TestNoReleaseProc " + in);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "error: proc TestNoReleaseProc made no progress: 3 calls to execute released no "
              "rows, wrote no rows and did not finish\n");
  }
}

TEST(RunCommand, WritesOutputOnlyOnSuccess) {
  const auto dir = scratchDir();
  {
    std::ofstream data(dir / "in.csv");
    data << "x,g\n1,u\n3,v\nNA,u\n4,\n";
  }
  const std::string in = "--input '" + (dir / "in.csv").string() + "'";
  const auto out = dir / "out.csv";
  std::filesystem::remove(out);
  const std::string columns = " --output '" + out.string() +
                              "' --output-column twice --output-column size:factor" +
                              " --output-column g:string";
  for (const char* chunk : {"1", "3", "100"}) {
    const Result result = qmxRun("TestCopyProc " + in + columns + " --chunk-rows " + chunk);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(slurp(out), "twice,size,g\n2,small,u\n6,big,v\nNA,NA,u\n8,big,NA\n") << chunk;
  }
  std::filesystem::remove(out);
  const Result failed = qmxRun("TestCopyProc " + in + columns + " --set fail.at.row=2");
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, "error: bad row: 2\n");
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_FALSE(std::filesystem::exists(out.string() + ".tmp"));
}
