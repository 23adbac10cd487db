// Metadata objects: the print format and the failures of converting an input data set to a
// model's layout (the conversion itself: VTModelTest, whose inputs order levels differently).
#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

#include "VTTestSupport.h"
#include "vtcsrc/VTObjects.h"

using vttest::Obj;

namespace {
// Model metadata: numeric "x" and factor "g" with levels (lo, mid, hi), one term each.
void modelMetaData(Obj& md) {
  const char* names[] = {"x", "g"};
  const int nLevels[] = {0, 3};
  const char* gLevels[] = {"lo", "mid", "hi"};
  const char* const* levels[] = {nullptr, gLevels};
  Obj info, terms;
  ASSERT_EQ(TelvarMetaData_createInputDescription(&info, 2, names, nLevels, levels, nullptr),
            TELVAR_OK);
  const int nCols[] = {1, 3};
  const char* xCols[] = {"x"};
  const char* gCols[] = {"g", "g", "g"};
  const char* const* termCols[] = {xCols, gCols};
  ASSERT_EQ(TelvarMetaData_createTerms(&terms, 2, names, nCols, termCols), TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_create(&md, info.get(), terms.get()), TELVAR_OK);
}

}  // namespace

TEST(TelvarMetaData, ValidPrintAndInvalidMessage) {
  Obj md;
  modelMetaData(md);
  EXPECT_TRUE(TelvarMetaData_isValid(md.get()));
  testing::internal::CaptureStdout();
  ASSERT_EQ(TelvarMetaData_print(md.get()), TELVAR_OK);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Column (x):\nLevel Names:\n\nSplit Categories:\n\n"
            "Column (g):\nLevel Names:\nlo, mid, hi\nSplit Categories:\n0, 1, 2\n"
            "Term (x):\nColumn Names:\nx\nTerm (g):\nColumn Names:\ng, g, g\n");
  Obj notMeta;
  ASSERT_EQ(TelvarList_create(&notMeta, 2, TELVAR_META_DATA), TELVAR_OK);
  testing::internal::CaptureStderr();
  EXPECT_EQ(TelvarMetaData_print(notMeta.get()), TELVAR_INVALID);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.substr(0, 17), "vtcsrc/VTObjects(");
  EXPECT_EQ(err.substr(err.size() - 22), ") : Invalid meta data\n");
}

TEST(TelvarMetaData, InputConvertFailures) {
  Obj md, ds;
  modelMetaData(md);
  // A required column missing: status 2 and the literal message.
  const int modes[] = {TELVAR_DOUBLE};
  const double x[] = {1};
  const void* columns[] = {x};
  const char* names[] = {"x"};
  ASSERT_EQ(TelvarDataSet_createFromInput(&ds, 1, 1, modes, names, columns), TELVAR_OK);
  Obj converted;
  testing::internal::CaptureStderr();
  EXPECT_EQ(TelvarMetaData_InputConvert(&converted, md.get(), ds.get(), nullptr), TELVAR_INVALID);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Column required by model not found: g\n");

  // A level the model does not know, and a numeric column where the model wants a factor.
  Obj unknown;
  const int modes2[] = {TELVAR_DOUBLE, TELVAR_DOUBLE};
  const double g[] = {0, 1};
  const double xs[] = {1, 2};
  const void* columns2[] = {xs, g};
  const char* names2[] = {"x", "g"};
  ASSERT_EQ(TelvarDataSet_createFromInput(&unknown, 2, 2, modes2, names2, columns2), TELVAR_OK);
  Obj c2;
  EXPECT_EQ(TelvarMetaData_InputConvert(&c2, md.get(), unknown.get(), nullptr), TELVAR_WRONG_MODE);
  Obj f;
  const char* texts[] = {"lo", "huge"};
  ASSERT_EQ(TelvarFactor_createFromStrings(&f, 2, texts), TELVAR_OK);
  ASSERT_EQ(TelvarDataSet_setColumn(&unknown, 1, f.get()), TELVAR_OK);
  Obj c3;  // an unknown level is missing, as the scoring proc scores it
  ASSERT_EQ(TelvarMetaData_InputConvert(&c3, md.get(), unknown.get(), nullptr), TELVAR_OK);
  EXPECT_TRUE(std::isnan(TelvarDataSet_getNonStringValue(c3.get(), 1, 1)));
  EXPECT_EQ(TelvarMetaData_InputConvert(&c3, md.get(), md.get(), nullptr), TELVAR_INVALID);
}
