// qmx package end to end: a model fitted by qmx fit lm becomes a C scoring package that the
// system C compiler builds and that scores the data file (its messages: cases/score.tsv). (The
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
