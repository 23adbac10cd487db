// Orthogonal polynomial contrasts against R's contr.poly, and their limits; the coefficients
// of R's poly() found in passes over chunks of the data.
#include "qmxmisc/model/PolynomialContrasts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/ModelMatrixTestSupport.h"
#include "qmxmisc/model/PolyBasis.h"
#include "support/ChunkSizes.h"
#include "support/RefCompare.h"
#include "support/RefCsv.h"

TEST(PolynomialContrasts, MatchRContrPolyForTwoToElevenLevels) {
  // Records: levels, level, degree (1-based), value; R 4.2 contr.poly, 1e-12 absolute.
  const std::vector<std::vector<double>> entries = readRefNumbers("model", "contr_poly.csv");
  ASSERT_EQ(entries.size(), 440u);  // sum over L = 2..11 of L * (L - 1)
  for (long levels = 2; levels <= 11; ++levels) {
    const DoubleMatrix m = polynomialContrasts(levels);
    ASSERT_EQ(m.getNRow(), levels);
    ASSERT_EQ(m.getNCol(), levels - 1);
    for (const std::vector<double>& e : entries) {
      if (e[0] != levels) continue;
      EXPECT_NEAR(m(static_cast<long>(e[1]) - 1, static_cast<long>(e[2]) - 1), e[3], 1e-12)
          << "levels " << levels << " level " << e[1] << " degree " << e[2];
    }
  }
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

namespace {

std::vector<double> numbers(const std::string& text) {
  std::vector<double> values;
  std::size_t at = 0;
  for (std::size_t bar; (bar = text.find('|', at)) != std::string::npos; at = bar + 1)
    values.push_back(std::stod(text.substr(at, bar - at)));
  values.push_back(std::stod(text.substr(at)));
  return values;
}

}  // namespace

TEST(PolyBasis, CoefficientsMatchRPolyAtEveryChunkSize) {
  // tests/ref/model/poly_coefs.R: x, the degree and R's alpha and norm2.
  for (const RefRow& c : readRefCsv("model", "poly_coefs.csv")) {
    SCOPED_TRACE(c.text("case"));
    const std::vector<double> x = numbers(c.text("x"));
    qmxtest::forEachChunkSize([&](long rows) {
      PolyCoefficients coefs(static_cast<long>(c.num("degree")));
      do {
        coefs.startPass();
        for (std::size_t at = 0; at < x.size(); at += static_cast<std::size_t>(rows))
          coefs.add(x.data() + at, std::min(x.size() - at, static_cast<std::size_t>(rows)));
      } while (!coefs.endPass());
      EXPECT_TRUE(qmxtest::matchesColumn(coefs.alpha(), numbers(c.text("alpha")), 1e-10));
      EXPECT_TRUE(qmxtest::matchesColumn(coefs.norm2(), numbers(c.text("norm2")), 1e-10));
    });
  }
}
