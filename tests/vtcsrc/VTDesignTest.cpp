// The regression design of a metadata object: powers, indicator columns by split category
// (reference and sum-to-zero levels), level codes, interaction products and the malformed
// terms that are refused.
#include <gtest/gtest.h>

#include <vector>

#include "VTTestSupport.h"
#include "vtcsrc/VTObjects.h"

using vttest::Obj;

namespace {

// Columns x (numeric), g (levels a, b, c; splits 0, 1, 2), r (levels u, v, w; splits 0, 1, -1)
// and s (levels p, q; splits 0, -2), with the given terms.
void metaData(Obj& md, const std::vector<std::vector<const char*>>& terms) {
  const char* names[] = {"x", "g", "r", "s"};
  const int nLevels[] = {0, 3, 3, 2};
  const char* g[] = {"a", "b", "c"};
  const char* r[] = {"u", "v", "w"};
  const char* s[] = {"p", "q"};
  const char* const* levels[] = {nullptr, g, r, s};
  const int32_t rSplits[] = {0, 1, -1};
  const int32_t sSplits[] = {0, -2};
  const int32_t* splits[] = {nullptr, nullptr, rSplits, sSplits};
  Obj info, termInfo;
  ASSERT_EQ(TelvarMetaData_createInputDescription(&info, 4, names, nLevels, levels, splits),
            TELVAR_OK);
  std::vector<const char*> termNames;
  std::vector<int> sizes;
  std::vector<const char* const*> columns;
  for (const auto& term : terms) {
    termNames.push_back("t");
    sizes.push_back(static_cast<int>(term.size()));
    columns.push_back(term.data());
  }
  ASSERT_EQ(TelvarMetaData_createTerms(&termInfo, static_cast<int>(terms.size()), termNames.data(),
                                       sizes.data(), columns.data()),
            TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_create(&md, info.get(), termInfo.get()), TELVAR_OK);
}

}  // namespace

TEST(VTDesign, ExpandsTermsLikeTheModelMatrix) {
  Obj md;
  metaData(md, {{"x", "x"},              // x^2
                {"g", "g", "g"},         // g indicators
                {"x", "g", "g", "g"},    // x:g
                {"g"},                   // g's level code
                {"r", "r"},              // r, w the reference level
                {"s"},                   // s, q gives -1
                {"g", "g", "g", "s"}});  // g:s, g slowest
  int width = 0;
  ASSERT_EQ(Telvar_designWidth(&width, md.get()), TELVAR_OK);
  ASSERT_EQ(width, 1 + 3 + 3 + 1 + 2 + 1 + 3);
  // Converted rows: (x = 3, g = b, r = w, s = q) and (x = -0.5, g = c, r = u, s = p).
  const double x[] = {3, -0.5}, g[] = {1, 2}, r[] = {2, 0}, s[] = {1, 0};
  const double* converted[] = {x, g, r, s};
  std::vector<double> row(width), scratch(2 * width);
  ASSERT_EQ(Telvar_designRow(row.data(), scratch.data(), md.get(), converted, 0), TELVAR_OK);
  EXPECT_EQ(row, (std::vector<double>{9, 0, 1, 0, 0, 3, 0, 1, 0, 0, -1, 0, -1, 0}));
  ASSERT_EQ(Telvar_designRow(row.data(), scratch.data(), md.get(), converted, 1), TELVAR_OK);
  EXPECT_EQ(row, (std::vector<double>{0.25, 0, 0, 1, 0, 0, -0.5, 2, 1, 0, 1, 0, 0, 1}));

  // Without terms: the converted columns themselves.
  Obj plain;
  metaData(plain, {});
  ASSERT_EQ(Telvar_designWidth(&width, plain.get()), TELVAR_OK);
  EXPECT_EQ(width, 4);
  ASSERT_EQ(Telvar_designRow(row.data(), scratch.data(), plain.get(), converted, 0), TELVAR_OK);
  EXPECT_EQ(std::vector<double>(row.begin(), row.begin() + 4), (std::vector<double>{3, 1, 2, 1}));
}

TEST(VTDesign, RefusesMalformedTerms) {
  const std::vector<std::vector<std::vector<const char*>>> bad = {
      {{"g", "g"}},  // three split categories, named twice
      {{"y"}},       // not a column
      {{}},          // empty term
  };
  for (const auto& terms : bad) {
    Obj md;
    metaData(md, terms);
    int width = -7;
    EXPECT_EQ(Telvar_designWidth(&width, md.get()), TELVAR_INVALID);
    EXPECT_EQ(width, -7);
  }
  EXPECT_EQ(Telvar_designWidth(nullptr, nullptr), TELVAR_INVALID);
}
