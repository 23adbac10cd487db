// ModelFormula: term sets, order and labels against R's terms.formula, the model description
// built from them, and every message a formula can raise.
#include "qmxmisc/model/ModelFormula.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "model/ModelMatrixTestSupport.h"
#include "support/RefCsv.h"
#include "support/ThrownMessage.h"

using modeltest::split;

namespace {

// The columns formula_terms.R describes: y, x, z numeric; f (a, b, c) and g (lo, hi)
// factors; `my var` and w numeric; s text.
std::vector<DataColumn> testColumns() {
  return {DataColumn::numeric("y"),
          DataColumn::numeric("x"),
          DataColumn::numeric("z"),
          DataColumn::factor("f", {"a", "b", "c"}),
          DataColumn::factor("g", {"lo", "hi"}),
          DataColumn::numeric("my var"),
          DataColumn::numeric("w"),
          DataColumn::text("s")};
}

// An R formula variable as (column, power): "I(x^2)" is power 2 of x, "`my var`" the column
// "my var"; any other call (log(x), I(x * z)) is a variable of its own.
std::pair<std::string, long> columnPower(std::string name) {
  long power = 1;
  const std::size_t caret = name.find('^');
  if (name.rfind("I(", 0) == 0 && caret != std::string::npos &&
      name.find_first_of("( ", 2) == std::string::npos) {
    power = std::stol(name.substr(caret + 1, name.size() - caret - 2));
    name = name.substr(2, caret - 2);
  }
  if (name.size() > 1 && name.front() == '`') name = name.substr(1, name.size() - 2);
  return {name, power};
}

std::string messageWith(const std::string& formula, const std::vector<DataColumn>& columns,
                        const std::string& weights = "") {
  return thrownMessage([&] { parseModelFormula(formula, columns, weights); });
}

// Expects the terms of `formula` to be `fields` in R's notation (formula_terms.R): intercept,
// labels, variables and each term's variables. Exact, order included.
void expectTerms(const std::string& formula, const std::string& weights,
                 const std::vector<std::string>& fields) {
  SCOPED_TRACE(formula);
  const FormulaTerms got = parseModelFormula(formula, testColumns(), weights);
  EXPECT_EQ(got.intercept, fields[0] == "1");
  EXPECT_EQ(got.labels, split(fields[1], '|'));
  std::vector<std::string> rows;
  for (const std::string& var : split(fields[2], ';')) {
    const std::string column = columnPower(var).first;
    if (std::find(rows.begin(), rows.end(), column) == rows.end()) rows.push_back(column);
  }
  EXPECT_EQ(got.variables, rows);
  const std::vector<std::string> terms = split(fields[3], '|');
  ASSERT_EQ(got.powers.size(), terms.size());
  for (std::size_t termIdx = 0; termIdx < terms.size(); ++termIdx) {
    std::vector<long> expected(rows.size(), 0);
    for (const std::string& var : split(terms[termIdx], ';')) {
      const auto [column, power] = columnPower(var);
      expected[std::find(rows.begin(), rows.end(), column) - rows.begin()] += power;
    }
    EXPECT_EQ(got.powers[termIdx], expected) << "term " << termIdx;
  }
}

TEST(ModelFormula, TermsMatchR) {
  // Reference: tests/ref/model/formula_terms.csv, written by formula_terms.R (R 4.2), with w
  // the weights.
  std::ifstream in(QMX_TEST_REF_DIR "/model/formula_terms.csv");
  ASSERT_TRUE(in.good());
  std::string line;
  std::getline(in, line);  // R version
  std::getline(in, line);  // header
  int cases = 0;
  while (std::getline(in, line)) {
    // The formula may hold commas (cbind); the four fields after it never do.
    std::vector<std::string> fields = split(line, ',');
    ASSERT_GE(fields.size(), 5u) << line;
    while (fields.size() > 5) {
      fields[0] += "," + fields[1];
      fields.erase(fields.begin() + 1);
    }
    expectTerms(fields[0], "w", {fields.begin() + 1, fields.end()});
    ++cases;
  }
  EXPECT_EQ(cases, 35);
}

TEST(ModelFormula, OwnTermsAndResponses) {
  // tests/ref/model/formula_terms_own.tsv: what R's terms() does not say (weights, responses,
  // numerals, high powers), in the same notation.
  const auto cases = modeltest::records("formula_terms_own.tsv");
  EXPECT_EQ(cases.size(), 13u);
  for (const std::vector<std::string>& c : cases) {
    expectTerms(c[0], c[1], {c.begin() + 3, c.end()});
    EXPECT_EQ(parseModelFormula(c[0], testColumns(), c[1]).responses, split(c[2], '|')) << c[0];
  }
}

TEST(ModelFormula, BuildsMiningModel) {
  const MiningModel model = modelFromFormula("f ~ x * g + I(x^2)", testColumns(), "w");
  ASSERT_EQ(model.nResponse(), 1);
  EXPECT_EQ(model.response(0).name(), String("f"));
  EXPECT_EQ(model.response(0).levels(), strVector(std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(model.isClassification());
  // The terms table: variables by terms, column by column.
  const TMatrix<long>& table = model.termsTable();
  EXPECT_EQ(table.getRowNames(), strVector(std::vector<std::string>{"x", "g"}));
  EXPECT_EQ(table.getColNames(), strVector(std::vector<std::string>{"x", "g", "I(x^2)", "x:g"}));
  EXPECT_EQ(std::vector<long>(table.constData(), table.constData() + table.size()),
            (std::vector<long>{1, 0, 0, 1, 2, 0, 1, 1}));
  ASSERT_EQ(model.nFactors(), 1);
  EXPECT_EQ(model.factorInfo(0L).levels(), strVector(std::vector<std::string>{"lo", "hi"}));
  EXPECT_EQ(model.weights(), String("w"));

  // An intercept-only model has an empty terms table and is valid.
  const MiningModel constant = modelFromFormula("y ~ 1", testColumns());
  EXPECT_EQ(constant.nTerms() + constant.nVariables(), 0);
  EXPECT_TRUE(constant.valid());
  EXPECT_FALSE(modelFromFormula("y ~ x - 1", testColumns()).intercept());
}

// The columns of a message row: the test columns, none (-), or numeric columns by name
// (vA-vB: vA to vB).
std::vector<DataColumn> columnsOf(const std::string& spec) {
  if (spec.empty()) return testColumns();
  std::vector<DataColumn> columns;
  for (const std::string& name : split(spec == "-" ? "" : spec, '|')) {
    const std::size_t dash = name.find('-');
    if (dash == std::string::npos) {
      columns.push_back(DataColumn::numeric(name));
      continue;
    }
    for (int colIdx = std::stoi(name.substr(1)); colIdx <= std::stoi(name.substr(dash + 2));
         ++colIdx)
      columns.push_back(DataColumn::numeric("v" + std::to_string(colIdx)));
  }
  return columns;
}

TEST(ModelFormula, Messages) {
  // tests/ref/model/formula_messages.tsv: formula, weights, message, columns.
  const auto cases = modeltest::records("formula_messages.tsv");
  EXPECT_EQ(cases.size(), 57u);
  for (const std::vector<std::string>& c : cases)
    EXPECT_EQ(messageWith(c[0], columnsOf(c[3]), c[1]), c[2]) << c[0];
}

}  // namespace
