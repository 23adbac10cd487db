// The chunked fitting base: init checks and their messages, and the model matrix, response
// and weights of each chunk, driven through the host pipeline by a small fitting proc.
#include "qmxmisc/model/QMXProcModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/ModelMatrixTestSupport.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"
#include "qmxbase/QMXPipeline.h"
#include "qmxmisc/framework/QMXNaNExclude.h"
#include "qmxmisc/framework/QMXProcBoundary.h"

using modeltest::Chunk;
using modeltest::factor;
using modeltest::makeModel;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Rows = std::vector<std::vector<double>>;

// A fitting proc that keeps every chunk's model matrix, response and weights.
class StackingProc : public QMXProcModel {
 public:
  explicit StackingProc(ModelTerms m) : model(std::move(m)) {}
  const ModelTerms& getModel() const override {
    if (failGetModel) throw std::runtime_error("not a library exception");
    return model;
  }

  void execute() override {
    qmxBoundary(*this, "internal error in the stacking proc", kQMXRunBoundary, [&] {
      const long rows = executeRequestRows();
      if (rows < 0) {
        setDone(1);
        return;
      }
      const long n = getDataChunk();
      chunkRows.push_back(n);
      const auto append = [](Rows& to, const Rows& rows) {
        to.insert(to.end(), rows.begin(), rows.end());
      };
      append(x, modeltest::rowsOf(modelMatrix));
      append(y, modeltest::rowsOf(response));
      append(w, modeltest::rowsOf(weights));
      if (n > 0) {
        xNames = modeltest::colNames(modelMatrix);
        yNames = modeltest::colNames(response);
      }
      excluded += modelMatrix.nMissing();
      executeReleaseRows(rows, 0);
    });
  }

  // Direct access for tests that drive the proc without the pipeline.
  using QMXProcModel::getDataChunk;
  const ModelMatrix& matrix() const { return modelMatrix; }
  const DoubleMatrix& responseMatrix() const { return response; }
  const DoubleMatrix& weightMatrix() const { return weights; }
  const lVector& responseColumnList() const { return responseColumns; }
  const Index& terms() const { return termIndices; }
  std::int64_t used() const { return rowsUsed; }
  std::int64_t missing() const { return rowsMissing; }
  void setMaxInputs(long inputs) { maxInputs = inputs; }
  using QMXProcModel::setInitInternalErrorText;

  ModelTerms model;
  std::vector<long> chunkRows;
  Rows x, y, w;
  std::vector<std::string> xNames, yNames;
  long excluded = 0;
  bool failGetModel = false;
};

struct RunResult {
  bool ok = false;
  std::string error;
};

RunResult runProc(StackingProc& proc, const QMXMemoryTable& table, long chunkRows) {
  QMXMemorySource source(table);
  QMXPipeline pipeline(proc, "StackingProc");
  pipeline.addInput(source);
  pipeline.setChunkRows(chunkRows);
  pipeline.attach();
  RunResult result;
  result.ok = pipeline.run();
  result.error = pipeline.error();
  return result;
}

std::vector<std::string> errorsOf(const QMXProc& proc) {
  std::vector<std::string> errors;
  for (const QMXMessage& m : proc.getMessages())
    if (m.kind == QMXMessageKind::Error) errors.push_back(m.text);
  return errors;
}

// y continuous, g categorical (u, v, w), x and z covariates, f a factor (a, b), w weights.
QMXMemoryTable dataTable() {
  QMXMemoryTable table;
  table.addDoubleColumn("y", {1.5, 2.5, kNaN, 4.5, 5.5, 6.5, 7.5, 8.5})
      .addFactorColumn("g", {"u", "v", "w", "u", "", "w", "v", "u"}, {"u", "v", "w"})
      .addDoubleColumn("x", {1, 2, 3, kNaN, 5, 6, 7, 8})
      .addFactorColumn("f", {"a", "b", "a", "b", "a", "b", "a", "b"}, {"a", "b"})
      .addDoubleColumn("wt", {1, 0, 2, 1, 1, 0.5, 3, 1})
      .addDoubleColumn("z", {0.5, kNaN, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5});
  return table;
}

ModelTerms regression(const char* responseName = "y") {
  ModelTerms model =
      makeModel({"x", "f"}, {{"x", {1, 0}}, {"f", {0, 1}}}, {factor("f", {"a", "b"})});
  model.setResponse(responseName);
  return model;
}

}  // namespace

