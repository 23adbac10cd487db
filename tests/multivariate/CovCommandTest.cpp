// Runs the qmx binary: `qmx cov` against R's values, and its failures (clear message on
// stderr, non-zero exit status, no crash).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "multivariate/CovTestSupport.h"
#include "support/RefCsv.h"
#include "tools/QmxCliRunner.h"

namespace {

using qmxcli::Outcome;
using qmxcli::runQmx;
using qmxcli::tempPath;

// Paths relative to the source directory, where the runner starts qmx.
const std::string kMtcars = "examples/mtcars.csv";

TEST(CovCommand, CsvOutputMatchesR) {
  const Outcome run =
      runQmx("cov " + kMtcars + " --target mpg,hp --with wt,qsec,disp --format csv --chunk-rows 5");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string outPath = tempPath("out.csv");
  std::ofstream(outPath) << run.out;
  const auto got = readRefCells(outPath);
  std::remove(outPath.c_str());
  const auto ref =
      readRefCells(refPath("multivariate", "cov_mtcars.csv"));  // target,with,cov,cor,n
  ASSERT_EQ(got.size(), ref.size());
  EXPECT_EQ(got[0], ref[0]);
  for (std::size_t r = 1; r < ref.size(); ++r) {
    EXPECT_EQ(got[r][0], ref[r][0]);
    EXPECT_EQ(got[r][1], ref[r][1]);
    EXPECT_EQ(got[r][4], ref[r][4]);
    // 1e-12 relative (the output has 15 significant digits).
    for (const std::size_t field : {2u, 3u})
      EXPECT_TRUE(covtest::close(std::stod(got[r][field]), std::stod(ref[r][field]), 1e-12));
  }
}

TEST(CovCommand, TextOutputShowsMatricesMeansAndRows) {
  const Outcome run = runQmx("cov " + kMtcars + " --target mpg --with wt,qsec");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, readRefText("multivariate", "cov_mtcars_text.txt"));
}

// One case per line of tests/ref/multivariate/cov_cli_failures.tsv.
TEST(CovCommand, FailuresExitNonZeroWithAClearMessage) {
  std::ifstream cases(refPath("multivariate", "cov_cli_failures.tsv"));
  std::string line;
  int count = 0;
  while (std::getline(cases, line)) {
    if (line.empty() || line[0] == '#') continue;
    ++count;
    const std::string arguments = line.substr(0, line.find('\t'));
    SCOPED_TRACE(arguments);
    const Outcome run = runQmx(arguments);
    EXPECT_GT(run.status, 0);
    EXPECT_NE(run.err.find(line.substr(arguments.size() + 1) + "\n"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  EXPECT_EQ(count, 5);
}

TEST(CovCommand, HelpShowsAnExample) {
  const Outcome run = runQmx("cov --help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("qmx cov examples/mtcars.csv --target mpg,hp"), std::string::npos)
      << run.out;
}

}  // namespace
