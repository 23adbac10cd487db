// Objects of the scoring library: vectors, lists, factors, matrices and data sets.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "VTTestSupport.h"
#include "vtcsrc/VTObjects.h"

using vttest::elem;
using vttest::Obj;

TEST(TelvarObject, ClassNamesAndModes) {
  struct Case {
    int mode;
    const char* name;
  };
  const Case cases[] = {
      {0, "null"},       {1, "Vector"},     {2, "Vector"},  {3, "Vector"},    {4, "Vector"},
      {5, "Vector"},     {21, "Vector"},    {61, "Factor"}, {1004, "Matrix"}, {1005, "ModelMatrix"},
      {1006, "DataSet"}, {2001, "unknown"}, {7, "unknown"}};
  for (const Case& c : cases) {
    char buffer[64];
    EXPECT_EQ(Telvar_getClassFromMode(buffer, sizeof buffer, c.mode),
              static_cast<int>(std::string(c.name).size()));
    EXPECT_STREQ(buffer, c.name) << c.mode;
  }
  Obj empty;
  int mode = 0;
  EXPECT_EQ(TelvarObject_getMode(&mode, empty.get()), TELVAR_INVALID);
  EXPECT_EQ(mode, -1);
  EXPECT_EQ(TelvarObject_isEmpty(empty.get()), 1);
  Obj vec;
  ASSERT_EQ(TelvarVector_create(&vec, 0, TELVAR_DOUBLE, nullptr), TELVAR_OK);
  EXPECT_EQ(TelvarObject_getMode(&mode, vec.get()), TELVAR_OK);
  EXPECT_EQ(mode, TELVAR_DOUBLE);
  EXPECT_EQ(vec.get()->data, nullptr);
  EXPECT_STREQ(vec.get()->className, "Vector");
  EXPECT_STREQ(Telvar_statusText(TELVAR_NOMEM), "storage was not obtained");
  EXPECT_EQ(TelvarObject_alloc(empty.get(), 3, 99), TELVAR_INVALID);
}

TEST(TelvarVector, TypedAccessAndGrowth) {
  Obj d;
  const double values[] = {1.5, -2.0};
  ASSERT_EQ(TelvarVector_create(&d, 2, TELVAR_DOUBLE, values), TELVAR_OK);
  EXPECT_TRUE(TelvarVector_isDouble(d.get()));
  EXPECT_FALSE(TelvarVector_isLong(d.get()));
  for (int i = 0; i < 5; ++i)
    ASSERT_EQ(TelvarVector_addDouble(&d, 10.0 + i), TELVAR_OK);
  EXPECT_EQ(vttest::doubles(d.get()), (std::vector<double>{1.5, -2.0, 10, 11, 12, 13, 14}));
  int32_t l = 0;
  EXPECT_EQ(TelvarVector_getLongAt(&l, d.get(), 0), TELVAR_WRONG_MODE);
  EXPECT_EQ(TelvarVector_addLong(&d, 3), TELVAR_WRONG_MODE);
  double x = 0;
  EXPECT_EQ(TelvarVector_getDoubleAt(&x, d.get(), 7), TELVAR_INVALID);
  EXPECT_EQ(TelvarVector_setDoubleAt(&d, 7, 99.0), TELVAR_OK);  // index == length appends
  EXPECT_EQ(d.get()->length, 8);
  EXPECT_EQ(TelvarVector_setDoubleAt(&d, 9, 1.0), TELVAR_INVALID);
  EXPECT_EQ(TelvarVector_getDoubleAt(&x, d.get(), 7), TELVAR_OK);
  EXPECT_EQ(x, 99.0);

  // An empty vector becomes a vector of length 1.
  Obj e;
  ASSERT_EQ(TelvarVector_create(&e, 0, TELVAR_LONG, nullptr), TELVAR_OK);
  ASSERT_EQ(TelvarVector_addLong(&e, 42), TELVAR_OK);
  EXPECT_EQ(vttest::longs(e.get()), std::vector<int>{42});

  // Long accessors accept booleans.
  Obj b;
  const int32_t flags[] = {0, 1};
  ASSERT_EQ(TelvarVector_create(&b, 2, TELVAR_BOOLEAN, flags), TELVAR_OK);
  EXPECT_EQ(TelvarVector_getLongAt(&l, b.get(), 1), TELVAR_OK);
  EXPECT_EQ(l, 1);
}