TEST(QMXProcModel, InitMessages) {
  const QMXMemoryTable table = dataTable();
  const auto cases = modeltest::records("procmodel_init_messages.tsv");
  EXPECT_EQ(cases.size(), 9u);
  for (const std::vector<std::string>& c : cases) {
    SCOPED_TRACE(c[0]);
    ModelTerms model = modeltest::modelOf(c[1], c[2], c[3]);
    factVector responses;
    for (const std::string& response : modeltest::split(c[4], '|')) {
      FactorInfo info;
      info.setName(response.substr(0, response.find('=')));
      if (response.find('=') != std::string::npos)
        info.setLevels(modeltest::split(response.substr(response.find('=') + 1), ','));
      responses.push_back(info);
    }
    model.setResponses(responses);
    StackingProc proc(model);
    const RunResult run = runProc(proc, table, 3);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, c[5]);
    EXPECT_EQ(errorsOf(proc), std::vector<std::string>{c[5]});
    EXPECT_TRUE(proc.isDone());
    EXPECT_TRUE(proc.chunkRows.empty()) << "no chunk may be read after a failed init";
  }
}

TEST(QMXProcModel, InitChecksTheBufferCount) {
  const QMXMemoryTable table = dataTable();
  StackingProc proc(regression());
  QMXMemorySource first(table);
  QMXMemorySource second(table);
  QMXPipeline pipeline(proc, "StackingProc");
  pipeline.addInput(first);
  pipeline.addInput(second);
  pipeline.attach();
  EXPECT_FALSE(pipeline.run());
  ASSERT_NE(proc.getError(), nullptr);
  EXPECT_TRUE(proc.isDone());
  EXPECT_TRUE(proc.chunkRows.empty());

  // Raising maxInputs admits the second buffer.
  StackingProc two(regression());
  two.setMaxInputs(2);
  QMXMemorySource a(table);
  QMXMemorySource b(table);
  QMXPipeline twoInputs(two, "StackingProc");
  twoInputs.addInput(a);
  twoInputs.addInput(b);
  twoInputs.attach();
  two.init();
  EXPECT_EQ(two.getError(), nullptr);
  EXPECT_FALSE(two.isDone());
}

TEST(QMXProcModel, ContinuousResponseAndWeights) {
  ModelTerms model = regression();
  model.setWeights("wt");
  StackingProc proc(model);
  const RunResult run = runProc(proc, dataTable(), 1000);
  ASSERT_TRUE(run.ok) << run.error;
  // Rows 2 (y) and 3 (x) are missing; z and g are not model variables.
  EXPECT_EQ(
      proc.x,
      (Rows{{1, 1, 1, 0}, {1, 2, 0, 1}, {1, 5, 1, 0}, {1, 6, 0, 1}, {1, 7, 1, 0}, {1, 8, 0, 1}}));
  EXPECT_EQ(proc.xNames, (std::vector<std::string>{"(Intercept)", "x", "f(a)", "f(b)"}));
  EXPECT_EQ(proc.y, (Rows{{1.5}, {2.5}, {5.5}, {6.5}, {7.5}, {8.5}}));
  EXPECT_EQ(proc.yNames, (std::vector<std::string>{"y"}));
  EXPECT_EQ(proc.w, (Rows{{1}, {0}, {1}, {0.5}, {3}, {1}}));  // a zero weight is accepted
  EXPECT_EQ(proc.used(), 6);
  EXPECT_EQ(proc.missing(), 2);
  EXPECT_EQ(proc.excluded, 2);
  EXPECT_EQ(std::vector<unsigned>(proc.terms().begin(), proc.terms().end()),
            (std::vector<unsigned>{1, 2, 4}));
  EXPECT_EQ(proc.responseColumnList().size(), 1u);
  EXPECT_EQ(proc.responseColumnList()[0], 0);
}

TEST(QMXProcModel, SeveralContinuousResponses) {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1, 2, 3})
      .addDoubleColumn("y2", {7, kNaN, 9})
      .addDoubleColumn("y1", {4, 5, 6});
  ModelTerms model = makeModel({"x"}, {{"x", {1}}});
  model.setResponses(strVector{"y1", "y2"});
  StackingProc proc(model);
  const RunResult run = runProc(proc, table, 2);
  ASSERT_TRUE(run.ok) << run.error;
  EXPECT_EQ(proc.yNames, (std::vector<std::string>{"y1", "y2"}));
  EXPECT_EQ(proc.y, (Rows{{4, 7}, {6, 9}}));
  EXPECT_EQ(proc.responseColumnList()[0], 2);
  EXPECT_EQ(proc.responseColumnList()[1], 1);
}

