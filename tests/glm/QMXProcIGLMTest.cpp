// The iterative GLM proc driven through the host pipeline on mtcars: binomial logit, Poisson
// log (with a factor, unweighted and with prior weights) and Gamma log fits against R's glm()
// (tests/ref/glm/glm_procs.R), the passes and their convergence messages, chunk invariance,
// properties and failures.
#include "qmxmisc/glm/QMXProcIGLM.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "glm/GlmProcTestSupport.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

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

struct GlmCase {
  std::string model;  // reference name
  Spec spec;
  std::string family, link;
};

std::vector<GlmCase> glmCases() {
  GlmCase binomial{"binomial", {}, "Binomial", "Logit: log(mu/(1 - mu))"};
  binomial.spec.responses = {{"amnum", {}}};
  binomial.spec.predictors = {{"wt", {}}, {"hp", {}}};
  binomial.spec.terms = {{"wt", {"wt"}}, {"hp", {"hp"}}};
  GlmCase poisson{"poisson", {}, "Poisson", "Log: log(mu)"};
  poisson.spec.responses = {{"carb", {}}};
  poisson.spec.predictors = {{"wt", {}}, {"cyl", glmproc::kCylLevels}};
  poisson.spec.terms = {{"wt", {"wt"}}, {"cyl", {"cyl"}}};
  GlmCase weighted = poisson;
  weighted.model = "poisson_weighted";
  weighted.spec.weights = "w";
  GlmCase gamma{"gamma", {}, "Gamma", "Log: log(mu)"};
  gamma.spec.responses = {{"mpg", {}}};
  gamma.spec.predictors = {{"hp", {}}, {"gear", glmproc::kGearLevels}};
  gamma.spec.terms = {{"hp", {"hp"}}, {"gear", {"gear"}}};
  return {binomial, poisson, weighted, gamma};
}

std::string meanText(const std::string& model) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", glmproc::refStats(model).at("mean"));
  return text;
}

RunResult fitGlm(QMXProcIGLM& proc, const GlmCase& c, long chunkRows,
                 std::vector<Prop> settings = {{"max.iterations", {"50"}}, {"epsilon", {"1e-12"}}},
                 const QMXMemoryTable& table = mtcarsTable()) {
  std::vector<Prop> props = std::move(settings);
  props.push_back({"iglm.family", {c.family}});
  props.push_back({"iglm.link", {c.link}});
  props.push_back({"iglm.var", {"Constant: 1"}});
  props.push_back({"iglm.mean", {meanText(c.model)}});
  props.push_back({"model.vtml", {specDocument(c.spec)}});
  return runProc(proc, "QMXProcIGLM", table, chunkRows, props);
}

long rowOf(const TMatrix<double>& m, const std::string& name) {
  const strVector& names = m.getRowNames();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i].str() == name) return static_cast<long>(i);
  return -1;
}

std::string getText(QMXProc& proc, const char* name) {
  QMXPropertyInfo request(name);
  proc.getProperty(&request);
  return request.answerText();
}

Spec gaussianSpec() {
  Spec spec;
  spec.responses = {{"mpg", {}}};
  spec.predictors = {{"wt", {}}, {"hp", {}}};
  spec.terms = {{"wt", {"wt"}}, {"hp", {"hp"}}};
  return spec;
}

}  // namespace

// Coefficients, unscaled standard errors and deviances to 1e-6 relative.
TEST(QMXProcIGLM, MatchesRGlm) {
  for (const GlmCase& c : glmCases()) {
    SCOPED_TRACE(c.model);
    QMXProcIGLM proc;
    const RunResult run = fitGlm(proc, c, 1000);
    ASSERT_TRUE(run.ok) << run.error;
    const GLMFit& fit = proc.results();
    const auto ref = glmproc::refCoefficients(c.model);
    ASSERT_EQ(fit.nCoefficients(), static_cast<long>(ref.size()));
    for (const auto& [name, expected] : ref) {
      SCOPED_TRACE(name);
      const long row = rowOf(fit.coefficients(), name);
      ASSERT_GE(row, 0);
      EXPECT_TRUE(nearRelative(fit.coefficients()(row, 0), expected.estimate, 1e-6));
      EXPECT_TRUE(nearRelative(fit.stdErr()(row, 0), expected.se, 1e-6));
    }
    const auto stats = glmproc::refStats(c.model);
    const TMatrix<double>& dev = fit.deviance();
    const TMatrix<long>& df = fit.df();
    const long error = rowOf(dev, "Error");
    const long null = rowOf(dev, "Null");
    ASSERT_GE(error, 0);
    ASSERT_GE(null, 0);
    EXPECT_TRUE(nearRelative(dev(error, 0), stats.at("deviance"), 1e-6));
    EXPECT_TRUE(nearRelative(dev(null, 0), stats.at("null.deviance"), 1e-6));
    EXPECT_EQ(df(error, 0), static_cast<long>(stats.at("df.residual")));
    EXPECT_EQ(df(null, 0), static_cast<long>(stats.at("df.null")));
    EXPECT_EQ(getText(proc, "iterations"), getText(proc, "data.pass.count"));
    EXPECT_GE(proc.getIterations(), 3);
  }
}

