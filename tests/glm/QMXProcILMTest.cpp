// The linear regression proc driven through the host pipeline on mtcars: coefficients of
// every factor level, standard errors, sequential sums of squares and R-squared against R's
// lm() with contr.sum (tests/ref/glm/glm_procs.R), chunk invariance, the factor
// restrictions, correlations, importance, and the messages the proc raises.
#include "qmxmisc/glm/QMXProcILM.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "glm/GlmProcTestSupport.h"
#include "qmxbase/QMXMemoryTable.h"

using glmproc::factorModel;
using glmproc::messagesOf;
using glmproc::mtcarsTable;
using glmproc::nearRelative;
using glmproc::Prop;
using glmproc::runProc;
using glmproc::RunResult;
using glmproc::Spec;
using glmproc::specDocument;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

RunResult fitLinear(QMXProcILM& proc, const Spec& spec, long chunkRows,
                    const QMXMemoryTable& table = mtcarsTable(), std::vector<Prop> extra = {}) {
  std::vector<Prop> props = {{"model.vtml", {specDocument(spec)}}};
  props.insert(props.end(), extra.begin(), extra.end());
  return runProc(proc, "QMXProcILM", table, chunkRows, props);
}

long rowOf(const TMatrix<double>& m, const std::string& name) {
  const strVector& names = m.getRowNames();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i].str() == name) return static_cast<long>(i);
  return -1;
}

Spec simpleModel() {
  Spec spec;
  spec.responses = {{"mpg", {}}};
  spec.predictors = {{"wt", {}}, {"hp", {}}};
  spec.terms = {{"wt", {"wt"}}, {"hp", {"hp"}}};
  return spec;
}

}  // namespace

// Tolerance 1e-8 relative for every number compared with R.
TEST(QMXProcILM, MatchesRLinearModelWithContrSum) {
  for (const bool weighted : {false, true}) {
    const std::string model = weighted ? "lm_weighted" : "lm";
    SCOPED_TRACE(model);
    QMXProcILM proc;
    const RunResult run = fitLinear(proc, factorModel(weighted), 1000);
    ASSERT_TRUE(run.ok) << run.error;
    const GLMFit& fit = proc.results(0);
    const auto ref = glmproc::refCoefficients(model);
    ASSERT_EQ(fit.nCoefficients(), static_cast<long>(ref.size()));
    for (const auto& [name, expected] : ref) {
      SCOPED_TRACE(name);
      const long row = rowOf(fit.coefficients(), name);
      ASSERT_GE(row, 0);
      EXPECT_TRUE(nearRelative(fit.coefficients()(row, 0), expected.estimate, 1e-8));
      EXPECT_TRUE(nearRelative(fit.stdErr()(row, 0), expected.se, 1e-8));
    }

    const auto stats = glmproc::refStats(model);
    const TMatrix<double>& dev = fit.deviance();
    const TMatrix<long>& df = fit.df();
    for (const char* term : {"wt", "hp", "cyl", "am", "cyl:am", "wt:cyl"}) {
      SCOPED_TRACE(term);
      const long row = rowOf(dev, term);
      ASSERT_GE(row, 0);
      EXPECT_TRUE(nearRelative(dev(row, 0), stats.at(std::string("ss:") + term), 1e-8));
      EXPECT_EQ(df(row, 0), static_cast<long>(stats.at(std::string("df:") + term)));
    }
    const long error = rowOf(dev, "Error");
    const long total = rowOf(dev, "Total");
    ASSERT_GE(error, 0);
    ASSERT_GE(total, 0);
    EXPECT_TRUE(nearRelative(dev(error, 0), stats.at("ss:Residuals"), 1e-8));
    EXPECT_EQ(df(error, 0), static_cast<long>(stats.at("df.residual")));
    EXPECT_EQ(fit.dfE(), static_cast<long>(stats.at("df.residual")));
    EXPECT_EQ(df(total, 0), 31);
    EXPECT_TRUE(nearRelative(1.0 - dev(error, 0) / dev(total, 0), stats.at("r2"), 1e-8));
    EXPECT_EQ(dev.getRowNames().front().str(), "Regression");
    EXPECT_EQ(df(0, 0), 31 - static_cast<long>(stats.at("df.residual")));
  }
}

TEST(QMXProcILM, ChunkSizeDoesNotChangeTheFit) {
  for (const bool weighted : {false, true}) {
    SCOPED_TRACE(weighted ? "weighted" : "unweighted");
    QMXProcILM whole;
    ASSERT_TRUE(fitLinear(whole, factorModel(weighted), 1000).ok);
    for (const long chunk : {1L, 2L, 7L}) {
      SCOPED_TRACE(chunk);
      QMXProcILM proc;
      ASSERT_TRUE(fitLinear(proc, factorModel(weighted), chunk).ok);
      const TMatrix<double>& a = proc.results().coefficients();
      const TMatrix<double>& b = whole.results().coefficients();
      ASSERT_EQ(a.size(), b.size());
      for (long k = 0; k < a.size(); ++k)
        EXPECT_TRUE(nearRelative(a[k], b[k], 1e-10)) << k;
    }
  }
}

