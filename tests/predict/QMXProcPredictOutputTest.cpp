// writeOutputData: every output type, rows with missing values, unknown factor levels, chunk
// invariance, and the messages of output resolution. Expected values are worked by hand
// from the fake fit of PredictTestSupport.h (exact in binary unless a tolerance is stated).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "predict/PredictTestSupport.h"

using namespace predicttest;

namespace {

const std::vector<std::vector<std::string>> kRegressionOutputs = {
    {"define.output", "0", "copy", "id"},          {"define.output", "0", "copy", "f"},
    {"define.output", "0", "fitted.value", "fit"}, {"define.output", "0", "residual", "res"},
    {"define.output", "0", "weight", "w"},         {"define.output", "0", "eta", "eta"}};

const QMXSchema kRegressionSchema = {stringColumn("id"),  factorColumn("f"), doubleColumn("fit"),
                                     doubleColumn("res"), doubleColumn("w"), doubleColumn("eta")};

// eta = 1 + 2 x + 10 [f = a]: 11, 3, -, 7, 15, 5, 1, 19 (row 2 has no x).
const std::vector<double> kEta = {11, 3, kNaN, 7, 15, 5, 1, 19};
const std::vector<double> kFitted = {11.5, 3.5, kNaN, 7.5, 15.5, 5.5, 1.5, 19.5};
// Working weight eta / 10 times the case weight wt = (1, 2, 1, 1, 0.5, 3, 1, 2).
const std::vector<double> kWeight = {1.1, 0.6, kNaN, 0.7, 0.75, 1.5, 0.1, 3.8};
// y - mu with y = (13, 2, 5, NaN, 9, 6, 1, 30).
const std::vector<double> kResidual = {1.5, -1.5, kNaN, kNaN, -6.5, 0.5, -0.5, 10.5};
// (y - mu) / (eta / 4).
const std::vector<double> kWorkingResidual = {1.5 / 2.75,  -2.0, kNaN, kNaN,
                                              -6.5 / 3.75, 0.4,  -2.0, 10.5 / 4.75};

}  // namespace

// Every chunking gives the hand-computed values (chunk invariance).
TEST(QMXProcPredictOutput, RegressionOutputsWithAMissingRowAtEveryChunkSize) {
  for (long chunk : {1L, 2L, 7L, 8L, 100L}) {
    SCOPED_TRACE(chunk);
    FakeScoringProc proc(regressionFit(), regressionCoef());
    const RunResult run =
        runScoring(proc, regressionTable(), chunk, kRegressionSchema, kRegressionOutputs);
    ASSERT_TRUE(run.ok) << run.error;
    const QMXMemoryTable& out = run.output;
    ASSERT_EQ(out.numRows(), 8u);
    // Tolerance 1e-12: eta / 10 is not exact in binary.
    EXPECT_TRUE(sameNumbers(out.numbers("fit"), kFitted, 0.0));
    EXPECT_TRUE(sameNumbers(out.numbers("eta"), kEta, 0.0));
    EXPECT_TRUE(sameNumbers(out.numbers("w"), kWeight, 1e-12));
    EXPECT_TRUE(sameNumbers(out.numbers("res"), kResidual, 0.0));
    // The row with a missing predictor is missing in every column, copies included.
    EXPECT_EQ(out.texts("id"),
              (std::vector<std::string>{"r0", "r1", "", "r3", "r4", "r5", "r6", "r7"}));
    EXPECT_EQ(out.texts("f"), (std::vector<std::string>{"a", "b", "", "b", "a", "b", "b", "a"}));
    EXPECT_TRUE(std::isnan(out.number(2, out.columnIndex("f"))));
    EXPECT_EQ(messagesOf(run.messages, QMXMessageKind::Information),
              std::vector<std::string>{"data set has 1 rows with one or more missing values"});
    EXPECT_TRUE(messagesOf(run.messages, QMXMessageKind::Error).empty());
  }
}

TEST(QMXProcPredictOutput, ScaledResidualIsTheWorkingResidual) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  std::vector<std::vector<std::string>> properties = kRegressionOutputs;
  properties.push_back({"iglm.family", "poisson"});
  const RunResult run = runScoring(proc, regressionTable(), 3, kRegressionSchema, properties);
  ASSERT_TRUE(run.ok) << run.error;
  // Tolerance 1e-12: the quotients are rounded.
  EXPECT_TRUE(sameNumbers(run.output.numbers("res"), kWorkingResidual, 1e-12));
  EXPECT_TRUE(sameNumbers(run.output.numbers("fit"), kFitted, 0.0));
}

