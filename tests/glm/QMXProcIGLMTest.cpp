// The iterative GLM proc through the host pipeline: R's glm() at every chunk size
// (glm_procs_cases.csv), passes and closing messages, a fresh fit on each init, properties,
// failures, and the relative step of the coefficients.
#include "qmxmisc/glm/QMXProcIGLM.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "glm/GlmProcCases.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

using glmcase::caseOf;
using glmcase::procOf;
using qmxtest::ProcHarness;
using qmxtest::ProcResult;

TEST(QMXProcIGLM, FitsMatchR) {
  glmcase::expectCasesMatchR("QMXProcIGLM");
}

TEST(QMXProcIGLM, IterationsDoNotDependOnTheChunkSize) {
  ProcHarness whole = procOf(caseOf("poisson_weighted"));
  const ProcResult wholeRun = whole.get("iterations").get("data.pass.count").run();
  ASSERT_TRUE(wholeRun.ok);
  const long iterations = whole.as<QMXProcIGLM>().getIterations();
  EXPECT_GE(iterations, 3);
  EXPECT_EQ(wholeRun.properties.at("iterations"), std::to_string(iterations));
  EXPECT_EQ(wholeRun.properties.at("data.pass.count"), std::to_string(iterations));
  qmxtest::forEachChunkSize([&](long rows) {
    ProcHarness proc = procOf(caseOf("poisson_weighted"));
    ASSERT_TRUE(proc.run(rows).ok);
    EXPECT_EQ(proc.as<QMXProcIGLM>().getIterations(), iterations);
  });
  // The same proc run again without setting anything: init starts a fresh fit.
  const qmxtest::NamedValues first = glmcase::fitValues(whole.as<QMXProcIGLM>().results());
  ASSERT_TRUE(ProcHarness(whole.proc(), "QMXProcIGLM").input(glmcase::mtcars()).run(7).ok);
  EXPECT_EQ(whole.as<QMXProcIGLM>().getIterations(), iterations);
  EXPECT_TRUE(
      qmxtest::matchesRef(glmcase::fitValues(whole.as<QMXProcIGLM>().results()), first, 1e-10));
}

TEST(QMXProcIGLM, PassesAndClosingMessages) {
  // One allowed iteration still runs two passes and ends with the warning.
  ProcHarness once = procOf(caseOf("binomial"));
  const ProcResult capped = once.set("max.iterations", {"1"}).set("epsilon", {"1e-30"}).run();
  ASSERT_TRUE(capped.ok);
  const QMXProcIGLM& proc = once.as<QMXProcIGLM>();
  EXPECT_EQ(proc.getIterations(), 2);
  char expected[160];
  std::snprintf(expected, sizeof expected,
                "exceeded maximum number of iterations 1 with maximum relative step size of %10.3e",
                proc.maxStep());
  EXPECT_EQ(capped.texts(QMXMessageKind::Warning), std::vector<std::string>{expected});
  // The default epsilon (1e-4): the deviance test ends the fit.
  ProcHarness converged = procOf(caseOf("binomial"));
  const ProcResult run = converged.set("epsilon", {"0.0001"}).run();
  ASSERT_TRUE(run.ok);
  const std::string last = run.texts(QMXMessageKind::Information).back();
  EXPECT_TRUE(last.rfind("converged in ", 0) == 0 ||
              last.rfind("relative function convergence in ", 0) == 0)
      << last;
  EXPECT_TRUE(run.texts(QMXMessageKind::Warning).empty());
  // Gaussian: the first pass starts at eta = y, the second solves least squares, the third
  // repeats it bit for bit.
  ProcHarness gaussian(qmx_s_create_QMXProcIGLM, "QMXProcIGLM");
  const ProcResult least =
      gaussian.input(glmcase::mtcars())
          .set("iglm.family", {"Gaussian"})
          .set("iglm.link", {"Identity: mu"})
          .set("iglm.var", {"Constant: 1"})
          .set("model.vtml", {glmcase::specDocument(glmcase::mtcars(), "mpg ~ wt + hp")})
          .run(5);
  ASSERT_TRUE(least.ok) << least.error;
  EXPECT_EQ(least.texts(QMXMessageKind::Information).back(),
            "converged in 3 iterations with maximum relative step size of  0.000e+00");
}

TEST(QMXProcIGLM, FamilyNamesBeforeTheModel) {
  // The family must come before the model: set afterwards it changes nothing.
  ProcHarness late = procOf(caseOf("poisson"));
  late.set("iglm.family", {"Binomial"}).set("iglm.link", {"Logit: log(mu/(1 - mu))"});
  const ProcResult run = late.run();
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(late.as<QMXProcIGLM>().results().distName(), std::string("Poisson"));
  // The model extras of the document.
  ProcHarness binomial = procOf(caseOf("binomial"));
  const std::string document = binomial.run().properties.at("fitted.model.pmml");
  EXPECT_NE(document.find("<Family val=\"Binomial\"/>"), std::string::npos);
  EXPECT_NE(document.find("modelType=\"multinomialLogistic\""), std::string::npos);
  EXPECT_NE(document.find("<Iterations val=\"" +
                          std::to_string(binomial.as<QMXProcIGLM>().getIterations()) + "\"/>"),
            std::string::npos);
}

TEST(QMXProcIGLM, Messages) {
  glmcase::expectMessages("QMXProcIGLM");
}

TEST(QMXProcIGLM, RelativeStepOfTheCoefficients) {
  const auto column = [](const std::string& cell) {
    std::vector<double> values;
    std::istringstream in(cell);
    for (std::string value; std::getline(in, value, ';');)
      values.push_back(std::stod(value));
    return TMatrix<double>(values.data(), static_cast<long>(values.size()), 1);
  };
  for (const RefRow& row : readRefCsv("glm", "relative_step.csv"))
    EXPECT_DOUBLE_EQ(
        glm_proc::largestRelativeStep(column(row.text("before")), column(row.text("after"))),
        row.num("step"));
}
