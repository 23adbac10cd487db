// qmx package end to end: a model fitted by qmx fit lm becomes a C scoring package that the
// system C compiler builds and that scores the data file; the command's messages. (The
// package's numbers are checked against the scoring proc in tests/glm/GLMFitCSourceTest.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "QmxCliRunner.h"

using qmxcli::exists;
using qmxcli::Outcome;
using qmxcli::readFile;
using qmxcli::runQmx;
using qmxcli::tempPath;

namespace {

// examples/mtcars.csv without the car names and the quotes: the package's reader takes plain
// comma-separated fields.
std::string writePlainMtcars() {
  std::istringstream in(readFile(qmxcli::kSource + "/examples/mtcars.csv"));
  std::string text, line;
  while (std::getline(in, line)) {
    std::string plain;
    for (const char c : line.substr(line.find(',') + 1))
      if (c != '"') plain += c;
    text += plain + "\n";
  }
  const std::string path = tempPath("mtcars_plain.csv");
  std::ofstream(path) << text;
  return path;
}

}  // namespace

TEST(PackageCommand, FittedModelBecomesACompiledScoringProgram) {
  if (std::system("cc --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no system C compiler";
  const std::string data = writePlainMtcars();
  const std::string model = tempPath("lm.xml");
  const std::string dist = tempPath("lm_package");
  ASSERT_EQ(runQmx("fit lm " + data + " --formula 'mpg ~ wt + hp' -o " + model).status, 0);
  const Outcome packaged = runQmx("package " + model + " -o " + dist);
  ASSERT_EQ(packaged.status, 0) << packaged.err;
  EXPECT_EQ(packaged.out, "wrote the C scoring package of " + model + " to " + dist + "\n");
  for (const char* file : {"readme.txt", "VTObjects.h", "VTObjects.c", "VTLinearRegression.h",
                           "VTLinearRegression.c", "main.c", "model.txt"})
    EXPECT_TRUE(exists(dist + "/" + file)) << file;
  const std::string build = "cd " + dist +
                            " && cc -std=c11 -Wall -Wextra -Werror -o score main.c VTObjects.c "
                            "VTLinearRegression.c -lm && ./score " +
                            data + " > scores.csv";
  ASSERT_EQ(std::system(build.c_str()), 0);
  std::istringstream scores(readFile(dist + "/scores.csv"));
  std::string line;
  std::getline(scores, line);
  EXPECT_EQ(line, "PREDICT.fit");
  std::vector<double> values;
  while (std::getline(scores, line))
    values.push_back(std::strtod(line.c_str(), nullptr));
  ASSERT_EQ(values.size(), 32u);
  for (const double v : values)
    EXPECT_TRUE(std::isfinite(v) && v > 5 && v < 40) << v;  // fitted mpg of mtcars
  std::system(("rm -rf " + dist + " " + model + " " + data).c_str());
}

TEST(PackageCommand, Messages) {
  const Outcome missing = runQmx("package /nonexistent/model.xml -o " + tempPath("none"));
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "qmx: cannot read the model document /nonexistent/model.xml\n");
  const std::string other = tempPath("other.xml");
  std::ofstream(other) << "<VTML version=\"3.0\"/>\n";
  const Outcome unsupported = runQmx("package " + other + " -o " + tempPath("none"));
  EXPECT_EQ(unsupported.status, 1);
  EXPECT_EQ(unsupported.err, "qmx: " + other +
                                 " holds no model that qmx package can write as C (supported: "
                                 "GeneralRegressionModel)\n");
  std::ofstream(other) << "<VTML version=\"3.0\">\n  <GeneralRegressionModel/>\n</VTML>\n";
  const Outcome noSource =
      runQmx("package " + other + " -o " + tempPath("none") + " --source /nonexistent");
  EXPECT_EQ(noSource.status, 1);
  EXPECT_EQ(noSource.err,
            "qmx: the scoring library sources are not in /nonexistent (use --source)\n");
  std::remove(other.c_str());
}