TEST(TelvarVector, StringsAndTextOfElements) {
  Obj s;
  const char* words[] = {"alpha", "", nullptr};
  ASSERT_EQ(TelvarVector_create(&s, 3, TELVAR_STRING, words), TELVAR_OK);
  EXPECT_EQ(vttest::strings(s.get()), (std::vector<std::string>{"alpha", "", ""}));
  ASSERT_EQ(TelvarVector_setStringAt(&s, 1, "beta"), TELVAR_OK);
  ASSERT_EQ(TelvarVector_addString(&s, "gamma"), TELVAR_OK);
  char small[4];
  EXPECT_EQ(TelvarVector_getStringAt(small, sizeof small, s.get(), 0), TELVAR_WRONG_MODE);
  char buffer[32];
  EXPECT_EQ(TelvarVector_getStringAt(buffer, sizeof buffer, s.get(), 3), TELVAR_OK);
  EXPECT_STREQ(buffer, "gamma");
  std::string longText(300, 'x');
  ASSERT_EQ(TelvarVector_setStringAt(&s, 2, longText.c_str()), TELVAR_OK);
  EXPECT_EQ(std::string(static_cast<char**>(s.get()->data)[2]).size(), 255u);

  struct Case {
    int mode;
    TelvarValue value;
    const char* text;
  };
  const Case cases[] = {
      {TELVAR_BOOLEAN, {.l = 1}, "TRUE"},    {TELVAR_BOOLEAN, {.l = 0}, "FALSE"},
      {TELVAR_LONG, {.l = -7}, "-7"},        {TELVAR_FLOAT, {.f = 0.25f}, "0.25"},
      {TELVAR_DOUBLE, {.d = 1e-7}, "1e-07"}, {TELVAR_STRING, {.s = "abc"}, "abc"}};
  for (const Case& c : cases) {
    Obj v;
    ASSERT_EQ(TelvarVector_create(&v, 0, c.mode, nullptr), TELVAR_OK);
    ASSERT_EQ(TelvarVector_add(&v, c.value), TELVAR_OK);
    EXPECT_EQ(TelvarVector_getAsStringAt(buffer, sizeof buffer, v.get(), 0), TELVAR_OK);
    EXPECT_STREQ(buffer, c.text);
    // An index equal to the length is out of range.
    EXPECT_EQ(TelvarVector_getAsStringAt(buffer, sizeof buffer, v.get(), 1), TELVAR_INVALID);
    EXPECT_EQ(TelvarVector_getAsStringAt(buffer, 2, v.get(), 0), TELVAR_INVALID);
  }
}

TEST(TelvarVector, PrintAndBadPointerMessages) {
  Obj v;
  const int32_t values[] = {1, 0, 1};
  ASSERT_EQ(TelvarVector_create(&v, 3, TELVAR_BOOLEAN, values), TELVAR_OK);
  testing::internal::CaptureStdout();
  TelvarVector_print(v.get());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "TRUE, FALSE, TRUE\n");

  Obj bad;
  bad.get()->mode = TELVAR_DOUBLE;
  bad.get()->length = 3;  // no storage: invalid
  testing::internal::CaptureStderr();
  EXPECT_EQ(TelvarVector_printElement(bad.get(), 0), TELVAR_INVALID);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "bad vector pointer argument of TelvarVector_printElement\n");
  bad.get()->length = 0;

  Obj list;
  list.get()->mode = TELVAR_LIST;
  list.get()->length = 2;
  testing::internal::CaptureStderr();
  EXPECT_EQ(TelvarList_printElement(list.get(), 0), TELVAR_INVALID);
  EXPECT_EQ(TelvarFactor_printElement(list.get(), 0), TELVAR_INVALID);
  EXPECT_EQ(TelvarDoubleMatrix_print(list.get()), TELVAR_INVALID);
  EXPECT_EQ(TelvarDataSet_print(list.get()), TELVAR_INVALID);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "bad List pointer argument of TelvarList_printElement\n"
            "bad Factor pointer argument of TelvarFactor_printElement\n"
            "Invalid pdMatrix\n"
            "Invalid DataSet object\n");
  list.get()->length = 0;
}

