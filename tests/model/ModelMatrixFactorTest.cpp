// Factor codings of the model matrix and the handling of levels the model does not know
// (undefined rows, the unknown-level map, validation).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/ModelMatrixTestSupport.h"
#include "qmxmisc/framework/QMXNaNExclude.h"
#include "qmxmisc/model/ModelMatrix.h"

using modeltest::Chunk;
using modeltest::colNames;
using modeltest::factor;
using modeltest::indices;
using modeltest::makeModel;
using modeltest::rowsOf;

namespace {

// f has levels a, b, c in the model; the buffer also knows d.
QMXMemoryTable levelsTable() {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, 3, 4, 5, 6})
      .addFactorColumn("f", {"a", "d", "c", "b", "d", "a"}, {"a", "b", "c", "d"});
  return table;
}

}  // namespace

TEST(ModelMatrixFactor, EachCodingGivesItsColumns) {
  QMXMemoryTable table;
  table.addFactorColumn("f", {"a", "b", "c", "b"}, {"a", "b", "c"});
  const std::map<std::string, MatrixCoding> codings = {{"indicator", MatrixCoding::kIndicator},
                                                       {"sum", MatrixCoding::kSumToZero},
                                                       {"last", MatrixCoding::kLastReference},
                                                       {"poly", MatrixCoding::kPolynomial},
                                                       {"numeric", MatrixCoding::kNumeric}};
  const auto cases = modeltest::records("model_matrix_codings.tsv");
  EXPECT_EQ(cases.size(), codings.size());
  for (const std::vector<std::string>& c : cases) {
    SCOPED_TRACE(c[0]);
    Chunk chunk(table);
    ModelMatrix m(makeModel({"f"}, {{"f", {1}}}, {factor("f", {"a", "b", "c"}, codings.at(c[0]))}));
    m.init(chunk.buf);
    QMXNaNExclude filter(chunk.reader);
    ASSERT_EQ(m.construct(filter), 4u);
    EXPECT_EQ(colNames(m), modeltest::split(c[1], '|'));
    const auto rows = rowsOf(m);
    const auto expected = modeltest::split(c[2], '|');
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const auto values = modeltest::split(expected[r], ',');
      ASSERT_EQ(rows[r].size(), values.size());
      for (std::size_t k = 0; k < values.size(); ++k)
        EXPECT_NEAR(rows[r][k], std::stod(values[k]), 1e-15) << "row " << r << " column " << k;
    }
  }
}

TEST(ModelMatrixFactor, OneLevelFactorsGiveNoColumns) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2}).addFactorColumn("f", {"a", "a"}, {"a"});
  for (const MatrixCoding coding :
       {MatrixCoding::kSumToZero, MatrixCoding::kLastReference, MatrixCoding::kPolynomial}) {
    SCOPED_TRACE(static_cast<int>(coding));
    Chunk chunk(table);
    ModelMatrix m(
        makeModel({"x", "f"}, {{"f", {0, 1}}, {"x", {1, 0}}}, {factor("f", {"a"}, coding)}));
    m.init(chunk.buf);
    EXPECT_EQ(m.maxCol(), 2u);
    QMXNaNExclude filter(chunk.reader);
    ASSERT_EQ(m.construct(filter), 2u);
    EXPECT_EQ(colNames(m), (std::vector<std::string>{"(Intercept)", "x"}));
    EXPECT_EQ(indices(m.termIndicies()), (std::vector<unsigned>{1, 1, 2}));
  }
}

