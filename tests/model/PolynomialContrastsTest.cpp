// Orthogonal polynomial contrasts against R's contr.poly, and their limits.
#include "qmxmisc/model/PolynomialContrasts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/ModelMatrixTestSupport.h"

namespace {

struct Entry {
  long levels = 0;
  long level = 0;   // 1-based
  long degree = 0;  // 1-based
  double value = 0.0;
};

std::vector<Entry> readContrPoly() {
  std::ifstream in(QMX_TEST_REF_DIR "/model/contr_poly.csv");
  EXPECT_TRUE(in.good()) << "missing contr_poly.csv";
  std::vector<Entry> entries;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line[0] == 'l') continue;  // comment, header
    std::istringstream fields(line);
    Entry e;
    char comma = 0;
    fields >> e.levels >> comma >> e.level >> comma >> e.degree >> comma >> e.value;
    entries.push_back(e);
  }
  return entries;
}

}  // namespace

TEST(PolynomialContrasts, MatchRContrPolyForTwoToElevenLevels) {
  const std::vector<Entry> entries = readContrPoly();
  ASSERT_EQ(entries.size(), 440u);  // sum over L = 2..11 of L * (L - 1)
  long checked = 0;
  for (long levels = 2; levels <= 11; ++levels) {
    SCOPED_TRACE("levels " + std::to_string(levels));
    const DoubleMatrix m = polynomialContrasts(levels);
    ASSERT_EQ(m.getNRow(), levels);
    ASSERT_EQ(m.getNCol(), levels - 1);
    for (const Entry& e : entries) {
      if (e.levels != levels) continue;
      // R 4.2 contr.poly: 1e-12 absolute.
      EXPECT_NEAR(m(e.level - 1, e.degree - 1), e.value, 1e-12)
          << "level " << e.level << " degree " << e.degree;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 440);
}

TEST(PolynomialContrasts, NamesAndLimits) {
  const DoubleMatrix eleven = polynomialContrasts(11);
  const std::vector<std::string> names = {"linear", "quad", "cubic", "^4", "^5",
                                          "^6",     "^7",   "^8",    "^9", "^10"};
  ASSERT_EQ(eleven.getColNames().size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(eleven.getColNames()[i].str(), names[i]);

  // One level (or none) has no contrast columns.
  EXPECT_EQ(polynomialContrasts(1).getNCol(), 0);
  EXPECT_EQ(polynomialContrasts(0).getNCol(), 0);
  EXPECT_EQ(thrownMessage([] { polynomialContrasts(12); }),
            "Orthogonal polynomials of degree 11 are not allowed");
  EXPECT_EQ(thrownMessage([] { polynomialContrasts(20); }),
            "Orthogonal polynomials of degree 19 are not allowed");
}