TEST(TelvarList, AddSetGetAndNames) {
  Obj list;
  Obj a, b;
  const double one = 1.0;
  ASSERT_EQ(TelvarVector_create(&a, 1, TELVAR_DOUBLE, &one), TELVAR_OK);
  const char* word = "w";
  ASSERT_EQ(TelvarVector_create(&b, 1, TELVAR_STRING, &word), TELVAR_OK);
  Obj names;
  EXPECT_EQ(TelvarList_getNames(&names, list.get()), TELVAR_INVALID);  // not a list yet
  ASSERT_EQ(TelvarList_add(&list, a.get(), "first"), TELVAR_OK);       // empty record -> list 21
  EXPECT_EQ(list.get()->mode, TELVAR_LIST);
  ASSERT_EQ(TelvarList_add(&list, b.get(), "second"), TELVAR_OK);
  ASSERT_EQ(TelvarList_setAt(&list, 2, a.get()), TELVAR_OK);  // appends with an empty name
  ASSERT_EQ(TelvarList_getNames(&names, list.get()), TELVAR_OK);
  EXPECT_EQ(vttest::strings(names.get()), (std::vector<std::string>{"first", "second", ""}));
  ASSERT_EQ(TelvarList_setAt(&list, 0, b.get()), TELVAR_OK);  // replaces
  Obj copy;
  ASSERT_EQ(TelvarList_getAt(&copy, list.get(), 0), TELVAR_OK);
  EXPECT_EQ(vttest::strings(copy.get()), std::vector<std::string>{"w"});
  EXPECT_EQ(TelvarList_getAt(&copy, list.get(), 3), TELVAR_INVALID);
  int index = -1;
  EXPECT_EQ(TelvarList_findName(&index, list.get(), "second"), TELVAR_OK);
  EXPECT_EQ(index, 1);
  ASSERT_EQ(TelvarList_setNameAt(&list, 2, "third"), TELVAR_OK);
  Obj wrongLength;
  ASSERT_EQ(TelvarVector_create(&wrongLength, 2, TELVAR_STRING, nullptr), TELVAR_OK);
  EXPECT_EQ(TelvarList_setNames(&list, wrongLength.get()), TELVAR_INVALID);
  EXPECT_EQ(TelvarList_create(&copy, 2, TELVAR_DOUBLE), TELVAR_INVALID);  // vector mode
  Obj empty;
  ASSERT_EQ(TelvarList_create(&empty, 0, TELVAR_LIST), TELVAR_OK);
  Obj emptyNames;
  EXPECT_EQ(TelvarList_getNames(&emptyNames, empty.get()), TELVAR_WRONG_MODE);
  Obj clone;
  ASSERT_EQ(TelvarObject_clone(&clone, list.get()), TELVAR_OK);
  EXPECT_EQ(vttest::streamText(clone.get()), vttest::streamText(list.get()));
}

TEST(TelvarFactor, CodesInOrderOfFirstAppearance) {
  Obj f;
  const char* texts[] = {"b", "a", "b", "c"};
  ASSERT_EQ(TelvarFactor_createFromStrings(&f, 4, texts), TELVAR_OK);
  EXPECT_TRUE(TelvarFactor_isValid(f.get()));
  EXPECT_EQ(vttest::longs(elem(f.get(), 0)), (std::vector<int>{0, 1, 0, 2}));
  EXPECT_EQ(vttest::strings(elem(f.get(), 1)), (std::vector<std::string>{"b", "a", "c"}));
  testing::internal::CaptureStdout();
  TelvarFactor_print(f.get());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "b, a, b, c\nLevels: b, a, c\n");

  // Many distinct levels share the 769 buckets.
  std::vector<std::string> many;
  for (int i = 0; i < 2000; ++i)
    many.push_back("L" + std::to_string(i % 1000));
  std::vector<const char*> ptrs;
  for (const auto& s : many)
    ptrs.push_back(s.c_str());
  Obj g;
  ASSERT_EQ(TelvarFactor_createFromStrings(&g, 2000, ptrs.data()), TELVAR_OK);
  EXPECT_EQ(elem(g.get(), 1)->length, 1000);
  EXPECT_EQ(vttest::longs(elem(g.get(), 0))[1999], 999);

  Obj bad;
  const int32_t codes[] = {0, 2};
  const char* levels[] = {"x", "y"};
  EXPECT_EQ(TelvarFactor_create(&bad, 2, codes, 2, levels), TELVAR_INVALID);
}

