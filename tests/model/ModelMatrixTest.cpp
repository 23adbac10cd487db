// Model matrix layout: intercept, main effects, interactions and powers, term positions,
// binding to a buffer with its messages, and centring. Chunk invariance of the stacked matrix
// is checked through QMXProcModel (QMXProcModelTest.cpp).
#include "qmxmisc/model/ModelMatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "model/ModelMatrixTestSupport.h"
#include "qmxmisc/framework/QMXNaNExclude.h"
#include "support/RefCsv.h"

using modeltest::Chunk;
using modeltest::colNames;
using modeltest::factor;
using modeltest::indices;
using modeltest::makeModel;
using modeltest::modelOf;
using modeltest::records;
using modeltest::rowsOf;
using modeltest::split;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

QMXMemoryTable sixRows() {
  QMXMemoryTable table;
  table.addDoubleColumn("y", {10, 20, 30, 40, 50, 60})
      .addDoubleColumn("x", {1, 2, 3, 4, 5, 6})
      .addFactorColumn("f", {"a", "b", "c", "a", "c", "b"}, {"a", "b", "c"})
      .addFactorColumn("g", {"u", "v", "u", "v", "w", "w"}, {"u", "v", "w"})
      .addFactorColumn("p", {"s", "s", "t", "t", "s", "t"}, {"s", "t"})
      .addDoubleColumn("z", {-1, 0.5, 2, -3, 4, 0.25})
      .addFactorColumn("o", {"k", "k", "k", "k", "k", "k"}, {"k"});
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
  const auto cases = records("model_matrix_columns.tsv");
  EXPECT_EQ(cases.size(), 21u);
  for (const std::vector<std::string>& c : cases) {
    SCOPED_TRACE(c[0]);
    const ModelMatrix m = buildWhole(sixRows(), modelOf(c[2], c[3], c[4], c[1] == "1"));
    std::vector<unsigned> termIndices;
    for (const std::string& index : split(c[6], ','))
      termIndices.push_back(static_cast<unsigned>(std::stoul(index)));
    EXPECT_EQ(colNames(m), split(c[5], '|'));
    EXPECT_EQ(m.maxCol(), split(c[5], '|').size());
    EXPECT_EQ(m.getNCol(), static_cast<long>(m.maxCol()));
    EXPECT_EQ(indices(m.termIndicies()), termIndices);
    EXPECT_EQ(m.nMissing(), 0);
    EXPECT_TRUE(m.undefFactorIndex().empty());
    if (c[7] == "-") continue;
    const auto rows = rowsOf(m);
    const auto expected = modeltest::matrixOf(c[7]);
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      ASSERT_EQ(rows[r].size(), expected[r].size());
      for (std::size_t k = 0; k < rows[r].size(); ++k)
        EXPECT_NEAR(rows[r][k], expected[r][k], 1e-15) << "row " << r << " column " << k;
    }
  }
}

TEST(ModelMatrix, InitAndConstructMessages) {
  const auto cases = records("model_matrix_messages.tsv");
  EXPECT_EQ(cases.size(), 10u);
  for (const std::vector<std::string>& c : cases) {
    SCOPED_TRACE(c[0]);
    Chunk chunk(sixRows());
    ModelMatrix m(modelOf(c[3], c[4], c[5]));
    m.setValidateFactorLevels(c[2] == "1");
    QMXNaNExclude filter(chunk.reader);
    if (c[1] == "init") {
      EXPECT_EQ(thrownMessage([&] { m.init(chunk.buf); }), c[6]);
      // A failed binding leaves the matrix unbound.
      EXPECT_EQ(thrownMessage([&] { m.construct(filter); }),
                "model matrix is not bound to a data buffer");
    } else {
      m.init(chunk.buf);
      EXPECT_EQ(thrownMessage([&] { m.construct(filter); }), c[6]);
      EXPECT_EQ(m.getNRow(), 0);  // a failed construction leaves the matrix erased
      EXPECT_TRUE(m.termIndicies().empty());
    }
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
