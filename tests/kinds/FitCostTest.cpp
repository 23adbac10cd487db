// The coefficients a fit's cost is estimated from, counted from the specification before the
// first pass, against R's ncol(model.matrix(formula, data)) (tests/ref/kinds/coefficients.R):
// interactions, factors with and without an intercept, "." and terms removed.
#include "qmxmisc/kinds/FitCost.h"

#include <gtest/gtest.h>

#include <string>

#include "qmxmisc/kinds/KindSpecification.h"
#include "support/RefCsv.h"

TEST(FitCost, CoefficientsMatchRModelMatrixColumns) {
  const ModelKind& lm = *findModelKind("lm");
  for (const RefRow& row : readRefCsv("kinds", "coefficients.csv")) {
    const std::string data = std::string(QMX_TEST_SOURCE_DIR) + "/" + row.text("data");
    const Specification spec =
        fitSpecification(scanCsvMetadata(data), lm, {row.text("formula"), "", {}});
    EXPECT_EQ(spec.coefficients, static_cast<std::int64_t>(row.num("coefficients")))
        << row.text("formula");
  }
}