TEST(QMXProcIGLM, ChunkSizeDoesNotChangeTheFit) {
  for (const GlmCase& c : glmCases()) {
    SCOPED_TRACE(c.model);
    QMXProcIGLM whole;
    ASSERT_TRUE(fitGlm(whole, c, 1000).ok);
    for (const long chunk : {1L, 2L, 7L}) {
      SCOPED_TRACE(chunk);
      QMXProcIGLM proc;
      ASSERT_TRUE(fitGlm(proc, c, chunk).ok);
      const TMatrix<double>& a = proc.results().coefficients();
      const TMatrix<double>& b = whole.results().coefficients();
      ASSERT_EQ(a.size(), b.size());
      for (long k = 0; k < a.size(); ++k)
        EXPECT_TRUE(nearRelative(a[k], b[k], 1e-10)) << k;
      EXPECT_EQ(proc.getIterations(), whole.getIterations());
    }
  }
}

TEST(QMXProcIGLM, ANewInitStartsAFreshFit) {
  const GlmCase poisson = glmCases()[1];
  QMXProcIGLM proc;
  ASSERT_TRUE(fitGlm(proc, poisson, 1000).ok);
  const TMatrix<double> first = proc.results().coefficients();
  const TMatrix<double> firstDeviance = proc.results().deviance();
  const long firstIterations = proc.getIterations();
  // The same proc run again (properties kept): init resets the passes, the null deviance and
  // the coefficients, so the second fit repeats the first.
  const QMXMemoryTable table = mtcarsTable();
  QMXMemorySource source(table);
  QMXPipeline pipeline(proc, "QMXProcIGLM");
  pipeline.addInput(source);
  pipeline.setChunkRows(7);
  ASSERT_TRUE(pipeline.run()) << pipeline.error();
  EXPECT_EQ(proc.getIterations(), firstIterations);
  ASSERT_EQ(proc.results().coefficients().size(), first.size());
  for (long k = 0; k < first.size(); ++k)
    EXPECT_TRUE(nearRelative(proc.results().coefficients()[k], first[k], 1e-10)) << k;
  for (long k = 0; k < firstDeviance.size(); ++k)
    EXPECT_TRUE(nearRelative(proc.results().deviance()[k], firstDeviance[k], 1e-10)) << k;
}

TEST(QMXProcIGLM, PassesAndClosingMessages) {
  const GlmCase binomial = glmCases()[0];
  // One allowed iteration still runs two passes and ends with the warning.
  {
    QMXProcIGLM proc;
    ASSERT_TRUE(
        fitGlm(proc, binomial, 1000, {{"max.iterations", {"1"}}, {"epsilon", {"1e-30"}}}).ok);
    EXPECT_EQ(proc.getIterations(), 2);
    char expected[160];
    std::snprintf(expected, sizeof expected,
                  "exceeded maximum number of iterations 1 with maximum relative step size of "
                  "%10.3e",
                  proc.maxStep());
    EXPECT_EQ(messagesOf(proc, QMXMessageKind::Warning), std::vector<std::string>{expected});
    const auto info = messagesOf(proc, QMXMessageKind::Information);
    ASSERT_GE(info.size(), 2u);
    std::snprintf(expected, sizeof expected,
                  "completed 1 iterations with maximum relative step size of %10.3e and relative "
                  "change in deviance of %10.3e",
                  1.0, 0.0);
    // The first pass reports its own deviance as the change; only the prefix is fixed here.
    EXPECT_EQ(info[1].substr(0, 60), std::string(expected).substr(0, 60));
  }
  // The default epsilon: the deviance test ends the fit.
  {
    QMXProcIGLM proc;
    ASSERT_TRUE(fitGlm(proc, binomial, 1000, {}).ok);
    const auto info = messagesOf(proc, QMXMessageKind::Information);
    ASSERT_FALSE(info.empty());
    const std::string& last = info.back();
    const bool closing = last.rfind("converged in ", 0) == 0 ||
                         last.rfind("relative function convergence in ", 0) == 0;
    EXPECT_TRUE(closing) << last;
    EXPECT_TRUE(messagesOf(proc, QMXMessageKind::Warning).empty());
    EXPECT_LT(proc.devianceChange(), 1e-4);
  }
  // A Gaussian model: the first pass's deviance is that of its starting values (eta = y, so
  // 0), the second pass solves least squares, the third repeats the second bit for bit.
  {
    QMXProcIGLM proc;
    GlmCase gaussian{"binomial", gaussianSpec(), "Gaussian", "Identity: mu"};
    ASSERT_TRUE(fitGlm(proc, gaussian, 5, {}).ok);
    EXPECT_EQ(proc.getIterations(), 3);
    EXPECT_EQ(messagesOf(proc, QMXMessageKind::Information).back(),
              "converged in 3 iterations with maximum relative step size of  0.000e+00");
    const TMatrix<double>& dev = proc.results().deviance();
    EXPECT_GE(rowOf(dev, "Total"), 0);
  }
}

