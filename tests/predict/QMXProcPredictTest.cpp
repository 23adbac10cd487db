// The scoring base: properties and their messages, init checks, the C generator switch, the
// chunk loop's failure handling, and the model matrix of each chunk.
#include "qmxmisc/predict/QMXProcPredict.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "predict/PredictTestSupport.h"

using namespace predicttest;

namespace {

// Sets one property (name and values) directly on the proc.
void setProp(QMXProc& proc, const std::vector<std::string>& values) {
  QMXPropertyInfo request(values.front(),
                          std::vector<std::string>(values.begin() + 1, values.end()));
  proc.setProperty(&request);
}

const QMXSchema kFittedOnly = {doubleColumn("fit")};

}  // namespace

TEST(QMXProcPredict, DefineOutputRecordsDefinitionsInOrder) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  setProp(proc, {"define.output", "0", "fitted.value", "fit"});
  setProp(proc, {"define.output", "2", "risk", ""});  // types 8 to 13 may name no variable
  setProp(proc, {"define.output", "0", "copy", "id"});
  EXPECT_FALSE(proc.hasError());
  const std::vector<PredictOutput>& outputs = proc.outputs();
  ASSERT_EQ(outputs.size(), 3u);
  EXPECT_EQ(outputs[0].index, 0);
  EXPECT_EQ(outputs[0].type, PredictOutputType::kFittedValue);
  EXPECT_EQ(outputs[0].name.str(), "fit");
  EXPECT_EQ(outputs[1].index, 2);
  EXPECT_EQ(outputs[1].type, PredictOutputType::kRisk);
  EXPECT_EQ(outputs[1].name.str(), "");
  EXPECT_EQ(outputs[2].type, PredictOutputType::kCopy);
  EXPECT_EQ(outputs[2].name.str(), "id");

  setProp(proc, {"clear.outputs"});
  EXPECT_TRUE(proc.outputs().empty());
}

TEST(QMXProcPredict, DefineOutputMessagesAreSetAsTheError) {
  struct Case {
    std::vector<std::string> values;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"define.output", "0"}, "Invalid output type when defining output information"},
      {{"define.output", "0", ""}, "Invalid output type when defining output information"},
      {{"define.output", "0", "bogus", "v"},
       "invalid output type, bogus, when defining output information"},
      {{"define.output", "0", "fitted.value", ""},
       "Invalid variable name when defining output information"},
      {{"define.output", "0", "fitted.value"},
       "Invalid variable name when defining output information"},
      {{"define.output", "0", "survivalSE", ""},
       "Invalid variable name when defining output information"},
      {{"define.output", "0", "copy", ""},
       "Invalid variable name when defining output information"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    FakeScoringProc proc(regressionFit(), regressionCoef());
    setProp(proc, c.values);
    ASSERT_NE(proc.getError(), nullptr);
    EXPECT_EQ(std::string(proc.getError()), c.message);
    EXPECT_TRUE(proc.outputs().empty());
  }
}

TEST(QMXProcPredict, StoredTextsAndUnknownLevelMap) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  setProp(proc, {"iglm.family", "poisson"});
  setProp(proc, {"iglm.link", "log"});
  setProp(proc, {"iglm.var", "mu"});
  setProp(proc, {"iglm.mean", "exp"});
  EXPECT_EQ(proc.familyName().str(), "poisson");
  EXPECT_EQ(proc.linkName().str(), "log");
  EXPECT_EQ(proc.varianceName().str(), "mu");
  EXPECT_EQ(proc.meanName().str(), "exp");

  setProp(proc, {"add.unknown.level.map", "3", "b"});
  setProp(proc, {"add.unknown.level.map", "1", "a"});
  setProp(proc, {"add.unknown.level.map", "3", "c"});
  setProp(proc, {"add.unknown.level.map", "5"});
  EXPECT_FALSE(proc.hasError());
  const UnknownLevelMap expected = {{1, String("a")}, {3, String("c")}, {5, String("")}};
  EXPECT_EQ(proc.unknownLevelMap(), expected);
  setProp(proc, {"clear.unknown.level.map"});
  EXPECT_TRUE(proc.unknownLevelMap().empty());
}

