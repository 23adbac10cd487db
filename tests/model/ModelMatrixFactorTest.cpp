// Levels the model does not know (undefined rows, the unknown-level map, validation) and
// sampled rows. The codings are rows of tests/ref/model/model_matrix_columns.tsv.
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

std::vector<std::string> names(const Index& index) {
  std::vector<std::string> texts;
  for (const unsigned row : index)
    texts.push_back(std::to_string(row));
  return texts;
}

// The table of tests/ref/model/model_matrix_unknown_levels.tsv.
QMXMemoryTable levelsTable() {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, std::nan(""), 4, 5, 6})
      .addFactorColumn("f", {"a", "d", "c", "b", "d", ""}, {"a", "b", "c", "d"});
  return table;
}

}  // namespace

TEST(ModelMatrixFactor, UnknownLevels) {
  const auto cases = modeltest::records("model_matrix_unknown_levels.tsv");
  EXPECT_EQ(cases.size(), 8u);
  for (const std::vector<std::string>& c : cases) {
    SCOPED_TRACE(c[0]);
    Chunk chunk(levelsTable());
    ModelMatrix m(modeltest::modelOf("x|f", "x=1,0|f=0,1", "f=" + c[1]));
    if (c[2] != "default") m.setValidateFactorLevels(c[2] == "1");
    UnknownLevelMap map;
    if (c[4] != "-") {
      map[std::stol(c[4])] = c[4].substr(c[4].find(':') + 1);
      m.setUnknownLevelMap(&map);
    }
    QMXNaNExclude filter(chunk.reader);
    filter.setVariables(strVector(modeltest::split(c[3], '|')));
    const std::string message = thrownMessage([&] {
      m.init(chunk.buf);
      m.construct(filter);
    });
    EXPECT_EQ(message, c[8].empty() ? "<no exception>" : c[8]);
    if (!c[8].empty()) {
      EXPECT_EQ(m.getNRow(), 0);
      continue;
    }
    EXPECT_EQ(colNames(m), (std::vector<std::string>{"(Intercept)", "x", "f(a)", "f(b)", "f(c)"}));
    EXPECT_EQ(modeltest::split(c[5], ','), names(m.rowsExcluded()));
    EXPECT_EQ(modeltest::split(c[6], ','), names(m.undefFactorIndex()));
    EXPECT_EQ(rowsOf(m), modeltest::matrixOf(c[7]));
  }
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