TEST(QMXProcILM, RestrictionsOfMainEffectsAndInteractions) {
  QMXProcILM proc;
  ASSERT_TRUE(fitLinear(proc, factorModel(false), 1000).ok);
  EXPECT_EQ(proc.restrictionMode(), 1);
  // Variables wt, hp, cyl, am: the two factors have main effects.
  EXPECT_EQ(proc.restrictionFlags(), (std::vector<std::int32_t>{0, 0, 1, 1}));
  // cyl 1, am 1, cyl:am (3 x 2 cells) 3 groups of the faster am and 2 - 1 of cyl, wt:cyl 1.
  EXPECT_EQ(proc.accumulator().nRestrict(), 7);
  // The levels of each factor sum to zero in every term.
  const TMatrix<double>& coef = proc.results().coefficients();
  auto sum = [&](const std::vector<std::string>& names) {
    double total = 0.0;
    for (const std::string& name : names)
      total += coef(rowOf(coef, name), 0);
    return total;
  };
  EXPECT_NEAR(sum({"cyl(4)", "cyl(6)", "cyl(8)"}), 0.0, 1e-9);
  EXPECT_NEAR(sum({"cyl(4):am(0)", "cyl(6):am(0)", "cyl(8):am(0)"}), 0.0, 1e-9);
  EXPECT_NEAR(sum({"cyl(6):am(0)", "cyl(6):am(1)"}), 0.0, 1e-9);

  Spec noIntercept = factorModel(false);
  noIntercept.intercept = false;
  noIntercept.terms = {{"wt", {"wt"}}, {"cyl", {"cyl"}}};
  QMXProcILM plain;
  ASSERT_TRUE(fitLinear(plain, noIntercept, 1000).ok);
  EXPECT_EQ(plain.restrictionMode(), 0);
  EXPECT_EQ(plain.restrictionFlags(), (std::vector<std::int32_t>{0, 0, 0, 0}));
  EXPECT_EQ(plain.accumulator().nRestrict(), 0);
  const long cylRow = rowOf(plain.results().deviance(), "cyl");
  EXPECT_EQ(plain.results().df()(cylRow, 0), 3);
}

