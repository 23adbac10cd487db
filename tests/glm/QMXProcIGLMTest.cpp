// The iterative GLM proc through the host pipeline: R's glm() at every chunk size
// (glm_cases.csv), the convergence rules, a fresh fit on each init, properties, failures, and
// the relative step of the coefficients.
#include "qmxmisc/glm/QMXProcIGLM.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "glm/GlmProcCases.h"
#include "qmxmisc/glm/GLMSummary.h"
#include "qmxmisc/glm/QMXProcILMInternal.h"

using glmcase::caseOf;
using glmcase::procOf;
using qmxtest::ProcHarness;
using qmxtest::ProcResult;

namespace {

QMXMemoryTable casesData() {
  return qmxtest::readRefTable("glm", "glm_cases_data.csv", {{"g", {}}});
}

// The proc of one case of glm_cases.csv, with R's defaults unless the case sets maxit.
ProcHarness caseProc(const RefRow& c, const QMXMemoryTable& data) {
  const GLMSpecNames names = glmSpecNames(c.text("family"), c.text("link"), c.text("variance"));
  ProcHarness proc(qmx_s_create_QMXProcIGLM, "QMXProcIGLM");
  proc.input(data).set("iglm.family", {names.family}).set("iglm.link", {names.link});
  proc.set("iglm.var", {names.variance});
  if (!c.text("maxit").empty()) proc.set("max.iterations", {c.text("maxit")});
  proc.set("model.vtml", {glmcase::specDocument(data, c.text("formula"), c.text("weights"))});
  return proc;
}

std::string joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& text : texts)
    out += (out.empty() ? "" : "|") + text;
  return out;
}

}  // namespace

// R's glm() with glm.control()'s defaults on every case of glm_cases.csv (glm_cases.R), at
// every chunk size: estimates and scaled standard errors of every level, deviances, AIC,
// dispersion, residual df, iterations, convergence and glm.fit's warnings.
TEST(QMXProcIGLM, CasesMatchR) {
  const QMXMemoryTable data = casesData();
  int cases = 0;
  for (const RefRow& c : readRefCsv("glm", "glm_cases.csv")) {
    SCOPED_TRACE(c.text("case"));
    ++cases;
    const std::pair<std::string, std::string> where{"case", c.text("case")};
    qmxtest::NamedValues want =
        qmxtest::refValues("glm", "glm_cases_coef.csv", where, "name", "estimate", "coef:");
    want.merge(qmxtest::refValues("glm", "glm_cases_coef.csv", where, "name", "se", "se:"));
    for (const char* name : {"deviance", "null.deviance", "aic", "dispersion", "df.residual",
                             "iterations", "converged"})
      want[name] = c.num(name);
    qmxtest::forEachChunkSize([&](long rows) {
      ProcHarness proc = caseProc(c, data);
      const ProcResult run = proc.get("data.pass.count").run(rows);
      ASSERT_TRUE(run.ok) << run.error;
      const QMXProcIGLM& glm = proc.as<QMXProcIGLM>();
      qmxtest::NamedValues got = glmcase::fitValues(glm.results());
      if (!got.count("null.deviance")) got["null.deviance"] = got["ss:Total"];
      got["aic"] = glm.getAic();
      got["dispersion"] = glm.getDispersion();
      got["iterations"] = static_cast<double>(glm.getIterations());
      got["converged"] = glm.isConverged() ? 1.0 : 0.0;
      EXPECT_TRUE(qmxtest::matchesRef(got, want, 1e-8));
      EXPECT_EQ(joined(run.texts(QMXMessageKind::Warning)), c.text("warnings"));
      // A pass per solve and one for the coefficients of the last; halvings add passes.
      if (c.text("warnings").find("truncated") == std::string::npos) {
        EXPECT_EQ(run.properties.at("data.pass.count"), std::to_string(glm.getIterations() + 1));
      }
    });
  }
  EXPECT_GT(cases, 0);
}

TEST(QMXProcIGLM, ConvergenceRulesAndAFreshFitOnInit) {
  const QMXMemoryTable data = casesData();
  RefRow c = readRefCsv("glm", "glm_cases.csv").front();
  // The relative rule (step or deviance change) converges near R's estimates.
  ProcHarness relative = caseProc(c, data);
  ASSERT_TRUE(relative.set("convergence.rule", {"relative"}).set("epsilon", {"1e-10"}).run().ok);
  ProcHarness deviance = caseProc(c, data);
  ASSERT_TRUE(deviance.run(7).ok);
  const qmxtest::NamedValues first = glmcase::fitValues(deviance.as<QMXProcIGLM>().results());
  EXPECT_TRUE(
      qmxtest::matchesRef(glmcase::fitValues(relative.as<QMXProcIGLM>().results()), first, 1e-7));
  EXPECT_TRUE(relative.as<QMXProcIGLM>().isConverged());
  // The same proc run again without setting anything: init starts a fresh fit.
  ASSERT_TRUE(ProcHarness(deviance.proc(), "QMXProcIGLM").input(data).run(3).ok);
  EXPECT_TRUE(
      qmxtest::matchesRef(glmcase::fitValues(deviance.as<QMXProcIGLM>().results()), first, 1e-12));
  // An unknown rule.
  const ProcResult unknown = caseProc(c, data).set("convergence.rule", {"step"}).run();
  EXPECT_NE(unknown.error.find("convergence.rule takes deviance or relative, not 'step'"),
            std::string::npos)
      << unknown.error;
}

