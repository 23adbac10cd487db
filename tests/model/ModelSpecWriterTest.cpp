// ModelSpecWriter and the element writers: the specification document byte for byte, the
// frame left as the frame writer writes it, statistics in the reader's accepted form, and
// the kind table.
#include "qmxmisc/model/ModelSpecWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
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

TEST(ModelSpecWriter, KeepsTheFrameBytes) {
  // Without the UnivariateStats lines, the metadata is the frame writer's own text.
  const MiningModel model = modelFromFormula("y ~ x + f", formulaColumns(), "w");
  const ModelSpecElementWriter element("y ~ x + f");
  std::ostringstream spec;
  ModelSpecWriter(model, statsColumns(), element).getXMLDataDict(spec);
  std::ostringstream frame;
  model.getXMLDataDict(frame);
  std::istringstream lines(spec.str());
  std::string line, kept;
  bool inStats = false;
  int statsBlocks = 0;
  while (std::getline(lines, line)) {
    if (line.find("<UnivariateStats ") != std::string::npos) {
      inStats = true;
      ++statsBlocks;
    }
    if (!inStats) kept += line + "\n";
    if (line.find("</UnivariateStats>") != std::string::npos) inStats = false;
  }
  EXPECT_EQ(kept, frame.str());
  EXPECT_EQ(statsBlocks, 4);  // y, x, f, w
}

TEST(ModelSpecWriter, ReadsBack) {
  // The document reader fills responses, factors with levels and counts, the weights name
  // and the statistics; the terms it rebuilds from the MiningSchema are the main effects.
  const std::string formula = "y ~ x*f + I(x^2) + u:z";
  const MiningModel model = modelFromFormula(formula, formulaColumns(), "w");
  const ModelSpecElementWriter element(formula);
  std::ostringstream out;
  ModelSpecWriter(model, statsColumns(), element).write(out);
  const MiningModel read(out.str().c_str());
  ASSERT_EQ(read.nResponse(), 1);
  EXPECT_EQ(read.response(0).name(), String("y"));
  EXPECT_EQ(read.weights(), String("w"));
  ASSERT_EQ(read.nFactors(), 1);
  EXPECT_EQ(read.factorInfo(0L).levels(), model.factorInfo(0L).levels());
  ASSERT_TRUE(read.factorInfo(0L).hasCounts());
  EXPECT_EQ(read.factorInfo(0L).count(0), 4);
  EXPECT_EQ(read.factorInfo(0L).count(1), 5);
  EXPECT_EQ(read.termsTable().getRowNames(), model.termsTable().getRowNames());
  EXPECT_EQ(read.nTerms(), 4);  // x, f, u, z
  // Statistics: columns min, max, mean, std.dev, total frequency; exact (15 digits written).
  const DoubleMatrix& vars = read.varStats();
  ASSERT_EQ(vars.getNRow(), 4);
  ASSERT_GE(vars.getNCol(), 5);
  const double x[] = {0, 1e6, 12345.678, 2, 10};
  for (long statIdx = 0; statIdx < 5; ++statIdx)
    EXPECT_EQ(vars(0, statIdx), x[statIdx]) << statIdx;
  EXPECT_TRUE(std::isnan(vars(2, 3)));  // sd of the one value of u
  EXPECT_EQ(vars(2, 4), 1);
  const DoubleMatrix& resp = read.respStats();
  ASSERT_EQ(resp.getNRow(), 1);
  EXPECT_EQ(resp(0, 0), -1.5);
  EXPECT_EQ(resp(0, 2), 0.1);
  EXPECT_EQ(resp(0, 4), 10);
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