TEST(QMXProcIGLM, FamilyNamesAndModelExtras) {
  // The family names must come before the model: set afterwards they change nothing.
  const GlmCase poisson = glmCases()[1];
  QMXProcIGLM late;
  const std::vector<Prop> props = {
      {"iglm.family", {"Poisson"}},  {"iglm.link", {"Log: log(mu)"}},
      {"iglm.var", {"Constant: 1"}}, {"model.vtml", {specDocument(poisson.spec)}},
      {"iglm.family", {"Binomial"}}, {"iglm.link", {"Logit: log(mu/(1 - mu))"}}};
  for (const Prop& prop : props) {
    QMXPropertyInfo request(prop.name, prop.values);
    late.setProperty(&request);
  }
  EXPECT_EQ(late.results().distName(), std::string("Poisson"));

  // The model extras of the document.
  QMXProcIGLM fitted;
  const RunResult run = fitGlm(fitted, glmCases()[0], 1000);
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_NE(run.document.find("<Family val=\"Binomial\"/>"), std::string::npos) << run.document;
  EXPECT_NE(
      run.document.find("<Iterations val=\"" + std::to_string(fitted.getIterations()) + "\"/>"),
      std::string::npos);
  EXPECT_NE(run.document.find("modelType=\"multinomialLogistic\""), std::string::npos);
}

TEST(QMXProcIGLM, Messages) {
  // Two responses with a Binomial family.
  {
    GlmCase c = glmCases()[0];
    c.spec.responses = {{"amnum", {}}, {"carb", {}}};
    QMXProcIGLM proc;
    const RunResult run = fitGlm(proc, c, 1000);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error,
              "2 dependent variables specified, but only one dependent variable is allowed for "
              "the GLM model using the Binomial distribution");
  }
  // A specification without a valid model.
  {
    GlmCase c = glmCases()[0];
    c.spec.intercept = false;
    c.spec.terms.clear();
    QMXProcIGLM proc;
    const RunResult run = fitGlm(proc, c, 1000);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "Invalid model specification");
  }
  // No row without a missing value.
  {
    QMXMemoryTable table;
    table.addDoubleColumn("amnum", {1.0, kNaN})
        .addDoubleColumn("wt", {kNaN, 2.0})
        .addDoubleColumn("hp", {1.0, 1.0});
    QMXProcIGLM proc;
    const RunResult run = fitGlm(proc, glmCases()[0], 1000, {}, table);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "there is no valid data to fit the model");
    EXPECT_EQ(messagesOf(proc, QMXMessageKind::Information).back(),
              "Data set has 2 rows with one or more missing values");
  }
  // The family's own failure: a binomial response above 1 with the trial counts as weights.
  // The response is a proportion, so the starting values see 3 x 2 = 6 successes of 2 trials.
  {
    QMXMemoryTable table;
    table.addDoubleColumn("amnum", {1.0, 3.0, 0.0})
        .addDoubleColumn("wt", {1.0, 2.0, 3.0})
        .addDoubleColumn("hp", {1.0, 0.0, 1.0})
        .addDoubleColumn("n", {2.0, 2.0, 2.0});
    GlmCase c = glmCases()[0];
    c.spec.weights = "n";
    QMXProcIGLM proc;
    const RunResult run = fitGlm(proc, c, 1000, {}, table);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "binomial n=2.000000 > number of successes 6.000000");
  }
}

TEST(QMXProcIGLM, RelativeStepOfTheCoefficients) {
  struct Case {
    double before, after, step;
  };
  const std::vector<Case> cases = {
      {-2.0, -1.0, 0.5}, {2.0, 1.0, 0.5}, {0.0, 0.001, 0.001}, {1e-15, 0.5, 0.5 - 1e-15}};
  for (const Case& c : cases) {
    const TMatrix<double> before(&c.before, 1, 1);
    const TMatrix<double> after(&c.after, 1, 1);
    EXPECT_DOUBLE_EQ(glm_proc::largestRelativeStep(before, after), c.step) << c.before;
  }
  // The largest over every coefficient.
  const double before[] = {-2.0, 0.0, 4.0};
  const double after[] = {-1.0, 0.001, 1.0};
  EXPECT_DOUBLE_EQ(
      glm_proc::largestRelativeStep(TMatrix<double>(before, 3, 1), TMatrix<double>(after, 3, 1)),
      0.75);
}

extern "C" QMXProc* qmx_s_create_QMXProcIGLM(QMXProc** out);

TEST(QMXProcIGLM, FactoryCreatesTheProc) {
  QMXProc* out = nullptr;
  std::unique_ptr<QMXProc> proc(qmx_s_create_QMXProcIGLM(&out));
  ASSERT_NE(proc, nullptr);
  EXPECT_NE(dynamic_cast<QMXProcIGLM*>(proc.get()), nullptr);
}