// A Gamma identity fit whose glm.fit path oscillates (glm_oscillating.R): by default a step
// that raises the deviance is halved and the fit (given 100 iterations: it then creeps)
// converges to the minimum deviance; with
// halve.on.increase 0 the proc follows R's path to maxit, not converged, R's deviance.
TEST(QMXProcIGLM, HalvesAStepThatRaisesTheDeviance) {
  const QMXMemoryTable data = qmxtest::readRefTable("glm", "glm_oscillating.csv", {});
  const RefRow r = readRefCsv("glm", "glm_oscillating_ref.csv").front();
  const GLMSpecNames names = glmSpecNames("Gamma", "identity", "");
  for (const char* halve : {"1", "0"}) {
    SCOPED_TRACE(halve);
    qmxtest::forEachChunkSize([&](long rows) {
      ProcHarness proc(qmx_s_create_QMXProcIGLM, "QMXProcIGLM");
      proc.input(data).set("iglm.family", {names.family}).set("iglm.link", {names.link});
      proc.set("iglm.var", {names.variance}).set("halve.on.increase", {halve});
      if (std::string(halve) == "1") proc.set("max.iterations", {"100"});
      proc.set("model.vtml", {glmcase::specDocument(data, "y ~ x", "")});
      const ProcResult run = proc.run(rows);
      ASSERT_TRUE(run.ok) << run.error;
      const QMXProcIGLM& glm = proc.as<QMXProcIGLM>();
      const double deviance = glmcase::fitValues(glm.results()).at("deviance");
      if (std::string(halve) == "1") {
        EXPECT_TRUE(glm.isConverged());
        EXPECT_NEAR(deviance, r.num("min_deviance"), 1e-7 * r.num("min_deviance"));
      } else {
        EXPECT_FALSE(glm.isConverged());
        EXPECT_EQ(glm.getIterations(), static_cast<long>(r.num("r_iterations")));
        EXPECT_NEAR(deviance, r.num("r_deviance"), 1e-8 * r.num("r_deviance"));
      }
    });
  }
}

// The summaries of glm(mpg ~ wt + hp, family = Gamma) as R prints them (glm_summary_gamma.R):
// the text from "Coefficients:" through the iterations line, byte for byte; the JSON line by
// line, numbers within 1e-8.
TEST(QMXProcIGLM, GammaSummaryAsRPrintsIt) {
  ProcHarness gamma(qmx_s_create_QMXProcIGLM, "QMXProcIGLM");
  gamma.input(glmcase::mtcars()).get("fitted.model.pmml");
  const GLMSpecNames names = glmSpecNames("gamma", "", "");
  gamma.set("iglm.family", {names.family}).set("iglm.link", {names.link});
  gamma.set("iglm.var", {names.variance});
  const ProcResult run =
      gamma.set("model.vtml", {glmcase::specDocument(glmcase::mtcars(), "mpg ~ wt + hp")}).run();
  ASSERT_TRUE(run.ok) << run.error;
  const std::string document = run.properties.at("fitted.model.pmml");
  const SummaryInput input{32, 0, {}};
  const std::string text = glmSummary(document, SummaryFormat::kText, input);
  const std::string last = "Number of Fisher Scoring iterations: 4\n";
  ASSERT_NE(text.find(last), std::string::npos) << text;
  const std::string block = text.substr(0, text.find(last) + last.size());
  const std::string expected = readRefText("glm", "glm_summary_gamma.txt");
  EXPECT_EQ(block, expected.substr(expected.find('\n') + 1));
  std::istringstream json(glmSummary(document, SummaryFormat::kJson, input));
  std::istringstream want(readRefText("glm", "glm_summary_gamma.json"));
  std::string got, line;
  while (std::getline(want, line) && std::getline(json, got)) {
    // "name": value: the names equal, numbers within 1e-8, any other value equal.
    const std::size_t at = line.rfind(": ") + 2;
    char* end = nullptr;
    const double value = std::strtod(line.c_str() + at, &end);
    const bool number =
        at > 1 && end != line.c_str() + at && line.find('"', at) == std::string::npos;
    EXPECT_EQ(got.substr(0, number ? at : std::string::npos), number ? line.substr(0, at) : line);
    if (number) {
      EXPECT_TRUE(qmxtest::near(std::strtod(got.c_str() + at, nullptr), value, 1e-8)) << got;
    }
  }
  EXPECT_TRUE(want.eof() && !std::getline(json, got)) << got;
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
