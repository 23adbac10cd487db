// MiningModelHandler: the mining schema rules and the univariate statistics handed to the
// model.
#include "qmxmisc/model/MiningModelHandler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/ModelReaderTestSupport.h"
#include "qmxmisc/model/MiningModel.h"
#include "qmxmisc/model/ModelParse.h"

using qmx_test::vtml;
using qmx_test::withColumns;

namespace {

const std::string kColumns = R"(<ColumnInfo name="y" role="dependent"/>
<ColumnInfo name="x" role="independent"/>
<ColumnInfo name="f" role="independent"><Level value="a"/><Level value="b"/></ColumnInfo>
<ColumnInfo name="z" role="independent"/>
)";

std::string schema(const std::string& fields) {
  return withColumns(kColumns, "<ClusteringModel>\n<MiningSchema>\n" + fields +
                                   "</MiningSchema>\n" + "</ClusteringModel>\n");
}

}  // namespace

TEST(MiningModelHandler, SchemaTermsBecomeTheTermsTable) {
  // y predicted; main effects for f and x only, in schema order; z gets a row without a term.
  MiningModel model;
  ModelParseXMLString(MiningModelHandler(model),
                      schema(R"(<MiningField name="y" usageType="predicted"/>
<MiningField name="f"/>
<MiningField name="x" usageType="active"/>
<MiningField name="z" usageType="supplementary"/>
)")
                          .c_str());
  const TMatrix<long>& terms = model.termsTable();
  ASSERT_EQ(terms.getNRow(), 3);
  ASSERT_EQ(terms.getNCol(), 2);
  EXPECT_EQ(names(terms.getRowNames()), (std::vector<std::string>{"x", "f", "z"}));
  EXPECT_EQ(names(terms.getColNames()), (std::vector<std::string>{"f", "x"}));
  const long expected[3][2] = {{0, 1}, {1, 0}, {0, 0}};
  for (long row = 0; row < 3; ++row) {
    for (long col = 0; col < 2; ++col)
      EXPECT_EQ(terms(row, col), expected[row][col]);
  }
  ASSERT_EQ(model.nResponse(), 1);
  EXPECT_EQ(model.response(0).name().str(), "y");
  ASSERT_EQ(model.nFactors(), 1);
}

TEST(MiningModelHandler, NoSchemaGivesTheIdentity) {
  MiningModel model;
  ModelParseXMLString(MiningModelHandler(model), withColumns(kColumns).c_str());
  const TMatrix<long>& terms = model.termsTable();
  ASSERT_EQ(terms.getNRow(), 3);
  ASSERT_EQ(terms.getNCol(), 3);
  EXPECT_EQ(names(terms.getColNames()), (std::vector<std::string>{"x", "f", "z"}));
  for (long row = 0; row < 3; ++row) {
    for (long col = 0; col < 3; ++col)
      EXPECT_EQ(terms(row, col), row == col ? 1 : 0);
  }
}

TEST(MiningModelHandler, ConstructorFromTheWrittenFrame) {
  const MiningModel model(qmx_test::kFrameDocument);
  EXPECT_EQ(names(model.termsTable().getColNames()), (std::vector<std::string>{"x", "f"}));
  EXPECT_EQ(model.weights().str(), "w");
  ASSERT_EQ(model.nFactors(), 1);
  EXPECT_TRUE(model.isClassification());
}