TEST(QMXProcILM, CorrelationsAboveTheThreshold) {
  const auto stats = glmproc::refStats("simple");
  struct Case {
    const char* what;
    std::vector<Prop> props;
    std::vector<std::string> labels;
  };
  const std::vector<Case> cases = {
      {"default: 0.5 without intercept", {}, {"wt and hp"}},
      {"with the intercept", {{"corr.with.int", {"1"}}}, {"(Intercept) and wt", "wt and hp"}},
      {"threshold 0",
       {{"corr.with.int", {"1"}}, {"abs.corr.threshold", {"0"}}},
       {"(Intercept) and wt", "(Intercept) and hp", "wt and hp"}},
      {"threshold above every pair", {{"abs.corr.threshold", {"0.9"}}}, {}},
      {"corr.with.int other than 1", {{"corr.with.int", {"2"}}}, {"wt and hp"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QMXProcILM proc;
    ASSERT_TRUE(fitLinear(proc, simpleModel(), 1000, mtcarsTable(), c.props).ok);
    const GLMFit& fit = proc.results();
    std::vector<std::string> labels;
    for (const String& label : fit.corrLabels())
      labels.push_back(label.str());
    EXPECT_EQ(labels, c.labels);
    for (std::size_t i = 0; i < labels.size(); ++i)
      EXPECT_TRUE(nearRelative(fit.corrValues()[i], stats.at("corr:" + labels[i]), 1e-8));
  }
  // Coefficients of one factor, or of a factor and its interaction, are never a pair.
  QMXProcILM proc;
  ASSERT_TRUE(
      fitLinear(proc, factorModel(false), 1000, mtcarsTable(), {{"abs.corr.threshold", {"0"}}}).ok);
  for (const String& label : proc.results().corrLabels()) {
    const std::string text = label.str();
    const std::size_t cut = text.find(" and ");
    ASSERT_NE(cut, std::string::npos);
    const std::string first = text.substr(0, cut);
    const std::string second = text.substr(cut + 5);
    for (const char* factor : {"cyl(", "am("}) {
      EXPECT_FALSE(first.find(factor) != std::string::npos &&
                   second.find(factor) != std::string::npos)
          << text;
    }
  }
}

// Tolerance 1e-8 relative.
TEST(QMXProcILM, ImportanceIsTheUnscaledWaldStatistic) {
  QMXProcILM simple;
  ASSERT_TRUE(fitLinear(simple, simpleModel(), 1000).ok);
  const auto simpleStats = glmproc::refStats("simple");
  const TMatrix<double>& stat = simple.results().waldStat();
  ASSERT_EQ(stat.getNRow(), 2);
  EXPECT_TRUE(nearRelative(stat(0, 0), simpleStats.at("wald:wt"), 1e-8));
  EXPECT_TRUE(nearRelative(stat(1, 0), simpleStats.at("wald:hp"), 1e-8));
  EXPECT_EQ(simple.results().waldDf()(0, 0), 1);

  QMXProcILM proc;
  ASSERT_TRUE(fitLinear(proc, factorModel(false), 1000).ok);
  const auto stats = glmproc::refStats("lm");
  const TMatrix<double>& wald = proc.results().waldStat();
  const char* terms[] = {"wt", "hp", "cyl", "am", "cyl:am", "wt:cyl"};
  for (long t = 0; t < 6; ++t) {
    SCOPED_TRACE(terms[t]);
    EXPECT_TRUE(nearRelative(wald(t, 0), stats.at(std::string("wald:") + terms[t]), 1e-8));
  }
}

TEST(QMXProcILM, FittedModelDocumentReadsBack) {
  QMXProcILM proc;
  const RunResult run = fitLinear(proc, factorModel(false), 1000);
  ASSERT_TRUE(run.ok) << run.error;
  ASSERT_FALSE(run.document.empty());
  EXPECT_NE(run.document.find("modelType=\"generalLinear\""), std::string::npos);
  EXPECT_NE(run.document.find("<PCell targetCategory=\"mpg\" parameterName=\"cyl(8):am(1)\""),
            std::string::npos);
  const GLMFit read(run.document.c_str());
  const GLMFit& fit = proc.results();
  ASSERT_EQ(read.nCoefficients(), fit.nCoefficients());
  for (long k = 0; k < fit.nCoefficients(); ++k) {
    EXPECT_TRUE(nearRelative(read.coefficients()(k, 0), fit.coefficients()(k, 0), 1e-14));
    EXPECT_TRUE(nearRelative(read.stdErr()(k, 0), fit.stdErr()(k, 0), 1e-14));
  }
  EXPECT_EQ(read.coefTable().getNRow(), fit.coefTable().getNRow());
  for (long k = 0; k < fit.coefTable().size(); ++k)
    EXPECT_EQ(read.coefTable()[k], fit.coefTable()[k]) << k;
}

TEST(QMXProcILM, CoefficientTableHoldsLevelsAndPowers) {
  QMXProcILM proc;
  ASSERT_TRUE(fitLinear(proc, factorModel(false), 1000).ok);
  const TMatrix<long>& table = proc.results().coefTable();
  const TMatrix<double>& coef = proc.results().coefficients();
  // Columns: wt, hp, cyl, am.
  struct Row {
    const char* name;
    std::vector<long> cells;
  };
  const std::vector<Row> rows = {{"(Intercept)", {0, 0, 0, 0}},  {"wt", {1, 0, 0, 0}},
                                 {"cyl(6)", {0, 0, 2, 0}},       {"am(1)", {0, 0, 0, 2}},
                                 {"cyl(4):am(1)", {0, 0, 1, 2}}, {"cyl(8):am(0)", {0, 0, 3, 1}},
                                 {"wt:cyl(8)", {1, 0, 3, 0}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const long r = rowOf(coef, row.name);
    ASSERT_GE(r, 0);
    for (long v = 0; v < 4; ++v)
      EXPECT_EQ(table(r, v), row.cells[static_cast<std::size_t>(v)]) << v;
  }
}

TEST(QMXProcILM, AliasedColumnAndZeroResidualDf) {
  // wt2 = 2 * wt is collinear with wt: the column the pivoting takes second is aliased (zero
  // coefficient, NaN standard error) and the degrees of freedom of its term drop by one.
  QMXMemoryTable table = mtcarsTable();
  std::vector<double> wt2;
  const auto rows = readGlmRefCsv("glm_procs_data.csv");
  for (const GlmRefRow& row : rows)
    wt2.push_back(2.0 * row.num("wt"));
  table.addDoubleColumn("wt2", wt2);
  Spec spec = simpleModel();
  spec.predictors.push_back({"wt2", {}});
  spec.terms.push_back({"wt2", {"wt2"}});
  QMXProcILM proc;
  ASSERT_TRUE(fitLinear(proc, spec, 1000, table).ok);
  const GLMFit& fit = proc.results();
  int aliased = 0;
  for (const char* name : {"wt", "wt2"}) {
    const long row = rowOf(fit.coefficients(), name);
    if (!std::isnan(fit.stdErr()(row, 0))) continue;
    ++aliased;
    EXPECT_EQ(fit.coefficients()(row, 0), 0.0) << name;
    EXPECT_EQ(fit.df()(rowOf(fit.deviance(), name), 0), 0) << name;
  }
  EXPECT_EQ(aliased, 1);
  EXPECT_EQ(fit.dfE(), 29);
  // The fit is R's lm(mpg ~ wt + hp) with wt's effect on whichever column is kept.
  const auto ref = glmproc::refCoefficients("simple");
  const double wtEffect = fit.coefficients()(rowOf(fit.coefficients(), "wt"), 0) +
                          2.0 * fit.coefficients()(rowOf(fit.coefficients(), "wt2"), 0);
  EXPECT_TRUE(nearRelative(wtEffect, ref.at("wt").estimate, 1e-8));

  // Three rows, three coefficients: sigma is taken as 1, the errors are sqrt(diag((X'X)^-1)).
  QMXMemoryTable three;
  three.addDoubleColumn("mpg", {1.0, 3.0, 2.0})
      .addDoubleColumn("wt", {1.0, 2.0, 4.0})
      .addDoubleColumn("hp", {0.0, 1.0, 0.0});
  QMXProcILM exact;
  ASSERT_TRUE(fitLinear(exact, simpleModel(), 1000, three).ok);
  EXPECT_EQ(exact.results().dfE(), 0);
  // (X'X)^-1 diagonal of X = [1 1 0; 1 2 1; 1 4 0], from numpy.linalg.inv.
  const double expected[] = {std::sqrt(17.0 / 9.0), std::sqrt(2.0 / 9.0), std::sqrt(14.0 / 9.0)};
  for (long k = 0; k < 3; ++k)
    EXPECT_TRUE(nearRelative(exact.results().stdErr()(k, 0), expected[k], 1e-10)) << k;
}

TEST(QMXProcILM, Messages) {
  // Every row has a missing value.
  {
    QMXMemoryTable table;
    table.addDoubleColumn("mpg", {1.0, kNaN, 3.0})
        .addDoubleColumn("wt", {kNaN, 2.0, 1.0})
        .addDoubleColumn("hp", {1.0, 1.0, kNaN});
    QMXProcILM proc;
    const RunResult run = fitLinear(proc, simpleModel(), 2, table);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "there is no valid data to fit the regression model");
    const auto info = messagesOf(proc, QMXMessageKind::Information);
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(info.back(), "Data set has 3 rows with one or more missing values");
    EXPECT_EQ(messagesOf(proc, QMXMessageKind::Error),
              std::vector<std::string>{"there is no valid data to fit the regression model"});
  }
  // A negative case weight.
  {
    QMXMemoryTable table;
    table.addDoubleColumn("mpg", {1.0, 2.0, 3.0})
        .addDoubleColumn("wt", {1.0, 2.0, 1.0})
        .addDoubleColumn("hp", {1.0, 3.0, 2.0})
        .addDoubleColumn("w", {1.0, -0.5, 1.0});
    Spec spec = simpleModel();
    spec.weights = "w";
    QMXProcILM proc;
    const RunResult run = fitLinear(proc, spec, 1000, table);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "weight vector, w, has negative values");
  }
  // A specification that parses but describes no valid model.
  {
    Spec spec = simpleModel();
    spec.intercept = false;
    spec.terms.clear();
    QMXProcILM proc;
    const RunResult run = fitLinear(proc, spec, 1000);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "invalid model specification");
  }
  // The information of init.
  {
    QMXProcILM proc;
    ASSERT_TRUE(fitLinear(proc, factorModel(false), 1000).ok);
    const auto info = messagesOf(proc, QMXMessageKind::Information);
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(info.front(),
              "specified model will generate 17 coefficients requiring 0.13 Mb per chunk for the "
              "model matrix");
  }
  // A model description that is not valid, given directly to the model setter.
  {
    GLMModel invalid;
    invalid.setIntercept(false);
    QMXProcILM proc;
    proc.setModel(invalid);
    const RunResult run = runProc(proc, "QMXProcILM", mtcarsTable(), 1000, {});
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "failed to initialize linear model object");
    EXPECT_TRUE(proc.isDone());
  }
}

extern "C" QMXProc* qmx_s_create_QMXProcILM(QMXProc** out);

TEST(QMXProcILM, FactoryCreatesTheProc) {
  QMXProc* out = nullptr;
  std::unique_ptr<QMXProc> proc(qmx_s_create_QMXProcILM(&out));
  ASSERT_NE(proc, nullptr);
  EXPECT_EQ(out, proc.get());
  EXPECT_NE(dynamic_cast<QMXProcILM*>(proc.get()), nullptr);
}