TEST(QMXProcPredict, ModelTextGoesToTheSubclass) {
  FakeScoringProc proc(clusterFit(), {});
  setProp(proc, {"model.xml", "coef=2.5"});
  EXPECT_FALSE(proc.hasError());
  ASSERT_EQ(proc.coef.size(), 1u);
  EXPECT_EQ(proc.coef[0][0], 2.5);
  // A failing parse is added as an error.
  setProp(proc, {"model.xml", "<VTML/>"});
  EXPECT_EQ(messagesOf(proc.getMessages(), QMXMessageKind::Error),
            std::vector<std::string>{"bad model text"});
  EXPECT_EQ(proc.getError(), nullptr);
  // Any other failure is reported with the proc's fixed text.
  setProp(proc, {"model.xml", "throw"});
  EXPECT_EQ(
      messagesOf(proc.getMessages(), QMXMessageKind::Error),
      (std::vector<std::string>{
          "bad model text", "internal error while processing data in the prediction proceedure"}));
}

TEST(QMXProcPredict, OtherPropertiesReachTheHostBase) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  setProp(proc, {"no.such.property", "1"});
  QMXPropertyInfo get("model.xml");
  proc.getProperty(&get);
  EXPECT_EQ(messagesOf(proc.getMessages(), QMXMessageKind::Error),
            (std::vector<std::string>{"unknown property no.such.property",
                                      "unknown property model.xml"}));
}

TEST(QMXProcPredict, InitMessages) {
  {
    SCOPED_TRACE("fit not valid");
    ModelTerms empty;
    empty.setIntercept(false);
    FakeScoringProc proc(empty, {});
    EXPECT_FALSE(proc.isReady());
    const RunResult run = runScoring(proc, regressionTable(), 3, kFittedOnly);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "Invalid fit object");
    EXPECT_TRUE(proc.isDone());
    EXPECT_TRUE(proc.chunkRows.empty());
  }
  {
    SCOPED_TRACE("input without columns");
    FakeScoringProc proc(regressionFit(), regressionCoef());
    const RunResult run = runScoring(proc, QMXMemoryTable(), 3, kFittedOnly);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "Invalid number of rows and/or columns the input buffer");
  }
  {
    SCOPED_TRACE("model variable missing from the input");
    FakeScoringProc proc(regressionFit(), regressionCoef());
    QMXMemoryTable table;
    table.addDoubleColumn("y", {1, 2});
    const RunResult run = runScoring(proc, table, 3, kFittedOnly);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "variable(s) specified in the model are not in the data buffer: x, f");
    EXPECT_EQ(messagesOf(run.messages, QMXMessageKind::Error), std::vector<std::string>{run.error});
    EXPECT_TRUE(proc.isDone());
  }
  {
    SCOPED_TRACE("a second input buffer is refused by the host check");
    FakeScoringProc proc(regressionFit(), regressionCoef());
    const QMXMemoryTable table = regressionTable();
    QMXMemorySource source(table);
    QMXPipeline pipeline(proc, "FakeScoringProc");
    pipeline.addInput(source);
    pipeline.addInput(source);
    pipeline.setOutput(kFittedOnly, nullptr);
    EXPECT_FALSE(pipeline.run());
    EXPECT_EQ(pipeline.error(), "this proc takes 1 input buffer, 2 were attached");
    EXPECT_TRUE(proc.isDone());
  }
}

TEST(QMXProcPredict, ValidAndIsReadyFollowTheFit) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  EXPECT_TRUE(proc.valid());
  EXPECT_TRUE(proc.isReady());
  proc.fit.setTermsTable(TMatrix<long>());
  proc.fit.setIntercept(false);
  EXPECT_FALSE(proc.valid());
  EXPECT_FALSE(proc.isReady());
}

