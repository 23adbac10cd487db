// Model matrix layout: intercept, main effects, interactions and powers, term positions,
// binding to a buffer with its messages, and centring. Chunk invariance of the stacked matrix
// is checked through QMXProcModel (QMXProcModelTest.cpp).
#include "qmxmisc/model/ModelMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "model/ModelMatrixTestSupport.h"
#include "qmxmisc/framework/QMXNaNExclude.h"

using modeltest::Chunk;
using modeltest::colNames;
using modeltest::factor;
using modeltest::indices;
using modeltest::makeModel;
using modeltest::rowsOf;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

QMXMemoryTable sixRows() {
  QMXMemoryTable table;
  table.addDoubleColumn("y", {10, 20, 30, 40, 50, 60})
      .addDoubleColumn("x", {1, 2, 3, 4, 5, 6})
      .addFactorColumn("f", {"a", "b", "c", "a", "c", "b"}, {"a", "b", "c"})
      .addFactorColumn("g", {"u", "v", "u", "v", "w", "w"}, {"u", "v", "w"})
      .addFactorColumn("p", {"s", "s", "t", "t", "s", "t"}, {"s", "t"})
      .addDoubleColumn("z", {-1, 0.5, 2, -3, 4, 0.25});
  return table;
}

// Builds the matrix of the whole table as one chunk, the filter holding the model variables.
ModelMatrix buildWhole(const QMXMemoryTable& table, const ModelTerms& model) {
  Chunk chunk(table);
  ModelMatrix m(model);
  m.init(chunk.buf);
  QMXNaNExclude filter(chunk.reader);
  strVector variables;
  for (long v = 0; v < model.nVariables(); ++v)
    variables.push_back(model.variable(v));
  filter.setVariables(variables);
  m.construct(filter);
  return m;
}

}  // namespace

