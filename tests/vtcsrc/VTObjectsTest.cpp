// Objects of the scoring library: class names, vectors (typed access, growth, texts), lists,
// factors, matrices and data sets, with the statuses of their misuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VTTestSupport.h"
#include "vtcsrc/VTObjects.h"

using vttest::elem;
using vttest::Obj;

TEST(TelvarObject, ClassNamesModesAndStatusTexts) {
  const std::pair<int, const char*> cases[] = {
      {0, "null"},       {1, "Vector"},    {5, "Vector"},         {21, "Vector"},
      {61, "Factor"},    {1004, "Matrix"}, {1005, "ModelMatrix"}, {1006, "DataSet"},
      {2001, "unknown"}, {7, "unknown"}};
  for (const auto& [mode, name] : cases) {
    char buffer[64];
    EXPECT_EQ(Telvar_getClassFromMode(buffer, sizeof buffer, mode),
              static_cast<int>(std::string(name).size()));
    EXPECT_STREQ(buffer, name) << mode;
  }
  Obj empty;
  int mode = 0;
  EXPECT_EQ(TelvarObject_getMode(&mode, empty.get()), TELVAR_INVALID);
  EXPECT_EQ(mode, -1);
  EXPECT_EQ(TelvarObject_alloc(empty.get(), 3, 99), TELVAR_INVALID);
  EXPECT_STREQ(Telvar_statusText(TELVAR_NOMEM), "storage was not obtained");
}

TEST(TelvarVector, TypedAccessGrowthAndTexts) {
  Obj d;
  const double values[] = {1.5, -2.0};
  ASSERT_EQ(TelvarVector_create(&d, 2, TELVAR_DOUBLE, values), TELVAR_OK);
  for (int i = 0; i < 5; ++i)
    ASSERT_EQ(TelvarVector_addDouble(&d, 10.0 + i), TELVAR_OK);
  EXPECT_EQ(vttest::doubles(d.get()), (std::vector<double>{1.5, -2.0, 10, 11, 12, 13, 14}));
  int32_t l = 0;
  double x = 0;
  EXPECT_EQ(TelvarVector_getLongAt(&l, d.get(), 0), TELVAR_WRONG_MODE);
  EXPECT_EQ(TelvarVector_addLong(&d, 3), TELVAR_WRONG_MODE);
  EXPECT_EQ(TelvarVector_getDoubleAt(&x, d.get(), 7), TELVAR_INVALID);
  EXPECT_EQ(TelvarVector_setDoubleAt(&d, 7, 99.0), TELVAR_OK);  // index == length appends
  EXPECT_EQ(TelvarVector_setDoubleAt(&d, 9, 1.0), TELVAR_INVALID);
  EXPECT_EQ(d.get()->length, 8);
  Obj s;
  const char* words[] = {"alpha", "", nullptr};
  ASSERT_EQ(TelvarVector_create(&s, 3, TELVAR_STRING, words), TELVAR_OK);
  ASSERT_EQ(TelvarVector_addString(&s, std::string(300, 'x').c_str()), TELVAR_OK);
  EXPECT_EQ(vttest::strings(s.get()),
            (std::vector<std::string>{"alpha", "", "", std::string(255, 'x')}));
  char small[4];
  EXPECT_EQ(TelvarVector_getStringAt(small, sizeof small, s.get(), 0), TELVAR_WRONG_MODE);
  const std::pair<int, TelvarValue> texts[] = {{TELVAR_BOOLEAN, {.l = 1}},
                                               {TELVAR_LONG, {.l = -7}},
                                               {TELVAR_FLOAT, {.f = 0.25f}},
                                               {TELVAR_DOUBLE, {.d = 1e-7}}};
  const char* expected[] = {"TRUE", "-7", "0.25", "1e-07"};
  for (int i = 0; i < 4; ++i) {
    Obj v;
    char buffer[32];
    ASSERT_EQ(TelvarVector_create(&v, 0, texts[i].first, nullptr), TELVAR_OK);
    ASSERT_EQ(TelvarVector_add(&v, texts[i].second), TELVAR_OK);
    EXPECT_EQ(TelvarVector_getAsStringAt(buffer, sizeof buffer, v.get(), 0), TELVAR_OK);
    EXPECT_STREQ(buffer, expected[i]);
    EXPECT_EQ(TelvarVector_getAsStringAt(buffer, sizeof buffer, v.get(), 1), TELVAR_INVALID);
  }
}

