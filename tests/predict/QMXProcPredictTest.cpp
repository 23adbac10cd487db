// The scoring base beyond the tabled runs (QMXProcPredictCasesTest): what its properties
// store, the model text handed to the subclass, buffers built by hand, and release.
#include "qmxmisc/predict/QMXProcPredict.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "predict/PredictTestSupport.h"

using namespace predicttest;

namespace {

void setProp(QMXProc& proc, const std::vector<std::string>& values) {
  QMXPropertyInfo request(values.front(),
                          std::vector<std::string>(values.begin() + 1, values.end()));
  proc.setProperty(&request);
}

const QMXSchema kFittedOnly = {{"fit", QMXColumnType::Double, {}}};

}  // namespace

TEST(QMXProcPredict, PropertiesStoreTextsMapAndModel) {
  FakeScoringProc proc(clusterFit(), {});
  for (const char* name : {"iglm.family", "iglm.link", "iglm.var", "iglm.mean"})
    setProp(proc, {name, std::string(name).substr(5)});
  EXPECT_EQ(proc.familyName().str() + proc.linkName().str() + proc.varianceName().str() +
                proc.meanName().str(),
            "familylinkvarmean");
  for (const std::vector<std::string>& entry :
       {std::vector<std::string>{"3", "b"}, {"1", "a"}, {"3", "c"}, {"5"}})
    setProp(proc, {"add.unknown.level.map", entry[0], entry.size() > 1 ? entry[1] : ""});
  EXPECT_EQ(proc.unknownLevelMap(),
            (UnknownLevelMap{{1, String("a")}, {3, String("c")}, {5, String("")}}));
  setProp(proc, {"model.xml", "coef=2.5"});
  EXPECT_EQ(proc.coef, (std::vector<std::vector<double>>{{2.5}}));
  // A foreign failure of the subclass is reported with the proc's fixed text.
  setProp(proc, {"model.xml", "throw"});
  EXPECT_EQ(messagesOf(proc.getMessages(), QMXMessageKind::Error),
            std::vector<std::string>{
                "internal error while processing data in the prediction proceedure"});
}

TEST(QMXProcPredict, SecondInputAndInvalidFitStopInit) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  EXPECT_TRUE(proc.isReady());
  const QMXMemoryTable table = regressionTable();
  QMXMemorySource source(table);
  QMXPipeline pipeline(proc, "FakeScoringProc");
  pipeline.addInput(source);
  pipeline.addInput(source);
  pipeline.setOutput(kFittedOnly, nullptr);
  EXPECT_FALSE(pipeline.run());
  EXPECT_EQ(pipeline.error(), "this proc takes 1 input buffer, 2 were attached");
  EXPECT_TRUE(proc.isDone());
  ModelTerms none;  // no terms and no intercept: not a valid fit, so not ready
  none.setIntercept(false);
  EXPECT_FALSE(FakeScoringProc(none, {}).isReady());
}

TEST(QMXProcPredict, OutputBufferShorterThanTheChunk) {
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
  proc.execute();
  EXPECT_EQ(messagesOf(proc.getMessages(), QMXMessageKind::Error),
            std::vector<std::string>{"number of rows in the output buffer 3 is less that the "
                                     "number of rows in the input buffer 5"});
  EXPECT_TRUE(proc.isDone());
  proc.detachBuffers();
}

TEST(QMXProcPredict, DefinitionsSurviveReleaseAndMatrixIsReleased) {
  FakeScoringProc proc(regressionFit(), regressionCoef());
  const QMXMemoryTable table = regressionTable();
  RunResult first =
      runScoring(proc, &table, 3, kFittedOnly, {{"define.output", "0", "fitted.value", "fit"}});
  ASSERT_TRUE(first.ok) << first.error;
  proc.release();
  RunResult second = runScoring(proc, &table, 5, kFittedOnly);
  ASSERT_TRUE(second.ok) << second.error;
  EXPECT_TRUE(sameNumbers(first.output.numbers("fit"), second.output.numbers("fit"), 0.0));

  modeltest::Chunk input(table, 4);
  input.buf.setNumRows(8);
  proc.attachInput(&input.reader);
  proc.setNumRows(4);
  proc.init();
  EXPECT_EQ(proc.getDataChunk(), 3);
  proc.release();
  EXPECT_EQ(proc.matrix().getNRow(), 0);
  EXPECT_EQ(proc.matrix().unknownLevelMap(), nullptr);
  proc.detachBuffers();
}
