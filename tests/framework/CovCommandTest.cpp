// Runs the qmx binary: `qmx cov` against R's values, and its failures (clear message on
// stderr, non-zero exit status, no crash).
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "framework/CovTestData.h"

namespace {

struct Outcome {
  int status = -1;  // exit status; -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// CTest runs each test case as its own process, in parallel: temporary files carry the
// process id so that concurrent cases never share one.
std::string tempPath(const std::string& name) {
  return ::testing::TempDir() + "qmx_cov_test_" + std::to_string(::getpid()) + "_" + name;
}

Outcome runQmx(const std::string& arguments) {
  const std::string errPath = tempPath("stderr.txt");
  const std::string command =
      std::string(QMX_TEST_BINARY_DIR "/tools/qmx/qmx ") + arguments + " 2>" + errPath;
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    outcome.out.append(buffer, got);
  const int raw = pclose(pipe);
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(errPath);
  std::stringstream text;
  text << err.rdbuf();
  outcome.err = text.str();
  std::remove(errPath.c_str());
  return outcome;
}

const std::string kRef = QMX_TEST_REF_DIR "/framework/";
const std::string kMtcars = QMX_TEST_REF_DIR "/../../examples/mtcars.csv";

TEST(CovCommand, CsvOutputMatchesR) {
  const Outcome run =
      runQmx("cov " + kMtcars + " --target mpg,hp --with wt,qsec,disp --format csv --chunk-rows 5");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string outPath = tempPath("out.csv");
  std::ofstream(outPath) << run.out;
  const covtest::RefCsv got = covtest::readRefCsv(outPath);
  const covtest::RefCsv ref = covtest::readRefCsv(kRef + "cov_mtcars.csv");
  ASSERT_EQ(got.names, ref.names);
  ASSERT_EQ(got.texts[0], ref.texts[0]);
  ASSERT_EQ(got.texts[1], ref.texts[1]);
  EXPECT_EQ(got.texts[4], ref.texts[4]);
  // 1e-12 relative (the output has 15 significant digits).
  for (const char* field : {"cov", "cor"}) {
    const std::vector<double> a = got.numbers(field), b = ref.numbers(field);
    for (std::size_t r = 0; r < a.size(); ++r)
      EXPECT_TRUE(covtest::near(a[r], b[r], 1e-12))
          << field << " " << r << ": " << a[r] << " vs " << b[r];
  }
}

TEST(CovCommand, TextOutputShowsMatricesMeansAndRows) {
  const Outcome run = runQmx("cov " + kMtcars + " --target mpg --with wt,qsec");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "covariance\n"
            "             wt        qsec\n"
            "mpg    -5.11668     4.50915\n"
            "\n"
            "correlation\n"
            "             wt        qsec\n"
            "mpg   -0.867659    0.418684\n"
            "\n"
            "means\n"
            "  mpg = 20.090625\n"
            "  wt = 3.21725\n"
            "  qsec = 17.84875\n"
            "\n"
            "rows used: 32\n");
}

TEST(CovCommand, FailuresExitNonZeroWithAClearMessage) {
  struct Case {
    std::string arguments;
    std::string message;  // expected somewhere on stderr
  };
  const Case cases[] = {
      {"cov /nonexistent/none.csv --target a --with b",
       "qmx: cannot open /nonexistent/none.csv: No such file or directory\n"},
      {"cov " + kRef + "cov_ragged.csv --target a --with c",
       "qmx: " + kRef + "cov_ragged.csv:3: expected 3 fields but found 2\n"},
      {"cov " + kRef + "cov_text.csv --target a --with name",
       "qmx: column 'name' of " + kRef +
           "cov_text.csv is not numeric (it is a text column); qmx cov needs numeric columns\n"},
      {"cov " + kMtcars + " --target model --with wt",
       "qmx: column 'model' of " + kMtcars +
           " is not numeric (it is a factor column); qmx cov needs numeric columns\n"},
      {"cov " + kMtcars + " --target mpg --with weight",
       "qmx: column 'weight' is not in " + kMtcars +
           "; available columns: model, mpg, cyl, disp, hp, drat, wt, qsec, vs, am, gear, "
           "carb\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome run = runQmx(c.arguments);
    EXPECT_GT(run.status, 0);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
}

TEST(CovCommand, HelpShowsAnExample) {
  const Outcome run = runQmx("cov --help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("qmx cov examples/mtcars.csv --target mpg,hp"), std::string::npos)
      << run.out;
}

}  // namespace
