// ModelTerms: responses, factors, lookups, validity, erase and every lookup message.
#include "qmxmisc/model/ModelTerms.h"

#include <gtest/gtest.h>

#include "model/ModelMatrixTestSupport.h"

namespace {

// Variables x, f, z (f categorical with levels a, b) and a categorical response y.
ModelTerms sampleModel() {
  ModelTerms model;
  model.setTermsTable(modeltest::mainEffects({"x", "f", "z"}));
  model.setFactors(factVector{modeltest::factor("f", {"a", "b"})});
  model.setResponse(modeltest::factor("y", {"no", "yes"}));
  return model;
}

}  // namespace

TEST(ModelTerms, InterceptOnlyModelIsValidOnlyWithIntercept) {
  ModelTerms model;
  EXPECT_TRUE(model.intercept());
  EXPECT_TRUE(model.valid());
  model.setIntercept(false);
  EXPECT_FALSE(model.valid());
  model.setTermsTable(modeltest::mainEffects({"x"}));
  EXPECT_TRUE(model.valid());
  // A table without names, and a factor without levels, make the model invalid.
  ModelTerms unnamed;
  unnamed.setTermsTable(TMatrix<long>(2, 2));
  EXPECT_FALSE(unnamed.valid());
  ModelTerms noLevels = sampleModel();
  noLevels.factorInfo(0L).resize(0);
  EXPECT_FALSE(noLevels.valid());
  EXPECT_TRUE(sampleModel().valid());
}

TEST(ModelTerms, ResponsesExtendAndReplace) {
  ModelTerms model;
  model.setResponse("r2", 2);
  ASSERT_EQ(model.nResponse(), 3);
  EXPECT_TRUE(model.response(0).name().empty());
  EXPECT_EQ(model.response(2).name(), String("r2"));
  model.setResponse("", 5);  // an empty C-string name is ignored
  EXPECT_EQ(model.nResponse(), 3);
  model.setResponse(std::string("r0"));
  FactorInfo counted = modeltest::factor("r1", {"u", "v"});
  counted.setCounts(std::vector<long>{3, 4});
  model.setResponse(counted, 1);
  EXPECT_EQ(model.response(1).N(), 7);
  EXPECT_EQ(model.response(0).name(), String("r0"));
  EXPECT_FALSE(model.isClassification());  // r0 has no levels
  model.setResponses(strVector{String("a"), String("b")});
  EXPECT_EQ(model.nResponse(), 2);
  EXPECT_EQ(model.response(1).name(), String("b"));
  EXPECT_EQ(thrownMessage([&] { (void)model.response(2); }),
            "Invalid dependent variable index 2. Model has 2 dependent variables");
  EXPECT_EQ(thrownMessage([&] { model.setResponse(String("n"), -1); }),
            "Invalid dependent variable index -1. Model has 2 dependent variables");
  EXPECT_TRUE(sampleModel().isClassification());
}

TEST(ModelTerms, FactorsMustBeVariablesOfTheTable) {
  ModelTerms model;
  model.setTermsTable(modeltest::mainEffects({"x", "g"}));
  // g is continuous until it is named as a factor.
  EXPECT_FALSE(model.isFactor("g"));
  EXPECT_EQ(model.nCovariates(), 2);
  EXPECT_EQ(
      thrownMessage([&] {
        model.setFactors(factVector{modeltest::factor("g", {"a"}), modeltest::factor("h", {"b"})});
      }),
      "categorical variable h is not a variable in the model");
  EXPECT_EQ(model.nFactors(), 0);  // a rejected list changes nothing
  model.setFactors(std::vector<FactorInfo>{modeltest::factor("g", {"a", "b"})});
  EXPECT_TRUE(model.isFactor("g"));
  EXPECT_EQ(model.nCovariates(), 1);
  EXPECT_EQ(model.covariate(0), String("x"));
}

TEST(ModelTerms, LookupsAndTheirMessages) {
  ModelTerms model = sampleModel();
  const ModelTerms& cmodel = model;
  EXPECT_EQ(model.nVariables(), 3);
  EXPECT_EQ(model.variable(2), String("z"));
  EXPECT_EQ(model.nTerms(), 3);
  EXPECT_EQ(model.term(1), String("f"));
  EXPECT_EQ(model.factor(0), String("f"));
  EXPECT_EQ(model.nCovariates(), 2);
  EXPECT_EQ(model.covariate(1), String("z"));
  EXPECT_EQ(model.levels("f").size(), 2U);
  EXPECT_EQ(model.factorInfo("y").level(1), String("yes"));  // found among the responses
  EXPECT_TRUE(model.isFactor("y"));                          // a categorical response is a factor
  EXPECT_FALSE(model.isFactor("x"));
  model.setResponses(strVector{String("y")});
  EXPECT_FALSE(model.isFactor("y"));  // a continuous response is not
  const struct {
    std::function<void()> action;
    const char* message;
  } cases[] = {
      {[&] { (void)model.variable(3); }, "Bad variable index 3"},
      {[&] { (void)model.variable(-1); }, "Bad variable index -1"},
      {[&] { (void)model.term(3); }, "Bad term index 3"},
      {[&] { (void)model.factor(1); }, "Bad categorical variable index 1"},
      {[&] { (void)model.covariate(2); }, "bad covariate index 2"},
      {[&] { (void)cmodel.factorInfo(1L); }, "Bad factor index 1"},
      {[&] { (void)model.factorInfo(-1L); }, "Bad categorical variable index -1"},
      {[&] { (void)model.factorInfo(""); }, "Bad categorical variable name"},
      {[&] { (void)cmodel.factorInfo("q"); }, "Nonexistant categorical variable q"},
      {[&] { (void)model.values("x"); }, "Nonexistant categorical variable x"},
      {[&] { (void)model.isFactor(""); }, "Bad variable name"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(thrownMessage(c.action), c.message);
}

TEST(ModelTerms, EraseKeepsOrClearsEverything) {
  ModelTerms model = sampleModel();
  model.setIntercept(false);
  model.setWeights("w");
  model.erase(true);
  EXPECT_EQ(model.nVariables(), 3);
  EXPECT_FALSE(model.intercept());
  model.erase();
  EXPECT_EQ(model.nVariables(), 0);
  EXPECT_EQ(model.nTerms(), 0);
  EXPECT_EQ(model.nFactors(), 0);
  EXPECT_EQ(model.nResponse(), 0);
  EXPECT_TRUE(model.intercept());
  EXPECT_TRUE(model.valid());
}