TEST(ModelMatrix, ColumnsOfEachKindOfTerm) {
  struct Case {
    const char* what;
    std::vector<std::string> variables;
    std::vector<modeltest::Term> terms;
    std::vector<FactorInfo> factors;
    std::vector<std::string> names;
    std::vector<unsigned> termIndicies;
    std::vector<std::vector<double>> rows;
    bool intercept = true;
  };
  const FactorInfo f = factor("f", {"a", "b", "c"});
  const FactorInfo p = factor("p", {"s", "t"});
  const std::vector<Case> cases = {
      {"intercept, covariate and indicator factor",
       {"x", "f"},
       {{"x", {1, 0}}, {"f", {0, 1}}},
       {f},
       {"(Intercept)", "x", "f(a)", "f(b)", "f(c)"},
       {1, 2, 5},
       {{1, 1, 1, 0, 0},
        {1, 2, 0, 1, 0},
        {1, 3, 0, 0, 1},
        {1, 4, 1, 0, 0},
        {1, 5, 0, 0, 1},
        {1, 6, 0, 1, 0}}},
      {"without intercept terms start at column 0, in terms-table column order",
       {"z", "x"},
       {{"x", {0, 1}}, {"z", {1, 0}}},
       {},
       {"x", "z"},
       {0, 1, 2},
       {{1, -1}, {2, 0.5}, {3, 2}, {4, -3}, {5, 4}, {6, 0.25}},
       false},
      {"intercept only", {}, {}, {}, {"(Intercept)"}, {1}, {{1}, {1}, {1}, {1}, {1}, {1}}},
      {"x:f holds x times each indicator",
       {"x", "f"},
       {{"x:f", {1, 1}}},
       {f},
       {"(Intercept)", "x:f(a)", "x:f(b)", "x:f(c)"},
       {1, 4},
       {{1, 1, 0, 0}, {1, 0, 2, 0}, {1, 0, 0, 3}, {1, 4, 0, 0}, {1, 0, 0, 5}, {1, 0, 6, 0}}},
      {"p:f, the first factor varying slowest",
       {"p", "f"},
       {{"p:f", {1, 1}}},
       {p, f},
       {"(Intercept)", "p(s):f(a)", "p(s):f(b)", "p(s):f(c)", "p(t):f(a)", "p(t):f(b)",
        "p(t):f(c)"},
       {1, 7},
       {{1, 1, 0, 0, 0, 0, 0},
        {1, 0, 1, 0, 0, 0, 0},
        {1, 0, 0, 0, 0, 0, 1},
        {1, 0, 0, 0, 1, 0, 0},
        {1, 0, 0, 1, 0, 0, 0},
        {1, 0, 0, 0, 0, 1, 0}}},
      {"variables listed in row order whatever the term label",
       {"f", "p"},
       {{"p:f", {1, 1}}},
       {p, f},
       {"(Intercept)", "f(a):p(s)", "f(a):p(t)", "f(b):p(s)", "f(b):p(t)", "f(c):p(s)",
        "f(c):p(t)"},
       {1, 7},
       {{1, 1, 0, 0, 0, 0, 0},
        {1, 0, 0, 1, 0, 0, 0},
        {1, 0, 0, 0, 0, 0, 1},
        {1, 0, 1, 0, 0, 0, 0},
        {1, 0, 0, 0, 0, 1, 0},
        {1, 0, 0, 0, 1, 0, 0}}},
      {"x^2 is the one column x:x",
       {"x"},
       {{"x", {1}}, {"I(x^2)", {2}}},
       {},
       {"(Intercept)", "x", "x:x"},
       {1, 2, 3},
       {{1, 1, 1}, {1, 2, 4}, {1, 3, 9}, {1, 4, 16}, {1, 5, 25}, {1, 6, 36}}},
      {"x^2:z and a main effect after the interaction",
       {"x", "z"},
       {{"x^2:z", {2, 1}}, {"z", {0, 1}}},
       {},
       {"(Intercept)", "x:x:z", "z"},
       {1, 2, 3},
       {{1, -1, -1}, {1, 2, 0.5}, {1, 18, 2}, {1, -48, -3}, {1, 100, 4}, {1, 9, 0.25}}},
      {"main effects and their interaction",
       {"x", "p"},
       {{"x", {1, 0}}, {"p", {0, 1}}, {"x:p", {1, 1}}},
       {p},
       {"(Intercept)", "x", "p(s)", "p(t)", "x:p(s)", "x:p(t)"},
       {1, 2, 4, 6},
       {{1, 1, 1, 0, 1, 0},
        {1, 2, 1, 0, 2, 0},
        {1, 3, 0, 1, 0, 3},
        {1, 4, 0, 1, 0, 4},
        {1, 5, 1, 0, 5, 0},
        {1, 6, 0, 1, 0, 6}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ModelMatrix m =
        buildWhole(sixRows(), makeModel(c.variables, c.terms, c.factors, c.intercept));
    EXPECT_EQ(m.maxCol(), c.names.size());
    EXPECT_EQ(colNames(m), c.names);
    EXPECT_EQ(indices(m.termIndicies()), c.termIndicies);
    EXPECT_EQ(rowsOf(m), c.rows);
    EXPECT_EQ(m.nMissing(), 0);
    EXPECT_TRUE(m.undefFactorIndex().empty());
  }
}

TEST(ModelMatrix, RowsWithMissingValuesAreLeftOutAndRecorded) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, kNaN, 3, 4, std::numeric_limits<double>::infinity()})
      .addFactorColumn("f", {"a", "b", "", "b", "a"}, {"a", "b"});
  const ModelTerms model =
      makeModel({"x", "f"}, {{"x", {1, 0}}, {"f", {0, 1}}}, {factor("f", {"a", "b"})});
  const ModelMatrix m = buildWhole(table, model);
  EXPECT_EQ(rowsOf(m), (std::vector<std::vector<double>>{{1, 1, 1, 0}, {1, 4, 0, 1}}));
  EXPECT_EQ(indices(m.rowsExcluded()), (std::vector<unsigned>{1, 2, 4}));
  EXPECT_EQ(m.nMissing(), 3);
}