TEST(TelvarDoubleMatrix, CreateNamesAndFromDataSet) {
  Obj m;
  const double v[] = {1, 2, 3, 4, 5, 6};
  const char* cols[] = {"x", "y", "z"};
  ASSERT_EQ(TelvarDoubleMatrix_create(&m, 2, 3, v, nullptr, cols), TELVAR_OK);
  int n = 0;
  EXPECT_EQ(TelvarDoubleMatrix_getNRows(&n, m.get()), TELVAR_OK);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(TelvarDoubleMatrix_getNColumns(&n, m.get()), TELVAR_OK);
  EXPECT_EQ(n, 3);
  Obj rn;
  const char* rows[] = {"r1", "r2"};
  ASSERT_EQ(TelvarVector_create(&rn, 2, TELVAR_STRING, rows), TELVAR_OK);
  ASSERT_EQ(TelvarDoubleMatrix_setRowNames(&m, rn.get()), TELVAR_OK);
  EXPECT_EQ(TelvarDoubleMatrix_setColumnNames(&m, rn.get()), TELVAR_INVALID);
  EXPECT_EQ(TelvarDoubleMatrix_create(&rn, 0, 3, v, nullptr, nullptr), TELVAR_INVALID);

  // A data set with a numeric and a factor column.
  Obj ds;
  const int modes[] = {TELVAR_LONG, TELVAR_DOUBLE};
  const int32_t a[] = {1, 2, 3};
  const double b[] = {0.5, 1.5, 2.5};
  const void* columns[] = {a, b};
  const char* names[] = {"a", "g"};
  ASSERT_EQ(TelvarDataSet_createFromInput(&ds, 3, 2, modes, names, columns), TELVAR_OK);
  Obj f;
  const char* texts[] = {"u", "v", "u"};
  ASSERT_EQ(TelvarFactor_createFromStrings(&f, 3, texts), TELVAR_OK);
  ASSERT_EQ(TelvarDataSet_setColumn(&ds, 1, f.get()), TELVAR_OK);
  Obj dm;
  ASSERT_EQ(TelvarDoubleMatrix_createFromDataSet(&dm, ds.get()), TELVAR_OK);
  EXPECT_EQ(vttest::doubles(elem(dm.get(), 0)), (std::vector<double>{1, 2, 3, 1, 0, 1, 0, 1, 0}));
  EXPECT_EQ(vttest::strings(elem(dm.get(), 3)), (std::vector<std::string>{"a", "g(u)", "g(v)"}));
  Obj mm;
  ASSERT_EQ(TelvarModelMatrix_createFromDataSet(&mm, ds.get()), TELVAR_OK);
  EXPECT_TRUE(TelvarModelMatrix_isValid(mm.get()));
  const TelvarObject* level = elem(mm.get(), 4);
  ASSERT_EQ(level->length, 2);
  EXPECT_EQ(elem(level, 0)->length, 0);
  EXPECT_EQ(vttest::strings(elem(level, 1)), (std::vector<std::string>{"u", "v"}));
  Obj plain;
  ASSERT_EQ(TelvarModelMatrix_create(&plain, 1, 2, nullptr, nullptr, nullptr), TELVAR_OK);
  EXPECT_TRUE(TelvarModelMatrix_isValid(plain.get()));
  testing::internal::CaptureStdout();
  TelvarModelMatrix_print(plain.get());
  EXPECT_NE(testing::internal::GetCapturedStdout().find("\nFactor levels:\n"), std::string::npos);
}

TEST(TelvarDataSet, RowNamesValuesAndPrint) {
  Obj ds;
  const int modes[] = {TELVAR_DOUBLE, TELVAR_FLOAT, TELVAR_STRING};
  const double a[] = {1.25, 2.5};
  const float b[] = {0.5f, 4.0f};
  const char* s[] = {"p", "q"};
  const void* columns[] = {a, b, s};
  const char* names[] = {"a", "b", "s"};
  ASSERT_EQ(TelvarDataSet_createFromInput(&ds, 2, 3, modes, names, columns), TELVAR_OK);
  EXPECT_TRUE(TelvarDataSet_isValid(ds.get()));
  EXPECT_EQ(TelvarDataSet_getNonStringValue(ds.get(), 0, 1), 2.5);
  EXPECT_EQ(TelvarDataSet_getNonStringValue(ds.get(), 1, 1), 4.0);
  EXPECT_EQ(TelvarDataSet_getNonStringValue(ds.get(), 2, 1), 0.0);
  EXPECT_EQ(TelvarDataSet_getNonStringValue(ds.get(), 3, 1), 0.0);
  int mode = 0;
  EXPECT_EQ(TelvarDataSet_getColumnMode(&mode, ds.get(), 1), TELVAR_OK);
  EXPECT_EQ(mode, TELVAR_FLOAT);

  Obj rows;
  const char* rowNames[] = {"first", "second"};
  ASSERT_EQ(TelvarVector_create(&rows, 2, TELVAR_STRING, rowNames), TELVAR_OK);
  ASSERT_EQ(TelvarDataSet_setRowNames(&ds, rows.get()), TELVAR_OK);
  Obj gotRows, gotCols;
  ASSERT_EQ(TelvarDataSet_getRowNames(&gotRows, ds.get()), TELVAR_OK);
  ASSERT_EQ(TelvarDataSet_getColumnNames(&gotCols, ds.get()), TELVAR_OK);
  EXPECT_EQ(vttest::strings(gotRows.get()), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(vttest::strings(gotCols.get()), (std::vector<std::string>{"a", "b", "s"}));

  testing::internal::CaptureStdout();
  EXPECT_EQ(TelvarDataSet_print(ds.get()), TELVAR_OK);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("[     0]"), std::string::npos) << out;
  EXPECT_NE(out.find("1.25"), std::string::npos) << out;

  const int badModes[] = {TELVAR_LIST};
  Obj bad;
  EXPECT_EQ(TelvarDataSet_createFromInput(&bad, 2, 1, badModes, nullptr, nullptr), TELVAR_INVALID);
}