TEST(MiningModelHandler, EverySchemaMessage) {
  struct Case {
    const char* label;
    std::string document;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"nested schema", schema("<MiningSchema/>"), "unexpected MiningSchema extension"},
      {"schema in the frame", vtml("<XTMetaData><MiningSchema/></XTMetaData>"),
       "unexpected MiningSchema extension"},
      {"field outside the schema", withColumns(kColumns, "<MiningField name=\"x\"/>"),
       "unexpected MiningField extension"},
      {"field without name", schema("<MiningField usageType=\"predicted\"/>"),
       "missing Term name specification in MiningSchema extension"},
      {"field twice", schema("<MiningField name=\"x\"/><MiningField name=\"x\"/>"),
       "term x referenced more than one time"},
      {"active after plain",
       schema("<MiningField name=\"f\"/><MiningField name=\"f\" "
              "usageType=\"active\"/>"),
       "term f referenced more than one time"},
      {"unknown field", schema("<MiningField name=\"q\"/>"),
       "miningField variable q was not specified in the ColumnDefinitions or DataDictionary"},
      {"response without usage type", schema("<MiningField name=\"y\"/>"),
       "missing MiningField usageType specification in MiningSchema extension"},
  };
  for (const Case& c : cases) {
    MiningModel model;
    EXPECT_EQ(
        thrownMessage([&] { ModelParseXMLString(MiningModelHandler(model), c.document.c_str()); }),
        c.message)
        << c.label;
  }
}

TEST(MiningModelHandler, UnivariateStatisticsAndCounts) {
  const std::string document = withColumns(
      R"(<ColumnInfo name="g" role="dependent"><Level value="lo"/><Level value="hi"/></ColumnInfo>
<ColumnInfo name="x" role="independent"/>
<ColumnInfo name="f" role="independent"><Level value="a"/><Level value="b"/><Level value="c"/>
</ColumnInfo>
<ColumnInfo name="w" role="weights"/>
)",
      R"(<XTMetaData>
<UnivariateStats field="x">
<NumericInfo mean="2.5" minimum="-1" maximum="7.25" standardDeviation="1.5e-3"/>
<Counts totalFreq="40"/>
</UnivariateStats>
<UnivariateStats name="f">
<Counts totalFreq="12"><Category value="c" freq="5"/><Category value="a" freq="7"/></Counts>
</UnivariateStats>
<UnivariateStats field="g">
<Counts totalFreq=" 9 "><Category value="hi" freq="9"/></Counts>
</UnivariateStats>
</XTMetaData>
)");
  MiningModel model;
  ModelParseXMLString(MiningModelHandler(model), document.c_str());

  const DoubleMatrix& var = model.varStats();
  ASSERT_EQ(var.getNRow(), 2);
  ASSERT_EQ(var.getNCol(), 5);
  EXPECT_EQ(names(var.getRowNames()), (std::vector<std::string>{"x", "f"}));
  EXPECT_EQ(names(var.getColNames()),
            (std::vector<std::string>{"min", "max", "mean", "std.dev", ""}));
  // Decimal text read exactly (tolerance 0).
  EXPECT_EQ(var(0, 0), -1.0);
  EXPECT_EQ(var(0, 1), 7.25);
  EXPECT_EQ(var(0, 2), 2.5);
  EXPECT_EQ(var(0, 3), 1.5e-3);
  EXPECT_EQ(var(0, 4), 40.0);
  // f has counts but no NumericInfo: its moments are missing.
  for (long stat = 0; stat < 4; ++stat)
    EXPECT_TRUE(std::isnan(var(1, stat))) << stat;
  EXPECT_EQ(var(1, 4), 12.0);

  const DoubleMatrix& resp = model.respStats();
  ASSERT_EQ(resp.getNRow(), 1);
  EXPECT_EQ(names(resp.getRowNames()), std::vector<std::string>{"g"});
  EXPECT_EQ(resp(0, 4), 9.0);

  ASSERT_EQ(model.nFactors(), 1);
  EXPECT_EQ(model.factors()[0].counts().toStd(), (std::vector<std::int32_t>{7, 0, 5}));
  EXPECT_EQ(model.factors()[0].N(), 12);
  EXPECT_EQ(model.response(0).counts().toStd(), (std::vector<std::int32_t>{0, 9}));
  EXPECT_EQ(model.weights().str(), "w");
}

TEST(MiningModelHandler, NoColumnsNoStatistics) {
  MiningModel model;
  ModelParseXMLString(MiningModelHandler(model), vtml("<MiningSchema/>\n").c_str());
  EXPECT_EQ(model.varStats().getNRow(), 0);
  EXPECT_EQ(model.respStats().getNRow(), 0);
  EXPECT_EQ(model.nResponse(), 0);
  EXPECT_EQ(model.nVariables(), 0);
}
