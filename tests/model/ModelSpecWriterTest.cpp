// ModelSpecWriter and the element writers: the specification document byte for byte (its
// frame part is the frame writer's, pinned by the frame documents), read back, and the kind
// table.
#include "qmxmisc/model/ModelSpecWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "qmxmisc/model/ModelFormula.h"
#include "qmxmisc/model/ModelSpecElementWriter.h"
#include "support/RefCsv.h"
#include "support/ThrownMessage.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

DataColumn numeric(const char* name, long long count, double min, double max, double mean,
                   double sd) {
  DataColumn column = DataColumn::numeric(name);
  column.count = count;
  column.min = min;
  column.max = max;
  column.mean = mean;
  column.sd = sd;
  return column;
}

// y, x numeric with statistics; f a factor whose second level needs escaping; one value of
// u (undefined standard deviation); w the weights; z without statistics (not in the list).
std::vector<DataColumn> statsColumns() {
  DataColumn f = DataColumn::factor("f", {"a", "<&\"'>"});
  f.count = 9;
  f.levelCounts = {4, 5};
  return {numeric("y", 10, -1.5, 2.25, 0.1, 1.0 / 3.0), numeric("x", 10, 0, 1e6, 12345.678, 2), f,
          numeric("u", 1, 7, 7, 7, kNaN), numeric("w", 10, 1, 1, 1, 0)};
}

std::vector<DataColumn> formulaColumns() {
  std::vector<DataColumn> columns = statsColumns();
  columns.push_back(DataColumn::numeric("z"));
  return columns;
}

std::string maskTimestamp(const std::string& text) {
  static const std::regex stamp(
      "<Timestamp>[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}"
      "</Timestamp>");
  return std::regex_replace(text, stamp, "<Timestamp>2007/01/31 09:05:07</Timestamp>");
}

TEST(ModelSpecWriter, WritesDocument) {
  const std::string formula = "y ~ x*f + I(x^2) + u:z";
  const MiningModel model = modelFromFormula(formula, formulaColumns(), "w");
  const ModelSpecElementWriter element(formula);
  std::ostringstream out;
  EXPECT_TRUE(ModelSpecWriter(model, statsColumns(), element).write(out));
  EXPECT_EQ(maskTimestamp(out.str()), readRefText("model", "model_spec_example.xml"));
}

TEST(ModelSpecWriter, ReadsBack) {
  // The document reader fills the response, the weights, the factor counts and the
  // statistics (min, max, mean, std.dev, total frequency; 15 digits written, read exactly).
  const MiningModel read(readRefText("model", "model_spec_example.xml").c_str());
  EXPECT_EQ(read.response(0).name(), String("y"));
  EXPECT_EQ(read.weights(), String("w"));
  EXPECT_EQ(read.factorInfo(0L).counts().toStd(), (std::vector<std::int32_t>{4, 5}));
  const DoubleMatrix& vars = read.varStats();
  EXPECT_EQ(std::vector<double>({vars(0, 0), vars(0, 1), vars(0, 2), vars(0, 3), vars(0, 4)}),
            (std::vector<double>{0, 1e6, 12345.678, 2, 10}));
  EXPECT_TRUE(std::isnan(vars(2, 3)));  // sd of the one value of u
  EXPECT_EQ(read.respStats()(0, 2), 0.1);
}

// A model kind's element through the same hook.
class DummyElement : public ModelSpecKindWriter {
 public:
  bool begin(std::ostream& os, const MiningModel& model) const override {
    os << "  <Dummy>\n";
    return model.getXMLSchema(os);
  }
  bool end(std::ostream& os, const MiningModel&) const override {
    os << "  </Dummy>\n";
    return os.good();
  }
};

TEST(ModelSpecWriter, KindTable) {
  ModelSpecKindWriters writers = baseSpecElementWriters();
  writers.add("dummy", [](const SpecSettings&) { return std::make_unique<DummyElement>(); });
  EXPECT_EQ(writers.kinds(), (std::vector<std::string>{"dummy", "spec"}));
  EXPECT_EQ(thrownMessage([&] { writers.make("glm", SpecSettings{}); }),
            "unknown model kind 'glm'; known kinds: dummy, spec");
  const MiningModel model = modelFromFormula("~ x", formulaColumns());
  const auto element = writers.make("dummy", SpecSettings{"~ x", {}});
  std::ostringstream out;
  ModelSpecWriter(model, {}, *element).write(out);
  const std::string text = out.str();
  EXPECT_NE(text.find("  <Header copyright=\"Valdrin\">\n"), std::string::npos);
  EXPECT_EQ(text.find("UnivariateStats"), std::string::npos);  // no statistics given
  const std::string tail =
      "  </XTMetaData>\n  <Dummy>\n    <MiningSchema>\n      <MiningField name=\"x\"/>\n"
      "    </MiningSchema>\n  </Dummy>\n</VTML>\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);

  // The neutral element of a model without intercept or terms beyond one.
  const MiningModel noIntercept = modelFromFormula("y ~ x - 1", formulaColumns());
  std::ostringstream neutral;
  ModelSpecElementWriter("y ~ x - 1").begin(neutral, noIntercept);
  EXPECT_EQ(neutral.str().substr(0, neutral.str().find('\n') + 1),
            "  <ModelSpecification formula=\"y ~ x - 1\" intercept=\"false\" "
            "numberOfTerms=\"1\">\n");
}

}  // namespace