TEST(QMXProcModel, CategoricalResponseGetsIndicatorsOfAllButTheLastLevel) {
  ModelTerms model = makeModel({"x"}, {{"x", {1}}});
  model.setResponse(factor("g", {"u", "v", "w"}));
  StackingProc proc(model);
  const RunResult run = runProc(proc, dataTable(), 4);
  ASSERT_TRUE(run.ok) << run.error;
  // Row 3 (x) and row 4 (g) are missing.
  EXPECT_EQ(proc.yNames, (std::vector<std::string>{"u", "v"}));
  EXPECT_EQ(proc.y, (Rows{{1, 0}, {0, 1}, {0, 0}, {0, 0}, {0, 1}, {1, 0}}));
  EXPECT_EQ(proc.used(), 6);
  EXPECT_EQ(proc.missing(), 2);
}

TEST(QMXProcModel, NegativeWeightsAreRejected) {
  QMXMemoryTable table;
  table.addDoubleColumn("y", {1, 2, 3})
      .addDoubleColumn("x", {1, 2, 3})
      .addFactorColumn("f", {"a", "b", "a"}, {"a", "b"})
      .addDoubleColumn("wt", {1, -0.5, 0});
  ModelTerms model = regression();
  model.setWeights("wt");
  StackingProc proc(model);
  const RunResult run = runProc(proc, table, 10);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(errorsOf(proc), std::vector<std::string>{"weight vector, wt, has negative values"});
  EXPECT_TRUE(proc.isDone());
}

TEST(QMXProcModel, MissingWeightsColumnFailsAtTheFirstChunk) {
  ModelTerms model = regression();
  model.setWeights("nowhere");
  StackingProc proc(model);
  const RunResult run = runProc(proc, dataTable(), 10);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "variable nowhere is not in the buffer");
}

TEST(QMXProcModel, AllMissingChunkCountsItsRowsAndLeavesTermsUnset) {
  QMXMemoryTable table;
  table.addDoubleColumn("y", {1, 2, 3, 4})
      .addDoubleColumn("x", {kNaN, kNaN, 3, 4})
      .addFactorColumn("f", {"a", "b", "a", "b"}, {"a", "b"});
  StackingProc proc(regression());
  Chunk chunk(table, 2);
  proc.attachInput(&chunk.reader);
  proc.setNumRows(2);
  proc.init();
  ASSERT_FALSE(proc.isDone());
  EXPECT_EQ(proc.getDataChunk(), 0);
  EXPECT_EQ(proc.missing(), 2);
  EXPECT_EQ(proc.used(), 0);
  EXPECT_TRUE(proc.terms().empty());
  EXPECT_EQ(proc.matrix().getNRow(), 0);
  EXPECT_EQ(proc.responseMatrix().getNRow(), 0);

  chunk.reader.releaseRows(2);
  EXPECT_EQ(proc.getDataChunk(), 2);
  EXPECT_EQ(proc.missing(), 2);
  EXPECT_EQ(proc.used(), 2);
  EXPECT_EQ(proc.terms().size(), 3u);

  // No ready rows: everything erased, nothing counted.
  chunk.reader.releaseRows(2);
  EXPECT_EQ(proc.getDataChunk(), 0);
  EXPECT_EQ(proc.matrix().getNRow(), 0);
  EXPECT_EQ(proc.responseMatrix().getNRow(), 0);
  EXPECT_EQ(proc.used(), 2);
  EXPECT_EQ(proc.missing(), 2);
}

TEST(QMXProcModel, CallerFilterKeepsItsExtraVariables) {
  StackingProc proc(regression());
  Chunk chunk(dataTable());
  proc.attachInput(&chunk.reader);
  proc.init();
  QMXNaNExclude filter(chunk.reader);
  filter.setVariables(strVector{"z"});  // z is missing in row 1
  EXPECT_EQ(proc.getDataChunk(filter), 5);
  EXPECT_EQ(std::vector<unsigned>(proc.matrix().rowsExcluded().begin(),
                                  proc.matrix().rowsExcluded().end()),
            (std::vector<unsigned>{1, 2, 3}));
  EXPECT_EQ(proc.missing(), 3);
  EXPECT_EQ(proc.responseMatrix()(0, 0), 1.5);
  EXPECT_EQ(proc.responseMatrix()(1, 0), 5.5);
}