TEST(QMXProcPredictOutput, WeightWithoutACaseWeightColumn) {
  ModelTerms fit = regressionFit();
  fit.setWeights(String());
  FakeScoringProc proc(fit, regressionCoef());
  const RunResult run = runScoring(proc, regressionTable(), 8, {doubleColumn("w")},
                                   {{"define.output", "0", "weight", "w"}});
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_TRUE(
      sameNumbers(run.output.numbers("w"), {1.1, 0.3, kNaN, 0.7, 1.5, 0.5, 0.1, 1.9}, 1e-12));
}

TEST(QMXProcPredictOutput, NoMissingRowsNoInformation) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, 3}).addFactorColumn("f", {"a", "b", "a"}, {"a", "b"});
  FakeScoringProc proc(regressionFit(), regressionCoef());
  const RunResult run = runScoring(proc, table, 2, {doubleColumn("fit")},
                                   {{"define.output", "0", "fitted.value", "fit"}});
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_TRUE(sameNumbers(run.output.numbers("fit"), {13.5, 5.5, 17.5}, 0.0));
  EXPECT_TRUE(messagesOf(run.messages, QMXMessageKind::Information).empty());
}

TEST(QMXProcPredictOutput, AllRowsOfAChunkMissing) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {kNaN, kNaN, 1, kNaN})
      .addFactorColumn("f", {"a", "b", "a", "b"}, {"a", "b"});
  FakeScoringProc proc(regressionFit(), regressionCoef());
  const RunResult run = runScoring(proc, table, 2, {doubleColumn("fit")},
                                   {{"define.output", "0", "fitted.value", "fit"}});
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_TRUE(sameNumbers(run.output.numbers("fit"), {kNaN, kNaN, 13.5, kNaN}, 0.0));
  EXPECT_EQ(proc.chunkRows, (std::vector<long>{0, 1}));
  EXPECT_EQ(messagesOf(run.messages, QMXMessageKind::Information),
            std::vector<std::string>{"data set has 3 rows with one or more missing values"});
}

namespace {

const std::vector<std::vector<std::string>> kClassOutputs = {
    {"define.output", "0", "category", "class"},
    {"define.output", "0", "agreement", "agree"},
    {"define.output", "2", "probability", "p.hi"}};
const QMXSchema kClassSchema = {factorColumn("class"), doubleColumn("agree"), doubleColumn("p.hi")};

FakeScoringProc classificationProc() {
  return FakeScoringProc(classificationFit(), classificationCoef(), true);
}

}  // namespace

TEST(QMXProcPredictOutput, CategoryAndAgreementTiesGoToTheFirstLevel) {
  // Rows: g = p, q, r, s, t (unknown), missing, s; observed cls = mid, mid, hi, hi, lo, lo, hi.
  for (long chunk : {1L, 3L, 7L}) {
    SCOPED_TRACE(chunk);
    FakeScoringProc proc = classificationProc();
    const RunResult run =
        runScoring(proc, classificationTable(), chunk, kClassSchema, kClassOutputs);
    ASSERT_TRUE(run.ok) << run.error;
    // q ties lo and mid at 0.4: lo; r ties mid and hi at 0.45: mid. The unknown level t is
    // set aside like a missing row.
    EXPECT_EQ(run.output.texts("class"),
              (std::vector<std::string>{"mid", "lo", "mid", "hi", "", "", "hi"}));
    EXPECT_TRUE(sameNumbers(run.output.numbers("agree"), {1, 0, 0, 1, kNaN, kNaN, 1}, 0.0));
    EXPECT_TRUE(
        sameNumbers(run.output.numbers("p.hi"), {0.3, 0.2, 0.45, 0.7, kNaN, kNaN, 0.7}, 0.0));
    EXPECT_EQ(messagesOf(run.messages, QMXMessageKind::Information),
              std::vector<std::string>{"data set has 1 rows with one or more missing values"});
  }
}

