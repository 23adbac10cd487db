// The model-kind table: every kind is found by its command-line name and its document
// element, its descriptor is complete (the command line relies on every field), and
// documents are matched on whole element names.
#include "qmxmisc/kinds/ModelKinds.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "qmxmisc/kinds/KindSpecification.h"

TEST(ModelKinds, EveryKindIsCompleteAndFoundByItsNames) {
  std::set<std::string> names;
  for (const ModelKind* kind : modelKinds()) {
    SCOPED_TRACE(kind->cliName);
    EXPECT_TRUE(names.insert(kind->cliName).second) << "two kinds named " << kind->cliName;
    EXPECT_EQ(findModelKind(kind->cliName), kind);
    EXPECT_EQ(findModelKindByElement(kind->element)->element, std::string(kind->element));
    for (const char* text : {kind->description, kind->example, kind->fitProc, kind->scoreProc,
                             kind->packageKinds, kind->scoreOutputHelp})
      EXPECT_NE(std::string(text), "");
    EXPECT_TRUE(kind->specWriter && kind->prepareModel && kind->summary && kind->scoreModel);
    EXPECT_FALSE(kind->scoreOutputs.empty());
    for (const KindOption& option : kind->options) {
      EXPECT_EQ(std::string(option.flag).rfind("--", 0), 0u) << option.flag;
      EXPECT_NE(std::string(option.name), "") << option.flag;
      // A typed option has a default the command line can parse.
      if (option.type != KindOptionType::kText && option.type != KindOptionType::kTextList) {
        EXPECT_NE(std::string(option.defaultValue), "");
      }
    }
  }
  EXPECT_EQ(findModelKind("lasso"), nullptr);
  EXPECT_EQ(specificationKinds(), (std::vector<std::string>{"glm", "kmeans", "spec"}));
}

TEST(ModelKinds, DocumentsMatchWholeElementNames) {
  const struct {
    const char* document;
    bool found;
  } cases[] = {{"<VTML>\n  <GeneralRegressionModel modelType=\"x\">", true},
               {"<GeneralRegressionModel/>", true},
               {"<GeneralRegressionModel>", true},
               {"<GeneralRegressionModels>", false},
               {"<ModelSpecification>", false},
               {"<GeneralRegressionModel", false}};
  for (const auto& c : cases)
    EXPECT_EQ(findModelKindOfDocument(c.document) != nullptr, c.found) << c.document;
}