TEST(ModelMatrix, InitMessages) {
  const QMXMemoryTable table = sixRows();
  struct Case {
    const char* what;
    ModelTerms model;
    bool validate;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"two variables missing",
       makeModel(
           {"x", "w", "f", "v"},
           {{"x", {1, 0, 0, 0}}, {"w", {0, 1, 0, 0}}, {"f", {0, 0, 1, 0}}, {"v", {0, 0, 0, 1}}},
           {factor("f", {"a", "b", "c"})}),
       false, "variable(s) specified in the model are not in the data buffer: w, v"},
      {"one variable missing", makeModel({"w"}, {{"w", {1}}}), false,
       "variable(s) specified in the model are not in the data buffer: w"},
      {"continuous in the buffer, a factor in the model",
       makeModel({"x"}, {{"x", {1}}}, {factor("x", {"1", "2"})}), false,
       "data buffer has variable x marked as a continuous but the model object does not"},
      {"categorical in the buffer, continuous in the model", makeModel({"f"}, {{"f", {1}}}), false,
       "data buffer has variable f marked as categorical and the model object does not"},
      {"more buffer categories than model levels",
       makeModel({"f"}, {{"f", {1}}}, {factor("f", {"a", "b"})}), true,
       "data buffer has 3 categories for variable f but the model object has 2"},
      {"a buffer category the model lacks",
       makeModel({"f"}, {{"f", {1}}}, {factor("f", {"a", "c", "d"})}), true,
       "model object categorical variable f does not have level b"},
      {"polynomial coding of twelve levels",
       makeModel({"f"}, {{"f", {1}}},
                 {factor("f", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"},
                         MatrixCoding::kPolynomial)}),
       false, "Orthogonal polynomials of degree 11 are not allowed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Chunk chunk(table);
    ModelMatrix m(c.model);
    m.setValidateFactorLevels(c.validate);
    EXPECT_EQ(thrownMessage([&] { m.init(chunk.buf); }), c.message);
    // A failed binding leaves the matrix unbound.
    QMXNaNExclude filter(chunk.reader);
    EXPECT_EQ(thrownMessage([&] { m.construct(filter); }),
              "model matrix is not bound to a data buffer");
  }

  // Without validation, extra buffer levels bind (they are handled row by row).
  Chunk chunk(table);
  ModelMatrix m(makeModel({"f"}, {{"f", {1}}}, {factor("f", {"a", "c", "d"})}));
  m.setValidateFactorLevels(false);
  EXPECT_EQ(thrownMessage([&] { m.init(chunk.buf); }), "<no exception>");
  EXPECT_EQ(m.variableMap().size(), 1u);
  EXPECT_EQ(m.variableMap()[0], 2);
}

TEST(ModelMatrix, MaxColCountsEveryTermWidth) {
  const FactorInfo f = factor("f", {"a", "b", "c"});
  struct Case {
    MatrixCoding coding;
    bool intercept;
    unsigned maxCol;
  };
  // Terms x, f, x:f, f:p (p indicator with 2 levels), z^2: 1 + w + w + 2w + 1 columns.
  for (const Case& c : {Case{MatrixCoding::kIndicator, true, 1 + 1 + 3 + 3 + 6 + 1},
                        Case{MatrixCoding::kSumToZero, true, 1 + 1 + 2 + 2 + 4 + 1},
                        Case{MatrixCoding::kLastReference, false, 1 + 2 + 2 + 4 + 1},
                        Case{MatrixCoding::kPolynomial, true, 1 + 1 + 2 + 2 + 4 + 1},
                        Case{MatrixCoding::kNumeric, true, 1 + 1 + 1 + 1 + 2 + 1}}) {
    SCOPED_TRACE(static_cast<int>(c.coding));
    const ModelTerms model =
        makeModel({"x", "f", "p", "z"},
                  {{"x", {1, 0, 0, 0}},
                   {"f", {0, 1, 0, 0}},
                   {"x:f", {1, 1, 0, 0}},
                   {"f:p", {0, 1, 1, 0}},
                   {"z^2", {0, 0, 0, 2}}},
                  {factor("f", {"a", "b", "c"}, c.coding), factor("p", {"s", "t"})}, c.intercept);
    const ModelMatrix m = buildWhole(sixRows(), model);
    EXPECT_EQ(m.maxCol(), c.maxCol);
    EXPECT_EQ(m.getNCol(), static_cast<long>(c.maxCol));
    EXPECT_EQ(m.termIndicies().back(), c.maxCol);
  }
}