TEST(QMXProcPredict, CGeneratorWritesTheSourceInsteadOfScoring) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  setProp(proc, {"define.output", "0", "fitted.value", "fit"});
  setProp(proc, {"define.cgenerator", "/src/vtcsrc", "/tmp/dist"});
  EXPECT_TRUE(proc.cGeneratorRequested());
  EXPECT_EQ(proc.cSourceDirectory().str(), "/src/vtcsrc");
  EXPECT_EQ(proc.cDistributionDirectory().str(), "/tmp/dist");
  // No buffers: the proc reads and writes nothing.
  QMXPipeline pipeline(proc, "FakeScoringProc");
  EXPECT_TRUE(pipeline.run()) << pipeline.error();
  EXPECT_EQ(proc.generated, std::vector<std::string>{"/src/vtcsrc|/tmp/dist"});
  EXPECT_TRUE(proc.chunkRows.empty());
  EXPECT_TRUE(proc.isDone());
  EXPECT_TRUE(proc.cSourceDirectory().empty());
  EXPECT_TRUE(proc.cDistributionDirectory().empty());
  EXPECT_EQ(pipeline.executeCalls(), 1);
}

TEST(QMXProcPredict, CGeneratorNeedsBothDirectories) {
  for (const std::vector<std::string>& values :
       {std::vector<std::string>{"define.cgenerator", "/src/vtcsrc", ""},
        std::vector<std::string>{"define.cgenerator", "/src/vtcsrc"},
        std::vector<std::string>{"define.cgenerator", "", "/tmp/dist"}}) {
    FakeScoringProc proc(regressionFit(), regressionCoef());
    setProp(proc, values);
    QMXPipeline pipeline(proc, "FakeScoringProc");
    EXPECT_FALSE(pipeline.run());
    EXPECT_EQ(pipeline.error(),
              "Cannot generate C Code without source and distribution directories set.");
    EXPECT_TRUE(proc.generated.empty());
    EXPECT_TRUE(proc.chunkRows.empty());
    EXPECT_TRUE(proc.isDone());
  }
}

TEST(QMXProcPredict, CGeneratorTakesNoBuffersAndCanBeCleared) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  setProp(proc, {"define.cgenerator", "/src/vtcsrc", "/tmp/dist"});
  RunResult run = runScoring(proc, regressionTable(), 3, kFittedOnly);
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error, "this proc takes 0 input buffers, 1 was attached");
  EXPECT_TRUE(proc.generated.empty());

  proc.clearMessages();
  setProp(proc, {"clear.cgenerator"});
  EXPECT_FALSE(proc.cGeneratorRequested());
  EXPECT_TRUE(proc.cSourceDirectory().empty());
  EXPECT_TRUE(proc.cDistributionDirectory().empty());
  run = runScoring(proc, regressionTable(), 3, kFittedOnly,
                   {{"define.output", "0", "fitted.value", "fit"}});
  EXPECT_TRUE(run.ok) << run.error;
  EXPECT_EQ(run.output.numRows(), 8u);
  EXPECT_TRUE(proc.generated.empty());
}

TEST(QMXProcPredict, ExecuteFailures) {
  {
    SCOPED_TRACE("an exception of another kind");
    FakeScoringProc proc(regressionFit(), regressionCoef());
    proc.throwForeign = true;
    const RunResult run = runScoring(proc, regressionTable(), 3, kFittedOnly,
                                     {{"define.output", "0", "fitted.value", "fit"}});
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "internal error while processing data in the prediction proceedure");
    EXPECT_TRUE(proc.isDone());
    EXPECT_EQ(proc.matrix().getNRow(), 0) << "a failed chunk releases the model matrix";
  }
  {
    SCOPED_TRACE("term positions differ between chunks");
    FakeScoringProc proc(regressionFit(), regressionCoef());
    proc.corruptTermIndicies = true;
    const RunResult run = runScoring(proc, regressionTable(), 3, kFittedOnly,
                                     {{"define.output", "0", "fitted.value", "fit"}});
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "model matrix term indicies are not consistant between data blocks");
    EXPECT_EQ(proc.chunkRows.size(), 1u) << "the second chunk fails";
  }
  {
    SCOPED_TRACE("no output buffer");
    FakeScoringProc proc(regressionFit(), regressionCoef());
    const RunResult run =
        runScoring(proc, regressionTable(), 3, {}, {{"define.output", "0", "fitted.value", "fit"}});
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error, "No output buffer writer");
  }
  {
    SCOPED_TRACE("a prediction row short");
    FakeScoringProc proc(regressionFit(), regressionCoef());
    proc.dropPredictionRow = true;
    const RunResult run = runScoring(proc, regressionTable(), 4, kFittedOnly,
                                     {{"define.output", "0", "fitted.value", "fit"}});
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error,
              "number of rows in the input buffer 4 does not equal the number of predicted "
              "values 2 plus the number of missing values 1");
  }
}

