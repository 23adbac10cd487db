// The chunked fitting base: init checks and their messages, and the model matrix, response
// and weights of each chunk, driven through the host pipeline by a small fitting proc.
#include "qmxmisc/model/QMXProcModel.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
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

// The pipeline's error after a run over `table` (empty when the run succeeds).
std::string runProc(StackingProc& proc, const QMXMemoryTable& table, long chunkRows) {
  QMXMemorySource source(table);
  QMXPipeline pipeline(proc, "StackingProc");
  pipeline.addInput(source);
  pipeline.setChunkRows(chunkRows);
  pipeline.attach();
  return pipeline.run() ? "" : pipeline.error();
}

std::vector<std::string> errorsOf(const QMXProc& proc) {
  std::vector<std::string> errors;
  for (const QMXMessage& m : proc.getMessages())
    if (m.kind == QMXMessageKind::Error) errors.push_back(m.text);
  return errors;
}

// The table of tests/ref/model/procmodel_runs.tsv.
QMXMemoryTable dataTable() {
  const double inf = std::numeric_limits<double>::infinity();
  QMXMemoryTable table;
  table.addDoubleColumn("y", {1.5, 2.5, kNaN, 4.5, 5.5, 6.5, 7.5, 8.5})
      .addFactorColumn("g", {"u", "v", "w", "u", "", "w", "v", "u"}, {"u", "v", "w"})
      .addDoubleColumn("x", {1, 2, 3, inf, 5, 6, 7, 8})
      .addFactorColumn("f", {"a", "b", "a", "b", "a", "b", "a", "b"}, {"a", "b"})
      .addDoubleColumn("wt", {1, 0, 2, 1, 1, 0.5, kNaN, 1})
      .addDoubleColumn("z", {0.5, kNaN, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5})
      .addDoubleColumn("neg", {-0.5, 1, 1, 1, 1, 1, 1, 1})
      .addDoubleColumn("y2", {7, 8, 9, 10, 11, kNaN, 13, 14})
      .addDoubleColumn("heavy", {1, 1, 1, 1, 1, 1, 1e308, 1});
  return table;
}

ModelTerms regression() {
  ModelTerms model = modeltest::modelOf("x|f", "x=1,0|f=0,1", "f=a,b");
  model.setResponse("y");
  return model;
}

}  // namespace

// Every run of the table at 1, 2, 7 and all rows a chunk: the message of a refused model, or
// the stacked matrices, the same bit for bit at every chunk size.
TEST(QMXProcModel, RunsOfTheTable) {
  const QMXMemoryTable table = dataTable();
  const auto cases = modeltest::records("procmodel_runs.tsv");
  EXPECT_EQ(cases.size(), 18u);
  for (const std::vector<std::string>& c : cases) {
    ModelTerms model = modeltest::modelOf(c[1], c[2], c[3]);
    factVector responses;
    for (const std::string& response : modeltest::split(c[4], '|'))
      responses.push_back(modeltest::factorOf(response));
    model.setResponses(responses);
    if (!c[5].empty()) model.setWeights(c[5]);
    std::unique_ptr<StackingProc> first;
    for (const long chunkRows : {1000L, 1L, 2L, 7L}) {
      SCOPED_TRACE(c[0] + ", chunk rows " + std::to_string(chunkRows));
      auto proc = std::make_unique<StackingProc>(model);
      const std::string error = runProc(*proc, table, chunkRows);
      EXPECT_TRUE(proc->isDone());
      EXPECT_EQ(error, c[6]);
      if (!c[6].empty()) {
        EXPECT_EQ(errorsOf(*proc), std::vector<std::string>{c[6]});
        if (c[12] != "-") {
          EXPECT_TRUE(proc->chunkRows.empty()) << "no chunk may be read after a failure";
        }
        continue;
      }
      EXPECT_EQ(proc->used(), std::stol(c[12]));
      EXPECT_EQ(proc->missing(), std::stol(c[13]));
      EXPECT_EQ(proc->excluded, std::stol(c[13]));
      if (!first) {
        EXPECT_EQ(proc->xNames, modeltest::split(c[7], '|'));
        modeltest::expectNear(proc->x, c[8]);
        EXPECT_EQ(proc->yNames, modeltest::split(c[9], '|'));
        modeltest::expectNear(proc->y, c[10]);
        if (c[11] != "-") modeltest::expectNear(proc->w, c[11]);
        first = std::move(proc);
        continue;
      }
      EXPECT_EQ(std::tie(proc->x, proc->y, proc->w, proc->xNames, proc->yNames),
                std::tie(first->x, first->y, first->w, first->xNames, first->yNames));  // bitwise
    }
  }
}

TEST(QMXProcModel, InitChecksTheBufferCount) {
  const QMXMemoryTable table = dataTable();
  for (const long maxInputs : {1L, 2L}) {
    StackingProc proc(regression());
    proc.setMaxInputs(maxInputs);
    QMXMemorySource first(table);
    QMXMemorySource second(table);
    QMXPipeline pipeline(proc, "StackingProc");
    pipeline.addInput(first);
    pipeline.addInput(second);
    pipeline.attach();
    proc.init();
    EXPECT_EQ(proc.getError() == nullptr, maxInputs == 2);
    EXPECT_EQ(proc.isDone(), maxInputs == 1);
  }
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
  chunk.reader.releaseRows(2);
  EXPECT_EQ(proc.getDataChunk(), 2);
  EXPECT_EQ(proc.terms().size(), 3u);

  // No ready rows: everything erased, nothing counted.
  chunk.reader.releaseRows(2);
  EXPECT_EQ(proc.getDataChunk(), 0);
  EXPECT_EQ(proc.matrix().getNRow() + proc.responseMatrix().getNRow(), 0);
  EXPECT_EQ(proc.used() + proc.missing(), 4);
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

TEST(QMXProcModel, OtherExceptionsInInitGiveTheFixedText) {
  for (const char* fixed : {static_cast<const char*>(nullptr), "internal Error"}) {
    StackingProc proc(regression());
    proc.failGetModel = true;
    if (fixed != nullptr) proc.setInitInternalErrorText(fixed);
    const std::string expected = fixed != nullptr ? fixed : "Internal Error";
    EXPECT_EQ(runProc(proc, dataTable(), 4), expected);
    EXPECT_EQ(errorsOf(proc), std::vector<std::string>{expected});
    EXPECT_TRUE(proc.isDone());
    EXPECT_TRUE(proc.chunkRows.empty());
  }
}
