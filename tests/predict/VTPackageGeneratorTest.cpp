// The C scoring package generator: copies, messages, and packages compiled and run as
// separate programs whose scores must equal the library's own (data/packages/README.md); the
// program's reading of the cases of data/package_reader_cases.tsv under the sanitizers.
#include "qmxmisc/predict/VTPackageGenerator.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../vtcsrc/VTTestSupport.h"
#include "qmxmisc/base/QMXException.h"
#include "support/RefCsv.h"
#include "vtcsrc/VTObjects.h"

using vttest::Obj;

namespace {
const std::string kSourceDir = QMX_VTCSRC_PACKAGE_DIR;
const std::string kModels = std::string(QMX_TEST_SOURCE_DIR) + "/predict/data/packages/";

int run(const std::string& command) {
  return std::system(command.c_str());
}

// Generates, compiles and runs the package of one model kind; returns the program's output.
std::string buildAndRun(const vttest::TempDir& tmp, const std::string& kind,
                        const TelvarObject& model, const std::string& dataFile) {
  std::string dist = tmp.file(kind);
  std::filesystem::create_directories(dist);
  VTPackageGenerator generator(kSourceDir, dist);
  EXPECT_TRUE(generator.writePackage(kind, model));
  EXPECT_NE(vttest::readText(dist + "/readme.txt").find("for a " + kind + " model"),
            std::string::npos);
  std::string compile = "cd '" + dist +
                        "' && cc -std=c11 -Wall -Wextra -Werror -o score main.c VTObjects.c VT" +
                        kind + ".c -lm 2> compile.log";
  EXPECT_EQ(run(compile), 0) << vttest::readText(dist + "/compile.log");
  std::string execute = "cd '" + dist + "' && ./score '" + dataFile + "' > scores.csv 2> err.log";
  EXPECT_EQ(run(execute), 0) << vttest::readText(dist + "/err.log");
  return vttest::readText(dist + "/scores.csv");
}
}  // namespace

TEST(VTPackageGenerator, CopiesWithSubstitutionAndMessages) {
  vttest::TempDir src, dist;
  vttest::writeText(src.file("t.txt"), "a $$model b $$model$$model\nplain\n$$mode\n");
  VTPackageGenerator generator(src.path.string(), dist.path.string());
  ASSERT_TRUE(generator.copyFile("t.txt", "u.txt", "Tree"));
  EXPECT_EQ(vttest::readText(dist.file("u.txt")), "a Tree b TreeTree\nplain\n$$mode\n");
  ASSERT_TRUE(generator.copyFile("t.txt"));
  EXPECT_EQ(vttest::readText(dist.file("t.txt")), vttest::readText(src.file("t.txt")));

  testing::internal::CaptureStderr();
  EXPECT_FALSE(generator.copyFile("missing.txt"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "bad input file\n");

  VTPackageGenerator nowhere(src.path.string(), dist.file("no/such/dir"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(nowhere.copyFile("t.txt"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "cannot open output file for writing:" + dist.file("no/such/dir") + "/t.txt\n");

  if (::geteuid() != 0) {  // permissions do not stop root
    std::filesystem::permissions(src.file("t.txt"), std::filesystem::perms::none);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(generator.copyFile("t.txt"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "cannot open input file for reading:" + src.file("t.txt") + "\n");
  }

  Obj model;
  try {
    generator.writePackage("Forest", *model.get());
    FAIL() << "no exception";
  } catch (const QMXException& e) {
    EXPECT_STREQ(e.message(), "unknown C scoring model kind: Forest");
  }
}

TEST(VTPackageGenerator, CompiledPackagesReproduceTheLibraryScores) {
  if (run("cc --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no system C compiler";
  vttest::TempDir tmp;
  const std::string dataFile = kModels + "data.csv";
  for (const char* kind :
       {"LinearRegression", "KMeansCluster", "LogisticRegression", "PrincipalComponents", "Tree",
        "CoxRegression", "NeuralNetwork", "NaiveBayes"}) {
    SCOPED_TRACE(kind);
    Obj model;
    ASSERT_EQ(TelvarObject_createFromFile(&model, (kModels + kind + ".txt").c_str()), TELVAR_OK);
    const std::string got = buildAndRun(tmp, kind, *model.get(), dataFile);
    EXPECT_EQ(got, vttest::readText(kModels + kind + ".scores.csv"));
  }
  // A failing run exits non-zero with a message.
  const std::string dist = tmp.file("LinearRegression");
  EXPECT_NE(run("cd '" + dist + "' && ./score /nonexistent.csv > /dev/null 2> err2.log"), 0);
  EXPECT_NE(vttest::readText(dist + "/err2.log").find("cannot read the data file"),
            std::string::npos);
}

TEST(VTPackageGenerator, ProgramReadsOrRefusesEveryCase) {
  if (run("cc --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no system C compiler";
  vttest::TempDir tmp;
  const std::string dist = tmp.file("package");
  std::filesystem::create_directories(dist + "/run");
  Obj model;
  ASSERT_EQ(
      TelvarObject_createFromFile(&model, refPath("vtcsrc", "package_reader.model.txt").c_str()),
      TELVAR_OK);
  ASSERT_TRUE(VTPackageGenerator(kSourceDir, dist).writePackage("LinearRegression", *model.get()));
  ASSERT_EQ(run("cd '" + dist +
                "' && cc -std=c11 -g -fsanitize=address,undefined -fno-sanitize-recover=all -Wall "
                "-Wextra -Werror -o score main.c VTObjects.c VTLinearRegression.c -lm "
                "2> compile.log"),
            0)
      << vttest::readText(dist + "/compile.log");
  int cases = 0;
  const std::string table = std::string(QMX_TEST_SOURCE_DIR) + "/predict/data/";
  for (const auto& row : vttest::caseTable(table + "package_reader_cases.tsv")) {
    SCOPED_TRACE(row[0].substr(0, 60) + " | " + row[1]);
    ++cases;
    vttest::writeText(dist + "/run/in.csv", row[0]);
    const int status = run("cd '" + dist + "/run' && ../score " + row[1] + " > out.csv 2> err.log");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), std::stoi(row[2]));
    EXPECT_EQ(vttest::readText(dist + "/run/out.csv"), row[3]);
    EXPECT_EQ(vttest::readText(dist + "/run/err.log"), row[4]);
  }
  EXPECT_GE(cases, 15);
}