TEST(ModelMatrixFactor, UnknownLevels) {
  const ModelTerms model =
      makeModel({"x", "f"}, {{"x", {1, 0}}, {"f", {0, 1}}}, {factor("f", {"a", "b", "c"})});
  const std::vector<std::string> names = {"(Intercept)", "x", "f(a)", "f(b)", "f(c)"};
  struct Case {
    const char* what;
    UnknownLevelMap map;
    bool useMap;
    std::vector<unsigned> undefined;
    std::vector<std::vector<double>> rows;
    std::string message;
  };
  const std::vector<std::vector<double>> zeroBlocks = {{1, 1, 1, 0, 0}, {1, 2, 0, 0, 0},
                                                       {1, 3, 0, 0, 1}, {1, 4, 0, 1, 0},
                                                       {1, 5, 0, 0, 0}, {1, 6, 1, 0, 0}};
  const std::vector<std::vector<double>> replacedByB = {{1, 1, 1, 0, 0}, {1, 2, 0, 1, 0},
                                                        {1, 3, 0, 0, 1}, {1, 4, 0, 1, 0},
                                                        {1, 5, 0, 1, 0}, {1, 6, 1, 0, 0}};
  const std::vector<Case> cases = {
      {"no map: undefined rows", {}, false, {1, 4}, zeroBlocks, ""},
      {"map of another column", {{0, "b"}}, true, {1, 4}, zeroBlocks, ""},
      {"replacement not among the levels", {{1, "z"}}, true, {1, 4}, zeroBlocks, ""},
      {"replacement b", {{1, "b"}}, true, {}, replacedByB, ""},
      {"empty replacement",
       {{1, ""}},
       true,
       {},
       {},
       "model object categorical variable f does not have level d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Chunk chunk(levelsTable());
    ModelMatrix m(model);
    m.setValidateFactorLevels(false);
    if (c.useMap) m.setUnknownLevelMap(&c.map);
    m.init(chunk.buf);
    QMXNaNExclude filter(chunk.reader);
    filter.setVariables(strVector{"x", "f"});
    if (!c.message.empty()) {
      EXPECT_EQ(thrownMessage([&] { m.construct(filter); }), c.message);
      EXPECT_EQ(m.getNRow(), 0);
      continue;
    }
    ASSERT_EQ(m.construct(filter), 6u);
    EXPECT_EQ(colNames(m), names);
    EXPECT_EQ(indices(m.undefFactorIndex()), c.undefined);
    EXPECT_EQ(rowsOf(m), c.rows);
  }
}

TEST(ModelMatrixFactor, UndefinedRowsCountChunkRows) {
  // Rows 0 and 2 are left out for a missing x: the unknown level d of chunk rows 3 and 5
  // sits in matrix rows 1 and 3, and undefFactorIndex names the chunk rows.
  QMXMemoryTable table;
  table.addDoubleColumn("x", {std::nan(""), 2, std::nan(""), 4, 5, 6})
      .addFactorColumn("f", {"a", "b", "c", "d", "a", "d"}, {"a", "b", "c", "d"});
  Chunk chunk(table);
  ModelMatrix m(
      makeModel({"x", "f"}, {{"x", {1, 0}}, {"f", {0, 1}}}, {factor("f", {"a", "b", "c"})}));
  m.setValidateFactorLevels(false);
  m.init(chunk.buf);
  QMXNaNExclude filter(chunk.reader);
  filter.setVariables(strVector{"x", "f"});
  ASSERT_EQ(m.construct(filter), 4u);
  EXPECT_EQ(indices(m.rowsExcluded()), (std::vector<unsigned>{0, 2}));
  EXPECT_EQ(indices(m.undefFactorIndex()), (std::vector<unsigned>{3, 5}));
  EXPECT_EQ(rowsOf(m), (std::vector<std::vector<double>>{
                           {1, 2, 0, 1, 0}, {1, 4, 0, 0, 0}, {1, 5, 1, 0, 0}, {1, 6, 0, 0, 0}}));
}

TEST(ModelMatrixFactor, MissingLevelOutsideTheFilterIsAnUnknownLevel) {
  // The filter does not know f, so its missing cell reaches the matrix as an empty label.
  QMXMemoryTable table;
  table.addFactorColumn("f", {"a", "", "b"}, {"a", "b"});
  const ModelTerms model = makeModel({"f"}, {{"f", {1}}}, {factor("f", {"a", "b"})});
  {
    Chunk chunk(table);
    ModelMatrix m(model);
    m.setValidateFactorLevels(true);
    m.init(chunk.buf);
    QMXNaNExclude filter(chunk.reader);
    EXPECT_EQ(thrownMessage([&] { m.construct(filter); }),
              "model object categorical variable f does not have level ");
  }
  {
    Chunk chunk(table);
    ModelMatrix m(model);
    m.setValidateFactorLevels(false);
    m.init(chunk.buf);
    QMXNaNExclude filter(chunk.reader);
    ASSERT_EQ(m.construct(filter), 3u);
    EXPECT_EQ(indices(m.undefFactorIndex()), (std::vector<unsigned>{1}));
  }
}

TEST(ModelMatrixFactor, ValidationIsOnByDefault) {
  ModelMatrix m;
  EXPECT_TRUE(m.validateFactorLevels());
  Chunk chunk(levelsTable());
  m.setModel(makeModel({"f"}, {{"f", {1}}}, {factor("f", {"a", "b", "c"})}));
  EXPECT_EQ(thrownMessage([&] { m.init(chunk.buf); }),
            "data buffer has 4 categories for variable f but the model object has 3");
}

TEST(ModelMatrixFactor, SampledRowsKeepTheirChunkRowNumbers) {
  // A sample takes rows in drawing order; each matrix row is the sampled chunk row, and
  // undefFactorIndex lists the sampled chunk rows holding d, ascending.
  const QMXMemoryTable table = levelsTable();
  for (const unsigned seed : {1u, 7u, 12345u}) {
    SCOPED_TRACE(seed);
    Chunk chunk(table);
    ModelMatrix m(
        makeModel({"x", "f"}, {{"x", {1, 0}}, {"f", {0, 1}}}, {factor("f", {"a", "b", "c"})}));
    m.setValidateFactorLevels(false);
    m.init(chunk.buf);
    QMXNaNExclude filter(chunk.reader);
    filter.setVariables(strVector{"x", "f"});
    ASSERT_EQ(filter.createSampleIndex(4, seed), 4);
    ASSERT_EQ(m.construct(filter), 4u);
    std::vector<unsigned> expected;
    for (long i = 0; i < 4; ++i) {
      const std::uint32_t row = filter.rowIndex()[static_cast<std::size_t>(i)];
      EXPECT_EQ(m(i, 1), table.number(row, 0));
      if (table.text(row, 1) == "d") expected.push_back(row);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(indices(m.undefFactorIndex()), expected);
  }
}
