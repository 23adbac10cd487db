// The merge contract of the linear regression proc (tests/support/MergeContract.h): fits of
// two parts of mtcars merged through their chunk accumulators equal the fit of all rows:
// coefficients, standard errors, the deviance table, its degrees of freedom, the coefficient
// correlations, the importance and the count of rows with missing values.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "glm/GlmProcCases.h"
#include "qmxmisc/glm/QMXProcILM.h"
#include "support/MergeContract.h"

namespace {

// mtcars with wt missing in rows 3 and 20.
QMXMemoryTable mtcarsWithMissing() {
  const QMXMemoryTable full = glmcase::mtcars();
  std::vector<double> wt = full.numbers("wt");
  wt[3] = wt[20] = std::numeric_limits<double>::quiet_NaN();
  QMXMemoryTable table;
  for (const QMXColumnInfo& info : full.schema()) {
    if (info.type == QMXColumnType::Factor)
      table.addFactorColumn(info.name, full.texts(info.name), info.levels);
    else
      table.addDoubleColumn(info.name, info.name == "wt" ? wt : full.numbers(info.name));
  }
  return table;
}

std::vector<double> fitNumbers(const QMXProcILM& proc) {
  const GLMFit& fit = proc.results();
  std::vector<double> numbers;
  for (const TMatrix<double>* m :
       {&fit.coefficients(), &fit.stdErr(), &fit.deviance(), &fit.waldStat()})
    numbers.insert(numbers.end(), m->constData(), m->constData() + m->size());
  for (const TMatrix<long>* m : {&fit.df(), &fit.waldDf()})
    numbers.insert(numbers.end(), m->constData(), m->constData() + m->size());
  numbers.insert(numbers.end(), fit.corrValues().begin(), fit.corrValues().end());
  numbers.push_back(static_cast<double>(fit.nMissing()));
  return numbers;
}

}  // namespace

TEST(QMXProcILMMerge, MergedHalvesEqualTheWholeFit) {
  const QMXMemoryTable table = mtcarsWithMissing();
  for (const bool weighted : {false, true}) {
    SCOPED_TRACE(weighted ? "weighted" : "unweighted");
    const std::string spec = glmcase::specDocument(
        table, "mpg ~ wt + hp + cyl + am + cyl:am + wt:cyl", weighted ? "w" : "");
    const auto fit = [&](QMXProcILM& proc, const QMXMemoryTable& rows) {
      return qmxtest::ProcHarness(proc, "QMXProcILM")
          .input(rows)
          .set("model.vtml", {spec})
          .run(7)
          .ok;
    };
    const auto merge = [](QMXProcILM& a, const QMXProcILM& b) {
      a.mergeAccumulator(b.chunkAccumulator());
    };
    expectMergeContract<QMXProcILM>(table, {16, 13, 27}, fit, merge, fitNumbers);
  }
}