TEST(QMXProcPredictOutput, UnknownLevelReplacedFromTheMap) {
  FakeScoringProc proc = classificationProc();
  std::vector<std::vector<std::string>> properties = kClassOutputs;
  // Input column 1 is g: its unknown levels are scored as s.
  properties.push_back({"add.unknown.level.map", "1", "s"});
  const RunResult run = runScoring(proc, classificationTable(), 2, kClassSchema, properties);
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.output.texts("class"),
            (std::vector<std::string>{"mid", "lo", "mid", "hi", "hi", "", "hi"}));
  EXPECT_TRUE(sameNumbers(run.output.numbers("agree"), {1, 0, 0, 1, 0, kNaN, 1}, 0.0));
  EXPECT_TRUE(sameNumbers(run.output.numbers("p.hi"), {0.3, 0.2, 0.45, 0.7, 0.7, kNaN, 0.7}, 0.0));
}

TEST(QMXProcPredictOutput, EmptyReplacementMakesUnknownLevelsAnError) {
  FakeScoringProc proc = classificationProc();
  std::vector<std::vector<std::string>> properties = kClassOutputs;
  properties.push_back({"add.unknown.level.map", "1", ""});
  const RunResult run = runScoring(proc, classificationTable(), 7, kClassSchema, properties);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "model object categorical variable g does not have level t");
  EXPECT_TRUE(proc.isDone());
}

TEST(QMXProcPredictOutput, ObservedResponseAsTextOrLevelNumber) {
  // The observed class as a text column, then as level numbers of the model's response.
  QMXMemoryTable text;
  text.addStringColumn("cls", {"mid", "hi", "lo"})
      .addFactorColumn("g", {"p", "s", "p"}, {"p", "q", "r", "s"});
  QMXMemoryTable codes;
  codes.addDoubleColumn("cls", {1, 2, kNaN})
      .addFactorColumn("g", {"p", "s", "p"}, {"p", "q", "r", "s"});
  for (const QMXMemoryTable* table : {&text, &codes}) {
    FakeScoringProc proc = classificationProc();
    const RunResult run = runScoring(proc, *table, 2, {doubleColumn("agree")},
                                     {{"define.output", "0", "agreement", "agree"}});
    ASSERT_TRUE(run.ok) << run.error;
    const double last = table == &text ? 0.0 : kNaN;
    EXPECT_TRUE(sameNumbers(run.output.numbers("agree"), {1, 1, last}, 0.0));
  }
  QMXMemoryTable badCode;
  badCode.addDoubleColumn("cls", {1, 5}).addFactorColumn("g", {"p", "s"}, {"p", "q", "r", "s"});
  FakeScoringProc proc = classificationProc();
  const RunResult run = runScoring(proc, badCode, 2, {doubleColumn("agree")},
                                   {{"define.output", "0", "agreement", "agree"}});
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "bad index 5");
}

TEST(QMXProcPredictOutput, ClusterMembershipAsNumberAndPaddedText) {
  const QMXSchema schema = {doubleColumn("cluster"), stringColumn("label"), factorColumn("group"),
                            doubleColumn("dist")};
  const std::vector<std::vector<std::string>> outputs = {
      {"define.output", "0", "clusterMembership", ""},
      {"define.output", "0", "clusterMembership", "label"},
      {"define.output", "0", "clusterMembership", "group"},
      {"define.output", "0", "distanceToCenter", ""}};
  for (long chunk : {1L, 2L, 5L}) {
    SCOPED_TRACE(chunk);
    FakeScoringProc proc(clusterFit(), {{1.0}}, true);
    proc.setClusterCount(12);
    const RunResult run = runScoring(proc, clusterTable(), chunk, schema, outputs);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_TRUE(sameNumbers(run.output.numbers("cluster"), {3, 12, 1, kNaN, 7}, 0.0));
    EXPECT_EQ(run.output.texts("label"), (std::vector<std::string>{"03", "12", "01", "", "07"}));
    EXPECT_EQ(run.output.texts("group"), (std::vector<std::string>{"03", "12", "01", "", "07"}));
    EXPECT_TRUE(sameNumbers(run.output.numbers("dist"), {3, 12, 1, kNaN, 7}, 0.0));
  }
  // Without a cluster count the numbers are written without padding.
  FakeScoringProc proc(clusterFit(), {{1.0}}, true);
  const RunResult run = runScoring(proc, clusterTable(), 5, {stringColumn("label")},
                                   {{"define.output", "0", "clusterMembership", "label"}});
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.output.texts("label"), (std::vector<std::string>{"3", "12", "1", "", "7"}));
}