TEST(TelvarList, AddSetAndNames) {
  Obj list, a, names;
  const double one = 1.0;
  ASSERT_EQ(TelvarVector_create(&a, 1, TELVAR_DOUBLE, &one), TELVAR_OK);
  EXPECT_EQ(TelvarList_getNames(&names, list.get()), TELVAR_INVALID);  // not a list yet
  ASSERT_EQ(TelvarList_add(&list, a.get(), "first"), TELVAR_OK);
  ASSERT_EQ(TelvarList_setAt(&list, 1, a.get()), TELVAR_OK);  // appends with an empty name
  ASSERT_EQ(TelvarList_setNameAt(&list, 1, "second"), TELVAR_OK);
  int index = -1;
  EXPECT_EQ(TelvarList_findName(&index, list.get(), "second"), TELVAR_OK);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(TelvarList_create(&names, 2, TELVAR_DOUBLE), TELVAR_INVALID);
}

TEST(TelvarFactor, CodesInOrderOfFirstAppearance) {
  std::vector<std::string> many;
  for (int i = 0; i < 2000; ++i)
    many.push_back("L" + std::to_string((i * 7) % 1000));  // more levels than hash buckets
  std::vector<const char*> texts;
  for (const std::string& text : many)
    texts.push_back(text.c_str());
  Obj f;
  ASSERT_EQ(TelvarFactor_createFromStrings(&f, 2000, texts.data()), TELVAR_OK);
  EXPECT_EQ(elem(f.get(), 1)->length, 1000);
  EXPECT_EQ(vttest::longs(elem(f.get(), 0))[1000], 0);  // L0 again
  EXPECT_EQ(vttest::strings(elem(f.get(), 1))[1], "L7");
  Obj bad;
  const int32_t codes[] = {0, 2};
  const char* levels[] = {"x", "y"};
  EXPECT_EQ(TelvarFactor_create(&bad, 2, codes, 2, levels), TELVAR_INVALID);
}

TEST(TelvarDataSet, ColumnsMatricesAndValues) {
  Obj ds, f, dm;
  const int modes[] = {TELVAR_LONG, TELVAR_DOUBLE, TELVAR_FLOAT};
  const int32_t a[] = {1, 2, 3};
  const double b[] = {0.5, 1.5, 2.5};
  const float c[] = {0.5f, 4.0f, 1.0f};
  const void* columns[] = {a, b, c};
  const char* names[] = {"a", "g", "c"};
  ASSERT_EQ(TelvarDataSet_createFromInput(&ds, 3, 3, modes, names, columns), TELVAR_OK);
  EXPECT_EQ(TelvarDataSet_getNonStringValue(ds.get(), 2, 1), 4.0);
  EXPECT_EQ(TelvarDataSet_getNonStringValue(ds.get(), 3, 1), 0.0);  // no such column
  const char* texts[] = {"u", "v", "u"};
  ASSERT_EQ(TelvarFactor_createFromStrings(&f, 3, texts), TELVAR_OK);
  ASSERT_EQ(TelvarDataSet_setColumn(&ds, 1, f.get()), TELVAR_OK);
  ASSERT_EQ(TelvarDoubleMatrix_createFromDataSet(&dm, ds.get()), TELVAR_OK);
  EXPECT_EQ(vttest::doubles(elem(dm.get(), 0)),
            (std::vector<double>{1, 2, 3, 1, 0, 1, 0, 1, 0, 0.5, 4, 1}));
  EXPECT_EQ(vttest::strings(elem(dm.get(), 3)),
            (std::vector<std::string>{"a", "g(u)", "g(v)", "c"}));
  const int badModes[] = {TELVAR_LIST};
  Obj bad;
  EXPECT_EQ(TelvarDataSet_createFromInput(&bad, 2, 1, badModes, nullptr, nullptr), TELVAR_INVALID);
}