TEST(QMXProcPredict, OutputBufferShorterThanTheChunk) {
  // Buffers built by hand: five ready rows, an output buffer of three rows.
  FakeScoringProc proc(regressionFit(), regressionCoef());
  modeltest::Chunk input(regressionTable(), 5);
  input.buf.setNumRows(8);
  QMXBuf outputBuf(kFittedOnly, 3);
  QMXBufWriter writer(&outputBuf);
  proc.attachInput(&input.reader);
  proc.attachOutput(&writer);
  proc.setNumRows(5);
  setProp(proc, {"define.output", "0", "fitted.value", "fit"});
  proc.init();
  ASSERT_FALSE(proc.hasError());
  proc.execute();
  EXPECT_EQ(messagesOf(proc.getMessages(), QMXMessageKind::Error),
            std::vector<std::string>{"number of rows in the output buffer 3 is less that the "
                                     "number of rows in the input buffer 5"});
  EXPECT_TRUE(proc.isDone());
  proc.detachBuffers();
}

TEST(QMXProcPredict, OutputDefinitionsSurviveInitAndRelease) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  const std::vector<std::vector<std::string>> defs = {
      {"define.output", "0", "fitted.value", "fit"}};
  RunResult first = runScoring(proc, regressionTable(), 3, kFittedOnly, defs);
  ASSERT_TRUE(first.ok) << first.error;
  proc.release();
  ASSERT_EQ(proc.outputs().size(), 1u);
  RunResult second = runScoring(proc, regressionTable(), 5, kFittedOnly);
  ASSERT_TRUE(second.ok) << second.error;
  EXPECT_TRUE(sameNumbers(first.output.numbers("fit"), second.output.numbers("fit"), 0.0));
  EXPECT_EQ(second.output.numRows(), 8u);
}

TEST(QMXProcPredict, ChunkModelMatrixAndReleasedStrings) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  modeltest::Chunk input(regressionTable(), 4);
  input.buf.setNumRows(8);
  QMXBuf outputBuf(kFittedOnly, 4);
  QMXBufWriter writer(&outputBuf);
  proc.attachInput(&input.reader);
  proc.attachOutput(&writer);
  proc.setNumRows(4);
  proc.init();
  ASSERT_FALSE(proc.hasError());
  EXPECT_EQ(proc.getDataChunk(), 3);
  const ModelMatrix& x = proc.matrix();
  ASSERT_EQ(x.getNCol(), 3);
  EXPECT_EQ(x.getColNames()[2].str(), "f(a)");
  EXPECT_EQ(x(1, 1), 1.0) << "row 1 of the chunk (x = 1)";
  EXPECT_EQ(x(2, 1), 3.0) << "input row 3: row 2 was left out";
  EXPECT_EQ(proc.missingRowTotal(), 1);

  const char* kept = proc.keepColumnString("level text");
  EXPECT_STREQ(kept, "level text");
  proc.release();
  EXPECT_EQ(proc.matrix().getNRow(), 0);
  EXPECT_EQ(proc.matrix().unknownLevelMap(), nullptr);
  proc.detachBuffers();
}
