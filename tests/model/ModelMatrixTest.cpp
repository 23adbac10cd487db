// The model matrix: every case of tests/ref/model/model_matrix_cases.tsv (kinds of term,
// codings, missing rows, levels the model lacks, messages), sampled rows, centring and erase.
// Chunk invariance of the stacked matrix is checked through QMXProcModel.
#include "qmxmisc/model/ModelMatrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "model/ModelMatrixTestSupport.h"
#include "qmxmisc/framework/QMXNaNExclude.h"
#include "support/RefCsv.h"

using modeltest::Chunk;
using modeltest::colNames;
using modeltest::indices;
using modeltest::makeModel;
using modeltest::modelOf;
using modeltest::records;
using modeltest::rowsOf;
using modeltest::split;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The table of tests/ref/model/model_matrix_cases.tsv.
QMXMemoryTable sixRows() {
  QMXMemoryTable table;
  table.addDoubleColumn("y", {10, 20, 30, 40, 50, 60})
      .addDoubleColumn("x", {1, 2, 3, 4, 5, 6})
      .addFactorColumn("f", {"a", "b", "c", "a", "c", "b"}, {"a", "b", "c"})
      .addFactorColumn("g", {"u", "v", "u", "v", "w", "w"}, {"u", "v", "w"})
      .addFactorColumn("p", {"s", "s", "t", "t", "s", "t"}, {"s", "t"})
      .addDoubleColumn("z", {-1, 0.5, 2, -3, 4, 0.25})
      .addFactorColumn("o", {"k", "k", "k", "k", "k", "k"}, {"k"})
      .addDoubleColumn("xm", {1, 2, kNaN, 4, 5, 6})
      .addFactorColumn("h", {"a", "d", "c", "b", "d", ""}, {"a", "b", "c", "d"})
      .addDoubleColumn("nan", {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN});
  return table;
}

// Builds the matrix of the whole table as one chunk, the filter holding the model variables.
ModelMatrix buildWhole(const QMXMemoryTable& table, const ModelTerms& model) {
  Chunk chunk(table);
  ModelMatrix m(model);
  m.init(chunk.buf);
  QMXNaNExclude filter(chunk.reader);
  filter.setVariables(strVector{"x", "z"});
  m.construct(filter);
  return m;
}

std::vector<std::string> texts(const Index& index) {
  std::vector<std::string> values;
  for (const unsigned value : index)
    values.push_back(std::to_string(value));
  return values;
}

}  // namespace

TEST(ModelMatrix, CasesOfTheTable) {
  const auto cases = records("model_matrix_cases.tsv");
  EXPECT_EQ(cases.size(), 43u);
  for (const std::vector<std::string>& c : cases) {
    SCOPED_TRACE(c[0]);
    Chunk chunk(sixRows());
    ModelMatrix m(modelOf(c[5], c[6], c[7], c[1] == "1"));
    if (!c[2].empty()) m.setValidateFactorLevels(c[2] == "1");
    UnknownLevelMap map;
    if (c[4] != "-") {
      map[std::stol(c[4])] = c[4].substr(c[4].find(':') + 1);
      m.setUnknownLevelMap(&map);
    }
    QMXNaNExclude filter(chunk.reader);
    filter.setVariables(strVector(split(c[3].empty() ? c[5] : c[3], '|')));
    const std::string bound = thrownMessage([&] { m.init(chunk.buf); });
    const std::string message =
        bound != "<no exception>" ? bound : thrownMessage([&] { m.construct(filter); });
    EXPECT_EQ(message, c[13].empty() ? "<no exception>" : c[13]);
    if (!c[13].empty()) {
      // A failed binding leaves the matrix unbound, a failed construction erased.
      if (bound != "<no exception>") {
        EXPECT_EQ(thrownMessage([&] { m.construct(filter); }),
                  "model matrix is not bound to a data buffer");
      }
      EXPECT_EQ(m.getNRow(), 0);
      EXPECT_TRUE(m.termIndicies().empty());
      continue;
    }
    const std::vector<std::string> names = split(c[8], '|');
    EXPECT_EQ(colNames(m), names);
    EXPECT_EQ(m.getNCol(), static_cast<long>(names.size()));
    EXPECT_EQ(m.maxCol(), names.empty() ? m.maxCol() : names.size());  // none built: unchecked
    EXPECT_EQ(texts(m.termIndicies()), split(c[9], ','));
    EXPECT_EQ(texts(m.rowsExcluded()), split(c[10], ','));
    EXPECT_EQ(m.nMissing(), static_cast<long>(split(c[10], ',').size()));
    EXPECT_EQ(texts(m.undefFactorIndex()), split(c[11], ','));
    if (c[12] != "-") modeltest::expectNear(rowsOf(m), c[12]);
  }
}

TEST(ModelMatrix, SampledRowsKeepTheirChunkRowNumbers) {
  // A sample takes rows in drawing order; each matrix row is the sampled chunk row, and
  // undefFactorIndex lists the sampled chunk rows holding a level the model lacks, ascending.
  const QMXMemoryTable table = sixRows();
  for (const unsigned seed : {1u, 7u, 12345u}) {
    SCOPED_TRACE(seed);
    Chunk chunk(table);
    ModelMatrix m(modelOf("x|h", "x=1,0|h=0,1", "h=a,b,c"));
    m.setValidateFactorLevels(false);
    m.init(chunk.buf);
    QMXNaNExclude filter(chunk.reader);
    filter.setVariables(strVector{"x"});
    ASSERT_EQ(filter.createSampleIndex(4, seed), 4);
    ASSERT_EQ(m.construct(filter), 4u);
    std::vector<unsigned> expected;
    for (long i = 0; i < 4; ++i) {
      const std::uint32_t row = filter.rowIndex()[static_cast<std::size_t>(i)];
      EXPECT_EQ(m(i, 1), table.number(row, 1));
      if (table.text(row, 8) == "d" || table.text(row, 8).empty()) expected.push_back(row);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(indices(m.undefFactorIndex()), expected);
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
  // Valid: an intercept-only model is, an empty one is not.
  EXPECT_TRUE(ModelMatrix(makeModel({}, {})).valid());
  EXPECT_FALSE(ModelMatrix(makeModel({}, {}, {}, false)).valid());
}