TEST(ModelMatrix, ConstructMessagesLeaveTheMatrixErased) {
  const QMXMemoryTable table = sixRows();
  struct Case {
    const char* what;
    ModelTerms model;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"a factor squared", makeModel({"f"}, {{"f^2", {2}}}, {factor("f", {"a", "b", "c"})}),
       "order > 1 for categorical variables (nested effect) is not implemented yet"},
      {"more main effects than variables",
       makeModel({"x", "z"}, {{"x", {1, 0}}, {"z", {0, 1}}, {"x.again", {1, 0}}}),
       "number of main effects exceeded the number of variables"},
      {"an interaction with a factor of no columns",
       makeModel({"x", "p"}, {{"x:p", {1, 1}}}, {factor("p", {"s"}, MatrixCoding::kLastReference)}),
       "failed to compute model matrix"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Chunk chunk(table);
    ModelMatrix m(c.model);
    m.setValidateFactorLevels(false);  // p has a level t the one-level model lacks
    m.init(chunk.buf);
    QMXNaNExclude filter(chunk.reader);
    EXPECT_EQ(thrownMessage([&] { m.construct(filter); }), c.message);
    EXPECT_EQ(m.getNRow(), 0);
    EXPECT_TRUE(m.termIndicies().empty());
  }
}

TEST(ModelMatrix, NoReaderOrNoRowsGivesZero) {
  const ModelTerms model = makeModel({"x"}, {{"x", {1}}});
  Chunk chunk(sixRows());
  ModelMatrix m(model);
  m.init(chunk.buf);
  QMXNaNExclude noReader;
  EXPECT_EQ(m.construct(noReader), 0u);
  chunk.reader.setRequestRows(0);
  QMXNaNExclude noRows(chunk.reader);
  EXPECT_EQ(m.construct(noRows), 0u);
  EXPECT_EQ(m.getNRow(), 0);

  // Every row missing: nothing built, the exclusions kept.
  QMXMemoryTable missing;
  missing.addDoubleColumn("x", {kNaN, kNaN});
  Chunk allMissing(missing);
  ModelMatrix m2(model);
  m2.init(allMissing.buf);
  QMXNaNExclude filter(allMissing.reader);
  filter.setVariables(strVector{"x"});
  EXPECT_EQ(m2.construct(filter), 0u);
  EXPECT_EQ(m2.getNRow(), 0);
  EXPECT_EQ(indices(m2.rowsExcluded()), (std::vector<unsigned>{0, 1}));
}

TEST(ModelMatrix, CenterSubtractsPerColumn) {
  const ModelTerms model = makeModel({"x", "z"}, {{"x", {1, 0}}, {"z", {0, 1}}});
  ModelMatrix m = buildWhole(sixRows(), model);
  const double shifts[] = {1, 3.5, 0.25};
  m.center(TMatrix<double>(shifts, 3));
  EXPECT_EQ(m(0, 0), 0);
  EXPECT_EQ(m(0, 1), -2.5);
  EXPECT_EQ(m(5, 1), 2.5);
  EXPECT_EQ(m(2, 2), 1.75);
  EXPECT_EQ(colNames(m), (std::vector<std::string>{"(Intercept)", "x", "z"}));
  EXPECT_EQ(thrownMessage([&] { m.center(TMatrix<double>(shifts, 2)); }),
            "center vector has length 2 but expected 3");
}

TEST(ModelMatrix, EraseKeepsOrDropsTheModel) {
  const ModelTerms model = makeModel({"x"}, {{"x", {1}}});
  ModelMatrix m = buildWhole(sixRows(), model);
  ASSERT_EQ(m.getNRow(), 6);
  m.erase(true);
  EXPECT_EQ(m.getNRow(), 0);
  EXPECT_TRUE(m.termIndicies().empty());
  EXPECT_EQ(m.model().nVariables(), 1);
  EXPECT_EQ(m.maxCol(), 2u);
  EXPECT_TRUE(m.valid());
  m.erase(false);
  EXPECT_EQ(m.model().nVariables(), 0);
  EXPECT_EQ(m.maxCol(), 0u);
  EXPECT_TRUE(m.variableMap().empty());
  // Valid follows the model: an intercept-only model is, an empty one is not.
  EXPECT_TRUE(ModelMatrix(makeModel({}, {})).valid());
  EXPECT_FALSE(ModelMatrix(makeModel({}, {}, {}, false)).valid());
}
