// qmx score end to end: models fitted with qmx fit lm|glm score CSV files; the scores are
// compared with R's predict(type = "response") (tests/ref/tools/score_mtcars.R), also with
// missing predictors and a factor response; chunk sizes; every residual type against R's
// residuals(fit, type) for the fits of tests/ref/tools/score_residuals.R. The errors, and outputs
// renamed, copied or with unknown levels, are rows of cases/score.tsv.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/ChunkSizes.h"
#include "support/RefCompare.h"
#include "support/RefCsv.h"
#include "tools/QmxCliRunner.h"

namespace {

using qmxcli::Outcome;
using qmxcli::readFile;
using qmxcli::runQmx;
using qmxcli::tempPath;

using Table = std::vector<std::vector<std::string>>;

// A model fitted by qmx fit into a temporary file, e.g. fitted("lm", "examples/mtcars.csv",
// "mpg ~ wt + hp", "").
std::string fitted(const std::string& name, const std::string& data, const std::string& formula,
                   const std::string& family) {
  const std::string path = tempPath(name + ".xml");
  const std::string kind = family.empty() ? "lm" : "glm --epsilon 1e-13 --family " + family;
  const Outcome fit =
      runQmx("fit " + kind + " " + data + " --formula '" + formula + "' -o " + path);
  EXPECT_EQ(fit.status, 0) << fit.err;
  return path;
}

// Runs qmx score into a fresh output file and returns its cells.
Table score(const std::string& arguments) {
  const std::string out = tempPath("scores.csv");
  std::remove(out.c_str());
  const Outcome run = runQmx("score " + arguments + " -o " + out);
  EXPECT_EQ(run.status, 0) << arguments << "\n" << run.err;
  return qmxcli::csvRows(readFile(out));
}

void expectRelNear(const std::string& got, double want, const std::string& where) {
  // Scores from the document's 15-digit coefficients: 1e-10 relative.
  EXPECT_NEAR(std::stod(got), want, 1e-10 * std::fabs(want)) << where;
}

const std::string kCars = "tests/ref/tools/score_cars.csv";

}  // namespace

TEST(ScoreCommand, MatchesRPredictOnMtcars) {
  const std::vector<RefRow> want = readRefCsv("tools", "score_mtcars.csv");
  const std::string lm = fitted("lm", "examples/mtcars.csv", "mpg ~ wt + hp", "");
  const std::string glm = fitted("glm", "examples/mtcars.csv", "am ~ wt", "binomial");
  const Table lmScores = score(lm + " examples/mtcars.csv --copy model");
  const Table glmScores = score(glm + " examples/mtcars.csv --copy model");
  ASSERT_EQ(lmScores.size(), want.size() + 1);
  ASSERT_EQ(glmScores.size(), want.size() + 1);
  // A 0/1 response has no levels: the default is the probability of 1, named after it.
  EXPECT_EQ(lmScores[0], (std::vector<std::string>{"model", "fitted"}));
  EXPECT_EQ(glmScores[0], (std::vector<std::string>{"model", "prob.am"}));
  for (std::size_t row = 0; row < want.size(); ++row) {
    EXPECT_EQ(lmScores[row + 1][0], want[row].text("model"));
    expectRelNear(lmScores[row + 1][1], want[row].num("lm"), "lm " + want[row].text("model"));
    expectRelNear(glmScores[row + 1][1], want[row].num("glm"), "glm " + want[row].text("model"));
  }
}