// The same rows in chunks of 1, 2, 7 and all give the same stacked matrices and counts, bit
// for bit, with every kind of column: polynomial and sum-to-zero factors, interactions of
// covariates and factors, powers.
TEST(QMXProcModel, ChunkInvariance) {
  QMXMemoryTable table;
  std::vector<double> y, x, z, wt;
  std::vector<std::string> f, p;
  const char* levels[] = {"a", "b", "c"};
  for (int r = 0; r < 31; ++r) {
    y.push_back(r % 9 == 4 ? kNaN : std::cos(r * 0.7));
    x.push_back(r % 6 == 5 ? kNaN : 0.25 * r);
    z.push_back(std::sin(r + 1.0));
    wt.push_back(1.0 + (r % 4));
    f.push_back(r % 11 == 10 ? "" : levels[(r * 5) % 3]);
    p.push_back(r % 2 ? "s" : "t");
  }
  table.addDoubleColumn("y", y).addDoubleColumn("x", x);
  table.addFactorColumn("f", f, {"a", "b", "c"}).addFactorColumn("p", p, {"s", "t"});
  table.addDoubleColumn("z", z).addDoubleColumn("wt", wt);
  ModelTerms model = makeModel({"x", "f", "p", "z"},
                               {{"x", {1, 0, 0, 0}},
                                {"f", {0, 1, 0, 0}},
                                {"x:f", {1, 1, 0, 0}},
                                {"f:p", {0, 1, 1, 0}},
                                {"z^2", {0, 0, 0, 2}},
                                {"x:z", {1, 0, 0, 1}}},
                               {factor("f", {"a", "b", "c"}, MatrixCoding::kPolynomial),
                                factor("p", {"s", "t"}, MatrixCoding::kSumToZero)});
  model.setResponse("y");
  model.setWeights("wt");

  StackingProc whole(model);
  ASSERT_TRUE(runProc(whole, table, 31).ok);
  // y missing at 4, 13, 22; x at 5, 11, 17, 23, 29; f at 10, 21.
  EXPECT_EQ(whole.used(), 31 - 10);
  EXPECT_EQ(whole.missing(), 10);
  EXPECT_EQ(whole.x.size(), 21u);
  EXPECT_EQ(whole.xNames.size(), 1u + 1 + 2 + 2 + 2 + 1 + 1);
  for (const long chunkRows : {1L, 2L, 7L}) {
    SCOPED_TRACE("chunk rows " + std::to_string(chunkRows));
    StackingProc proc(model);
    const RunResult run = runProc(proc, table, chunkRows);
    ASSERT_TRUE(run.ok) << run.error;
    EXPECT_EQ(proc.x, whole.x);  // bit for bit
    EXPECT_EQ(proc.y, whole.y);
    EXPECT_EQ(proc.w, whole.w);
    EXPECT_EQ(proc.xNames, whole.xNames);
    EXPECT_EQ(proc.used(), whole.used());
    EXPECT_EQ(proc.missing(), whole.missing());
    EXPECT_EQ(proc.excluded, whole.excluded);
    EXPECT_EQ(std::vector<unsigned>(proc.terms().begin(), proc.terms().end()),
              std::vector<unsigned>(whole.terms().begin(), whole.terms().end()));
  }
}

TEST(QMXProcModel, OtherExceptionsInInitGiveTheFixedText) {
  for (const char* fixed : {static_cast<const char*>(nullptr), "internal Error"}) {
    StackingProc proc(regression());
    proc.failGetModel = true;
    if (fixed != nullptr) proc.setInitInternalErrorText(fixed);
    const RunResult run = runProc(proc, dataTable(), 4);
    EXPECT_FALSE(run.ok);
    const std::string expected = fixed != nullptr ? fixed : "Internal Error";
    EXPECT_EQ(errorsOf(proc), std::vector<std::string>{expected});
    EXPECT_TRUE(proc.isDone());
    EXPECT_TRUE(proc.chunkRows.empty());
  }
}
