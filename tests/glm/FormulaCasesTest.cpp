// Formulas with derived variables (log, exp, sqrt, I of arithmetic, factor, poly), offsets,
// cbind(successes, failures) and the quasi families against R's lm and glm
// (tests/ref/model/formula_cases.R): the coefficients, dispersion and AIC at every chunk size;
// the fitted document, read back, scored by the scoring proc as R's predict scores; the C
// scoring library of the fit scoring the data file and new rows (unknown levels, missing
// values) as the scoring proc does.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../vtcsrc/VTTestSupport.h"
#include "glm/GlmProcCases.h"
#include "qmxmisc/glm/QMXProcGLMFit.h"
#include "qmxmisc/glm/QMXProcIGLM.h"
#include "vtcsrc/VTLinearRegression.h"
#include "vtcsrc/VTLogisticRegression.h"

namespace {

QMXMemoryTable casesData() {
  return qmxtest::readRefTable("model", "formula_cases_data.csv", {});
}

qmxtest::ProcHarness caseProc(const RefRow& c, const QMXMemoryTable& data) {
  const bool iterative = c.text("proc") == "QMXProcIGLM";
  qmxtest::ProcHarness proc(iterative ? qmx_s_create_QMXProcIGLM : qmx_s_create_QMXProcILM,
                            c.text("proc"));
  proc.input(data).get("fitted.model.pmml");
  if (iterative) {
    const GLMSpecNames names = glmSpecNames(c.text("family"), "", "");
    proc.set("iglm.family", {names.family}).set("iglm.link", {names.link});
    proc.set("iglm.var", {names.variance});
  }
  std::string formula = c.text("formula");
  std::replace(formula.begin(), formula.end(), ';', ',');
  proc.set("model.vtml", {glmcase::specDocument(data, formula)});
  return proc;
}

std::vector<double> procScores(const GLMFit& fit, const QMXMemoryTable& data) {
  QMXProcGLMFit proc;
  proc.setFit(fit);
  qmxtest::ProcHarness run(proc, "QMXProcGLMFit");
  run.input(data).output({{"out", QMXColumnType::Double, {}}});
  const qmxtest::ProcResult result = run.set("define.output", {"0", "fitted.value", "out"}).run(7);
  EXPECT_TRUE(result.ok) << result.error;
  return result.output.numbers("out");
}

std::vector<double> libraryScores(const GLMFit& fit, const std::string& dataFile) {
  vttest::Obj model, data, scores;
  fit.createCScoringModel(&model);
  EXPECT_EQ(TelvarDataSet_createWithModel(model.get(), &data, dataFile.c_str()), TELVAR_OK);
  const bool logistic = std::string(model.get()->className) == "LogisticRegressionModel";
  EXPECT_EQ(logistic
                ? TelvarLogisticRegressionModel_predict(&scores, data.get(), nullptr, model.get())
                : TelvarLinearRegressionModel_predict(&scores, data.get(), nullptr, model.get()),
            TELVAR_OK);
  int nrow = 0;
  TelvarDataSet_getNRows(&nrow, scores.get());
  std::vector<double> values;
  for (int row = 0; row < nrow; ++row)
    values.push_back(TelvarDataSet_getNonStringValue(scores.get(), 0, row));
  return values;
}

}  // namespace

TEST(FormulaCases, FitsAndScoresMatchR) {
  const QMXMemoryTable data = casesData();
  vttest::TempDir tmp;
  const std::string dataFile =
      vttest::withoutComments(refPath("model", "formula_cases_data.csv"), tmp);
  const QMXMemoryTable newRows = qmxtest::readRefTable("model", "formula_cases_new.csv", {});
  const std::string newFile =
      vttest::withoutComments(refPath("model", "formula_cases_new.csv"), tmp);
  int cases = 0;
  for (const RefRow& c : readRefCsv("model", "formula_cases.csv")) {
    SCOPED_TRACE(c.text("case"));
    ++cases;
    const std::pair<std::string, std::string> where{"case", c.text("case")};
    const qmxtest::NamedValues want =
        qmxtest::refValues("model", "formula_cases_coef.csv", where, "name", "estimate", "coef:");
    std::string document;
    qmxtest::forEachChunkSize([&](long rows) {
      qmxtest::ProcHarness proc = caseProc(c, data);
      const qmxtest::ProcResult run = proc.run(rows);
      ASSERT_TRUE(run.ok) << run.error;
      const GLMFit& fit = proc.as<QMXProcILM>().results();
      // A factor's coefficients as R's treatment coding gives them.
      const CodedCoefficients& coded = proc.as<QMXProcILM>().codedCoefficients();
      qmxtest::NamedValues values = glmcase::fitValues(fit);
      for (std::size_t k = 0; k < coded.names.size(); ++k)
        values["coef:" + coded.names[k].str()] = coded.estimate(static_cast<long>(k), 0);
      for (const auto& entry : qmxtest::NamedValues(values)) {  // the table's ';' for ','
        std::string name = entry.first;
        std::replace(name.begin(), name.end(), ',', ';');
        values[name] = entry.second;
      }
      EXPECT_TRUE(qmxtest::matchesRef(values, want, 1e-8));
      EXPECT_EQ(want.size(), coded.names.empty() ? static_cast<std::size_t>(fit.nCoefficients())
                                                 : coded.names.size());
      if (c.text("proc") == "QMXProcIGLM") {
        const QMXProcIGLM& glm = proc.as<QMXProcIGLM>();
        // R's dispersion weighs the final residuals by the working weights of the step before,
        // which depend on the start: quasipoisson and quasibinomial start as R's quasi().
        EXPECT_TRUE(qmxtest::near(glm.getDispersion(), c.num("dispersion"), 1e-5))
            << glm.getDispersion();
        EXPECT_TRUE(qmxtest::near(glm.getAic(), c.num("aic"), 1e-8)) << glm.getAic();
      }
      document = run.properties.at("fitted.model.pmml");
    });
    const GLMFit fit(document.c_str());
    const std::vector<double> predicted =
        qmxtest::refColumn("model", "formula_cases_pred.csv", where, "fitted");
    EXPECT_TRUE(qmxtest::matchesColumn(procScores(fit, data), predicted, 1e-8));
    if (c.text("package") == "yes") {
      EXPECT_TRUE(
          qmxtest::matchesColumn(libraryScores(fit, dataFile), procScores(fit, data), 1e-12));
      EXPECT_TRUE(
          qmxtest::matchesColumn(libraryScores(fit, newFile), procScores(fit, newRows), 1e-12));
    }
  }
  EXPECT_EQ(cases, 18);
}