TEST(ScoreCommand, FactorResponseAndMissingPredictors) {
  const std::vector<RefRow> want = readRefCsv("tools", "score_cars_pred.csv");
  const std::string glm = fitted("cars_glm", kCars, "trans ~ wt", "binomial");
  const std::string lm = fitted("cars_lm", kCars, "mpg ~ wt + hp", "");
  const Table glmScores = score(glm + " " + kCars);
  const Table lmScores = score(lm + " " + kCars);
  ASSERT_EQ(glmScores.size(), want.size() + 1);
  ASSERT_EQ(lmScores.size(), want.size() + 1);
  // R's glm gives P(manual), the level qmx fit lists first.
  EXPECT_EQ(glmScores[0], (std::vector<std::string>{"prob.manual", "class"}));
  for (std::size_t row = 0; row < want.size(); ++row) {
    const std::vector<std::string>& got = glmScores[row + 1];
    const std::string where = want[row].text("model");
    if (want[row].text("glm") == "NA") {
      EXPECT_EQ(got, (std::vector<std::string>{"NA", "NA"})) << where;
    } else {
      const double manual = want[row].num("glm");
      expectRelNear(got[0], manual, where);
      EXPECT_EQ(got[1], manual > 0.5 ? "manual" : "automatic") << where;
    }
    if (want[row].text("lm") == "NA") {
      EXPECT_EQ(lmScores[row + 1][0], "NA") << where;
    } else {
      expectRelNear(lmScores[row + 1][0], want[row].num("lm"), where);
    }
  }
}

TEST(ScoreCommand, ChunkSizeDoesNotChangeTheFile) {
  const std::string glm = fitted("cars_glm", kCars, "trans ~ wt", "binomial");
  const std::string out = tempPath("chunked.csv");
  std::string whole;
  for (const char* rows : {"1000", "1", "7", "32"}) {
    const Outcome run =
        runQmx("score " + glm + " " + kCars +
               " --copy model --output prob,class,link,weight --chunk-rows " + rows + " -o " + out);
    ASSERT_EQ(run.status, 0) << run.err;
    if (whole.empty()) whole = readFile(out);
    EXPECT_EQ(readFile(out), whole) << "--chunk-rows " << rows;
  }
}

// Each fit of score_residuals_cases.csv scores its own data with every residual type, at
// every chunk size; R's residuals(fit, type) on the same rows (score_residuals_ref.csv).
TEST(ScoreCommand, ResidualTypesMatchR) {
  const std::string data = "tests/ref/tools/score_residuals_data.csv";
  std::map<std::string, std::vector<double>> want;  // "case type" -> residuals by row
  for (const RefRow& row : readRefCsv("tools", "score_residuals_ref.csv"))
    want[row.text("case") + " " + row.text("type")].push_back(row.num("value"));
  const std::vector<std::string> types = {"default", "deviance", "pearson", "working", "response"};
  for (const RefRow& fit : readRefCsv("tools", "score_residuals_cases.csv")) {
    const std::string name = fit.text("case");
    SCOPED_TRACE(name);
    const std::string response =
        fit.text("failures").empty()
            ? fit.text("response")
            : "cbind(" + fit.text("response") + ", " + fit.text("failures") + ")";
    std::string command = "fit " + fit.text("kind") + " " + data + " --formula '" + response +
                          " ~ " + fit.text("rhs") + "' -o " + tempPath(name + ".xml");
    if (!fit.text("family").empty()) command += " --epsilon 1e-13 --family " + fit.text("family");
    if (!fit.text("weights").empty()) command += " --weights " + fit.text("weights");
    const Outcome fitted = runQmx(command);
    ASSERT_EQ(fitted.status, 0) << fitted.err;
    qmxtest::forEachChunkSize([&](long rows) {
      const Table got =
          score(tempPath(name + ".xml") + " " + data + " --chunk-rows " + std::to_string(rows) +
                " --output residual,residual:deviance,residual:pearson,residual:working," +
                "residual:response");
      ASSERT_EQ(got.size(), want[name + " default"].size() + 1);
      for (std::size_t t = 0; t < types.size(); ++t) {
        std::vector<double> column;
        for (std::size_t row = 1; row < got.size(); ++row)
          column.push_back(std::stod(got[row][t]));
        // Residuals near 0 (a fitted value near its response) keep 1e-12 absolute.
        EXPECT_TRUE(qmxtest::matchesColumn(column, want[name + " " + types[t]], 1e-8, 1e-12))
            << types[t];
      }
    });
  }
}