TEST(QMXProcPredictOutput, PredictionColumnsByIndex) {
  // Every type that reads the prediction matrix at the definition's column.
  const std::vector<std::string> types = {"fitted.value", "probability", "distanceToCenter",
                                          "score",        "risk",        "riskSE",
                                          "survival",     "survivalSE"};
  QMXSchema schema;
  std::vector<std::vector<std::string>> outputs;
  for (std::size_t i = 0; i < types.size(); ++i) {
    schema.push_back(doubleColumn(types[i]));
    outputs.push_back({"define.output", std::to_string(i % 3), types[i], types[i]});
  }
  FakeScoringProc proc = classificationProc();
  const RunResult run = runScoring(proc, classificationTable(), 4, schema, outputs);
  ASSERT_TRUE(run.ok) << run.error;
  // Columns 0, 1, 2 of the p-row (0.2, 0.5, 0.3) and of the s-row (0.1, 0.2, 0.7).
  for (std::size_t i = 0; i < types.size(); ++i) {
    SCOPED_TRACE(types[i]);
    const std::vector<double> values = run.output.numbers(types[i]);
    const double p[] = {0.2, 0.5, 0.3};
    const double s[] = {0.1, 0.2, 0.7};
    EXPECT_EQ(values[0], p[i % 3]);
    EXPECT_EQ(values[3], s[i % 3]);
  }
}

TEST(QMXProcPredictOutput, ResolutionMessages) {
  enum class Fit { kRegression, kMissingWeights, kTwoClasses };
  struct Case {
    Fit fit;
    const char* index;  // the output definition: response index, type, column
    const char* type;
    const char* column;
    bool withoutWorkingMatrices;
    std::string message;
  };
  const std::vector<Case> cases = {
      {Fit::kRegression, "3", "residual", "res", false,
       "Invalid dependent variable index 3. Model has 1 dependent variables"},
      {Fit::kRegression, "0", "copy", "nope", false,
       "column nope was not found in the input buffer"},
      {Fit::kMissingWeights, "0", "weight", "w", false,
       "Weight column wt2 was not found in the input buffer"},
      {Fit::kRegression, "0", "category", "c", false,
       "cannot predict category outcome since the dependent variable has no levels"},
      {Fit::kTwoClasses, "0", "category", "c", false,
       "the number of predict category probabilities, 3,does not equal the number  of levels, 2"},
      {Fit::kRegression, "0", "eta", "e", true, "unexpeced output type eta"},
      {Fit::kRegression, "0", "weight", "w", true, "unexpeced output type weight"},
      {Fit::kRegression, "4", "fitted.value", "fit", false, "bad index 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ModelTerms fit = c.fit == Fit::kTwoClasses ? classificationFit({"lo", "hi"}) : regressionFit();
    if (c.fit == Fit::kMissingWeights) fit.setWeights(String("wt2"));
    FakeScoringProc proc(fit, c.fit == Fit::kTwoClasses ? classificationCoef() : regressionCoef());
    proc.withoutWorkingMatrices = c.withoutWorkingMatrices;
    const RunResult run =
        runScoring(proc, c.fit == Fit::kTwoClasses ? classificationTable() : regressionTable(), 4,
                   {doubleColumn("out")}, {{"define.output", c.index, c.type, c.column}});
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, c.message);
    EXPECT_EQ(messagesOf(run.messages, QMXMessageKind::Error), std::vector<std::string>{c.message});
    EXPECT_TRUE(proc.isDone());
  }
}

TEST(QMXProcPredictOutput, ScaledResidualNeedsTheDerivative) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  proc.withoutWorkingMatrices = true;
  const RunResult run =
      runScoring(proc, regressionTable(), 4, {doubleColumn("res")},
                 {{"define.output", "0", "residual", "res"}, {"iglm.family", "gaussian"}});
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "unexpeced output type residual");
  // Unscaled, the residual needs the prediction only.
  FakeScoringProc plain(regressionFit(), regressionCoef());
  plain.withoutWorkingMatrices = true;
  const RunResult ok = runScoring(plain, regressionTable(), 4, {doubleColumn("res")},
                                  {{"define.output", "0", "residual", "res"}});
  ASSERT_TRUE(ok.ok) << ok.error;
  EXPECT_TRUE(sameNumbers(ok.output.numbers("res"), kResidual, 0.0));
}
