// MiningModel: copying a description and erasing it.
#include "qmxmisc/model/MiningModel.h"

#include <gtest/gtest.h>

#include "model/ModelMatrixTestSupport.h"

namespace {

MiningModel sampleMining() {
  MiningModel model;
  model.setTermsTable(modeltest::mainEffects({"x", "f"}));
  model.setFactors(factVector{modeltest::factor("f", {"a", "b"})});
  model.setResponse("y");
  model.setWeights("w");
  model.setIntercept(false);
  model.setModelName("m1");
  model.setVarStats(DoubleMatrix(2, 5));
  return model;
}

}  // namespace

TEST(MiningModel, SetModelCopiesTheDescription) {
  MiningModel target;
  target.setModelName("kept");
  MiningModel source = sampleMining();
  source.setModelName("");
  target.setModel(source);
  EXPECT_EQ(target.modelName(), String("kept"));  // an empty source name keeps ours
  EXPECT_EQ(target.nVariables(), 2);
  EXPECT_EQ(target.factor(0), String("f"));
  EXPECT_EQ(target.response(0).name(), String("y"));
  EXPECT_EQ(target.weights(), String("w"));
  EXPECT_FALSE(target.intercept());
  EXPECT_EQ(target.varStats().getNRow(), 2);
  target.setModel(sampleMining());
  EXPECT_EQ(target.modelName(), String("m1"));
}

TEST(MiningModel, EraseClearsNameAndStatistics) {
  MiningModel model = sampleMining();
  model.erase(true);
  EXPECT_EQ(model.modelName(), String("m1"));
  model.erase(false);
  EXPECT_TRUE(model.modelName().empty());
  EXPECT_EQ(model.varStats().size(), 0);
  EXPECT_EQ(model.nVariables(), 0);
  EXPECT_TRUE(model.intercept());
}
