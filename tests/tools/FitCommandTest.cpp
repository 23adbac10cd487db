// qmx fit end to end: the checks made before the proc runs (options, response against the
// family, formula and family names), each as a "qmx: ..." message with its exit status and no
// output file (nor temporary file) left behind.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
  int status = -1;  // exit status; -1 when the process did not exit normally
  std::string out;
  std::string err;
};

const std::string kSource = QMX_TEST_SOURCE_DIR;

// Per-process names: CTest runs the cases in parallel as separate processes.
std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "qmx_fit_test_" + std::to_string(::getpid()) + "_" + name;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// Runs qmx with `arguments` (already quoted for the shell) from the source directory.
Outcome runQmx(const std::string& arguments) {
  const std::string errPath = tempPath("stderr.txt");
  const std::string command =
      "cd " + kSource + " && " + QMX_EXECUTABLE + " " + arguments + " 2>" + errPath;
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    outcome.out.append(buffer, got);
  const int raw = pclose(pipe);
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.err = readFile(errPath);
  std::remove(errPath.c_str());
  return outcome;
}

}  // namespace

TEST(FitCommand, Failures) {
  const std::string output = tempPath("failed.xml");
  struct Case {
    std::string arguments, message;
  };
  const std::vector<Case> cases = {
      {"lm examples/nothing.csv --formula 'y ~ x'",
       "qmx: cannot open examples/nothing.csv: No such file or directory\n"},
      {"lm examples/mtcars.csv --formula 'mpg ~ wt' --summary-format xml",
       "qmx: --summary-format takes text or csv, not 'xml'\n"},
      {"lm examples/mtcars.csv --formula 'mpg ~ wt' --chunk-rows 0",
       "qmx: --chunk-rows must be at least 1\n"},
      {"glm examples/mtcars.csv --formula 'am ~ wt' --family binomial --max-iterations 0",
       "qmx: --max-iterations must be at least 1\n"},
      {"glm examples/mtcars.csv --formula 'am ~ wt' --family binomial --epsilon 0",
       "qmx: --epsilon must be positive\n"},
      {"lm examples/mtcars.csv --formula 'mpg ~ wt +'",
       "qmx: formula \"mpg ~ wt +\", position 11: expected a term\n"},
      {"lm examples/mtcars.csv --formula '~ wt'", "qmx: the formula has no response\n"},
      {"glm examples/mtcars.csv --formula 'mpg ~ wt' --family binomial",
       "qmx: binomial response 'mpg' must lie between 0 and 1 (it ranges from 10.4 to 33.9)\n"},
      {"glm examples/iris.csv --formula 'Species ~ Petal.Width' --family binomial",
       "qmx: response 'Species' is a factor with 3 levels; only the binomial family takes a "
       "factor response, with two levels\n"},
      {"lm examples/mtcars.csv --formula 'model ~ wt'",
       "qmx: response 'model' is a factor with 32 levels; only the binomial family takes a "
       "factor response, with two levels\n"},
      {"glm examples/mtcars.csv --formula 'am ~ wt' --family logistic",
       "qmx: unknown family 'logistic'; accepted: gaussian, binomial, poisson, gamma, "
       "inverse.gaussian, quasi\n"},
      {"glm examples/mtcars.csv --formula 'mpg ~ wt' --family gamma --link logit",
       "qmx: link function is incompatible with Gamma Family\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome run = runQmx("fit " + c.arguments + " -o " + output);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(exists(output));
    EXPECT_FALSE(exists(output + ".tmp"));
  }
  // A required option left out is a usage error of the command-line parser.
  EXPECT_NE(runQmx("fit glm examples/mtcars.csv --formula 'am ~ wt' -o " + output).status, 0);
  EXPECT_NE(runQmx("fit examples/mtcars.csv --formula 'am ~ wt' -o " + output).status, 0);
  EXPECT_FALSE(exists(output));
}

TEST(FitCommand, ProcMustBeInTheLibrary) {
  // Until the library registers the regression procs, the fit stops before reading data.
  const std::string output = tempPath("fit.xml");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"lm examples/mtcars.csv --formula 'mpg ~ wt + hp'", "QMXProcILM"},
      {"glm examples/mtcars.csv --formula 'am ~ wt' --family binomial", "QMXProcIGLM"},
  };
  for (const auto& [arguments, className] : cases) {
    SCOPED_TRACE(arguments);
    const Outcome run = runQmx("fit " + arguments + " -o " + output);
    if (run.status == 0) GTEST_SKIP() << className << " is available";
    EXPECT_EQ(run.status, 2);
    const std::string prefix = "qmx: the procedure " + className + " is not available yet in ";
    EXPECT_EQ(run.err.substr(0, prefix.size()), prefix) << run.err;
    EXPECT_FALSE(exists(output));
  }
}
