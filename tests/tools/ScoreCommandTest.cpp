// qmx score end to end: models fitted with qmx fit lm|glm score CSV files; the scores are
// compared with R's predict(type = "response") (tests/ref/tools/score_mtcars.R); outputs,
// copies, unknown levels and chunk sizes. The errors are rows of cases/score.tsv.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/RefCsv.h"
#include "tools/QmxCliRunner.h"

namespace {

using qmxcli::Outcome;
using qmxcli::readFile;
using qmxcli::runQmx;
using qmxcli::tempPath;

using Table = std::vector<std::vector<std::string>>;

// The cells of a CSV text without quoted commas (the files of these tests have none).
Table cells(const std::string& text) {
  Table table;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> row;
    std::istringstream fields(line);
    std::string field;
    while (std::getline(fields, field, ','))
      row.push_back(field);
    table.push_back(row);
  }
  return table;
}

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

// A temporary file holding `text`.
std::string written(const std::string& name, const std::string& text) {
  const std::string path = tempPath(name);
  std::ofstream(path) << text;
  return path;
}

// Runs qmx score into a fresh output file and returns its cells.
Table score(const std::string& arguments, Outcome* outcome = nullptr) {
  const std::string out = tempPath("scores.csv");
  std::remove(out.c_str());
  const Outcome run = runQmx("score " + arguments + " -o " + out);
  EXPECT_EQ(run.status, 0) << arguments << "\n" << run.err;
  if (outcome != nullptr) *outcome = run;
  return cells(readFile(out));
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
  Outcome run;
  const Table glmScores = score(glm + " " + kCars, &run);
  EXPECT_NE(run.err.find("info: data set has 2 rows with one or more missing values\n"),
            std::string::npos)
      << run.err;
  const Table lmScores = score(lm + " " + kCars);
  ASSERT_EQ(glmScores.size(), want.size() + 1);
  ASSERT_EQ(lmScores.size(), want.size() + 1);
  // The probability column is named after the level it belongs to, whichever level the
  // document lists first; R's glm gives P(manual).
  ASSERT_EQ(glmScores[0].size(), 2u);
  const std::string level = glmScores[0][0];
  ASSERT_TRUE(level == "prob.manual" || level == "prob.automatic") << level;
  EXPECT_EQ(glmScores[0][1], "class");
  for (std::size_t row = 0; row < want.size(); ++row) {
    const std::vector<std::string>& got = glmScores[row + 1];
    const std::string where = want[row].text("model");
    if (want[row].text("glm") == "NA") {
      EXPECT_EQ(got, (std::vector<std::string>{"NA", "NA"})) << where;
    } else {
      const double manual = want[row].num("glm");
      expectRelNear(got[0], level == "prob.manual" ? manual : 1 - manual, where);
      EXPECT_EQ(got[1], manual > 0.5 ? "manual" : "automatic") << where;
    }
    if (want[row].text("lm") == "NA") {
      EXPECT_EQ(lmScores[row + 1][0], "NA") << where;
    } else {
      expectRelNear(lmScores[row + 1][0], want[row].num("lm"), where);
    }
  }
}

TEST(ScoreCommand, OutputSelectionRenamingAndCopy) {
  const std::vector<RefRow> want = readRefCsv("tools", "score_cars_pred.csv");
  const std::string glm = fitted("cars_glm", kCars, "trans ~ wt", "binomial");
  const std::string lm = fitted("cars_lm", kCars, "mpg ~ wt + hp", "");
  struct Case {
    std::string arguments;
    std::vector<std::string> header;
  };
  const std::vector<Case> cases = {
      {glm + " " + kCars + " --copy model,trans --output prob:manual:pm,prob:automatic",
       {"model", "trans", "pm", "prob.automatic"}},
      {glm + " " + kCars + " --output link::eta,class:0:cls --output probability:1:p1",
       {"eta", "cls", "p1"}},
      {lm + " " + kCars + " --output response:0:mpg.hat,fitted.value:0:again,link",
       {"mpg.hat", "again", "link"}},
  };
  std::vector<Table> tables;
  for (const Case& c : cases) {
    tables.push_back(score(c.arguments));
    ASSERT_EQ(tables.back().size(), want.size() + 1) << c.arguments;
    EXPECT_EQ(tables.back()[0], c.header) << c.arguments;
  }
  for (std::size_t row = 0; row < want.size(); ++row) {
    const std::vector<std::string>& copied = tables[0][row + 1];
    if (want[row].text("glm") == "NA") continue;  // every cell of such a row is missing
    EXPECT_EQ(copied[0], want[row].text("model"));
    expectRelNear(copied[2], want[row].num("glm"), "pm " + copied[0]);
    EXPECT_NEAR(std::stod(copied[2]) + std::stod(copied[3]), 1.0, 1e-14);
    // qmx fit lists the modelled level (manual) first, so level index 1 is automatic.
    EXPECT_EQ(tables[1][row + 1][2], copied[3]) << "probability:1 is " << copied[0];
    // An identity link: the fitted value and the linear predictor agree.
    EXPECT_EQ(tables[2][row + 1][0], tables[2][row + 1][1]);
    if (want[row].text("lm") != "NA") {
      EXPECT_EQ(tables[2][row + 1][0], tables[2][row + 1][2]);
    }
  }
}

TEST(ScoreCommand, UnknownLevelsGiveMissingScoresUnlessMapped) {
  const std::string lm = fitted("cars_lm_trans", kCars, "mpg ~ wt + trans", "");
  const std::string data =
      written("unknown_level.csv", "model,wt,trans\nA,2.62,manual\nB,2.62,cvt\nC,3,automatic\n");
  const Table plain = score(lm + " " + data + " --copy model");
  ASSERT_EQ(plain.size(), 4u);
  EXPECT_EQ(plain[2], (std::vector<std::string>{"NA", "NA"}));
  const Table mapped = score(lm + " " + data + " --unknown-level trans=manual");
  ASSERT_EQ(mapped.size(), 4u);
  EXPECT_EQ(mapped[2][0], plain[1][1]);
  EXPECT_EQ(mapped[3][0], plain[3][1]);
  EXPECT_NE(mapped[1][0], mapped[3][0]);
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
