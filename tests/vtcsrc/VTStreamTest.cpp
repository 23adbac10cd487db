// Text streams: version block, headers, every kind written and read back, malformed input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VTTestSupport.h"
#include "support/RefCsv.h"
#include "vtcsrc/VTObjects.h"

using vttest::elem;
using vttest::Obj;

TEST(TelvarStream, VersionBlock) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  ASSERT_EQ(TelvarVersion_writeToStream(out), TELVAR_OK);
  std::fclose(out);
  EXPECT_EQ(std::string(buffer, size), "# VTCSRC data's dump\n$vtcsrcVersion\n  1.10\n");
  std::free(buffer);

  struct Case {
    const char* text;
    int status;
  };
  const Case cases[] = {{"# VTCSRC data's dump\n$vtcsrcVersion\n  1.10\n", TELVAR_OK},
                        {"# VTCSRC data's dump\n$vtcsrcVersion\n1.1\n", TELVAR_OK},
                        {"# VTCSRC data's dump\n$vtcsrcVersion\n  1.20\n", TELVAR_INVALID},
                        {"# VTCSRC data's dump\n$vtcsrcVersion\n", TELVAR_INVALID},
                        {"# VTCSRC data's dump\n$vtcsrcVersion\nabc\n", TELVAR_INVALID}};
  for (const Case& c : cases) {
    std::string text = c.text;
    FILE* in = fmemopen(text.data(), text.size(), "r");
    EXPECT_EQ(TelvarVersion_readFromStreamAndValidate(in), c.status) << c.text;
    std::fclose(in);
  }
}

TEST(TelvarStream, VectorTextFormat) {
  Obj d, l, s, f, b, empty;
  const double dv[] = {1.5, -2.0};
  const int32_t lv[] = {3, -4};
  const char* sv[] = {"x", "yz"};
  const float fv[] = {0.5f};
  const int32_t bv[] = {1, 0};
  ASSERT_EQ(TelvarVector_create(&d, 2, TELVAR_DOUBLE, dv), TELVAR_OK);
  ASSERT_EQ(TelvarVector_create(&l, 2, TELVAR_LONG, lv), TELVAR_OK);
  ASSERT_EQ(TelvarVector_create(&s, 2, TELVAR_STRING, sv), TELVAR_OK);
  ASSERT_EQ(TelvarVector_create(&f, 1, TELVAR_FLOAT, fv), TELVAR_OK);
  ASSERT_EQ(TelvarVector_create(&b, 2, TELVAR_BOOLEAN, bv), TELVAR_OK);
  ASSERT_EQ(TelvarVector_create(&empty, 0, TELVAR_DOUBLE, nullptr), TELVAR_OK);
  EXPECT_EQ(vttest::streamText(d.get()),
            "\n$class\nVector\n$mode\n4\n$length\n2\n$data\n 1.500000 -2.000000 \n");
  EXPECT_EQ(vttest::streamText(l.get()), "\n$class\nVector\n$mode\n2\n$length\n2\n$data\n 3 -4 \n");
  EXPECT_EQ(vttest::streamText(s.get()), "\n$class\nVector\n$mode\n5\n$length\n2\n$data\n x yz \n");
  EXPECT_EQ(vttest::streamText(f.get()),
            "\n$class\nVector\n$mode\n3\n$length\n1\n$data\n    5.0000000e-01 \n");
  EXPECT_EQ(vttest::streamText(b.get()), "\n$class\nVector\n$mode\n1\n$length\n2\n$data\n \n");
  EXPECT_EQ(vttest::streamText(empty.get()), "\n$class\nVector\n$mode\n4\n$length\n0\n");

  for (const TelvarObject* v : {d.get(), l.get(), s.get(), f.get(), empty.get()}) {
    Obj back;
    ASSERT_EQ(vttest::readText(&back, vttest::streamText(v)), TELVAR_OK);
    EXPECT_EQ(back.get()->mode, v->mode);
    EXPECT_EQ(vttest::streamText(back.get()), vttest::streamText(v));
  }
  // Booleans carry no element text: the length survives, the values read back as FALSE.
  Obj bools;
  ASSERT_EQ(vttest::readText(&bools, vttest::streamText(b.get())), TELVAR_OK);
  EXPECT_EQ(vttest::longs(bools.get()), (std::vector<int>{0, 0}));
}

// Builds one object of every kind for the round trips.
static void buildKinds(std::vector<Obj>& objs) {
  const double dv[] = {0.25, 1e6, -3};
  ASSERT_EQ(TelvarVector_create(&objs[0], 3, TELVAR_DOUBLE, dv), TELVAR_OK);
  const char* texts[] = {"b", "a", "b", "c"};
  ASSERT_EQ(TelvarFactor_createFromStrings(&objs[1], 4, texts), TELVAR_OK);
  const char* cols[] = {"u", "v"};
  const char* rows[] = {"r0", "r1", "r2"};
  const double m[] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(TelvarDoubleMatrix_create(&objs[2], 3, 2, m, rows, cols), TELVAR_OK);
  ASSERT_EQ(TelvarModelMatrix_create(&objs[3], 3, 2, m, nullptr, cols), TELVAR_OK);
  const int modes[] = {TELVAR_DOUBLE, TELVAR_LONG, TELVAR_STRING};
  const int32_t lv[] = {7, 8, 9};
  const char* sv[] = {"p", "q", "r"};
  const void* columns[] = {dv, lv, sv};
  const char* names[] = {"d", "l", "s"};
  ASSERT_EQ(TelvarDataSet_createFromInput(&objs[4], 3, 3, modes, names, columns), TELVAR_OK);
  ASSERT_EQ(TelvarMetaData_createFromDataSet(&objs[5], objs[4].get()), TELVAR_OK);
  // A list holding an empty vector, an empty list and a nested list, names last.
  Obj emptyVec, emptyList, inner;
  ASSERT_EQ(TelvarVector_create(&emptyVec, 0, TELVAR_STRING, nullptr), TELVAR_OK);
  ASSERT_EQ(TelvarList_create(&emptyList, 0, TELVAR_LIST), TELVAR_OK);
  ASSERT_EQ(TelvarList_add(&inner, objs[0].get(), "vec"), TELVAR_OK);
  ASSERT_EQ(TelvarList_add(&objs[6], emptyVec.get(), "emptyVector"), TELVAR_OK);
  ASSERT_EQ(TelvarList_add(&objs[6], emptyList.get(), "emptyList"), TELVAR_OK);
  ASSERT_EQ(TelvarList_add(&objs[6], inner.get(), "inner"), TELVAR_OK);
}

TEST(TelvarStream, EveryKindRoundTripsThroughFiles) {
  std::vector<Obj> objs(7);
  buildKinds(objs);
  vttest::TempDir dir;
  for (size_t i = 0; i < objs.size(); ++i) {
    SCOPED_TRACE(i);
    const TelvarObject* obj = objs[i].get();
    ASSERT_TRUE(TelvarObject_isValid(obj));
    std::string file = dir.file("obj" + std::to_string(i) + ".txt");
    ASSERT_EQ(TelvarObject_writeToFile(file.c_str(), obj), TELVAR_OK);
    Obj back;
    ASSERT_EQ(TelvarObject_createFromFile(&back, file.c_str()), TELVAR_OK);
    EXPECT_EQ(back.get()->mode, obj->mode);
    EXPECT_TRUE(TelvarObject_isValid(back.get()));
    std::string again = dir.file("again.txt");
    ASSERT_EQ(TelvarObject_writeToFile(again.c_str(), back.get()), TELVAR_OK);
    EXPECT_EQ(vttest::readText(again), vttest::readText(file));
  }
  // The factor reads back with its codes and levels.
  Obj f;
  ASSERT_EQ(vttest::readText(&f, vttest::streamText(objs[1].get())), TELVAR_OK);
  EXPECT_EQ(vttest::longs(elem(f.get(), 0)), (std::vector<int>{0, 1, 0, 2}));
  // The list keeps its names, written as the last object.
  std::string text = vttest::streamText(objs[6].get());
  const std::string namesLine = "$data\n emptyVector emptyList inner \n";
  EXPECT_EQ(text.substr(text.size() - namesLine.size()), namesLine);
  Obj list;
  ASSERT_EQ(vttest::readText(&list, text), TELVAR_OK);
  Obj names;
  ASSERT_EQ(TelvarList_getNames(&names, list.get()), TELVAR_OK);
  EXPECT_EQ(vttest::strings(names.get()),
            (std::vector<std::string>{"emptyVector", "emptyList", "inner"}));
  EXPECT_EQ(elem(list.get(), 0)->length, 0);
  EXPECT_EQ(elem(list.get(), 1)->length, 0);
  EXPECT_EQ(elem(list.get(), 1)->mode, TELVAR_LIST);
}

TEST(TelvarStream, VersionOneTwoIsRefused) {
  vttest::TempDir dir;
  std::string file = dir.file("v12.txt");
  vttest::writeText(file,
                    "# VTCSRC data's dump\n$vtcsrcVersion\n  1.20\n"
                    "\n$class\nVector\n$mode\n2\n$length\n1\n$data\n 5 \n");
  Obj obj;
  EXPECT_EQ(TelvarObject_createFromFile(&obj, file.c_str()), TELVAR_INVALID);
  Obj missing;
  EXPECT_EQ(TelvarObject_createFromFile(&missing, dir.file("none.txt").c_str()), TELVAR_INVALID);
}

TEST(TelvarStream, TruncatedAndMalformedStreamsGiveStatusTwo) {
  std::vector<Obj> objs(7);
  buildKinds(objs);
  // Every proper prefix of every stream is refused without a crash.
  for (const Obj& o : objs) {
    std::string text = vttest::streamText(o.get());
    for (size_t cut = 0; cut + 1 < text.size(); ++cut) {
      std::string prefix = text.substr(0, cut);
      // A cut inside the final element line of a vector may still parse; skip the last line.
      if (text.find('\n', cut) == text.size() - 1) break;
      Obj back;
      EXPECT_EQ(vttest::readText(&back, prefix), TELVAR_INVALID) << cut << ":" << prefix;
    }
  }
  // tests/ref/vtcsrc/malformed_streams.txt: cases after "=== why" lines.
  const std::string text = readRefText("vtcsrc", "malformed_streams.txt");
  int cases = 0;
  for (std::size_t at = text.find("\n==="); at != std::string::npos;) {
    const std::size_t begin = text.find('\n', at + 1) + 1;
    const std::size_t end = text.find("\n===", begin);
    const std::string stream = text.substr(begin, end == std::string::npos ? end : end + 1 - begin);
    Obj back;
    EXPECT_EQ(vttest::readText(&back, stream), TELVAR_INVALID) << text.substr(at, begin - at);
    at = end;
    ++cases;
  }
  EXPECT_EQ(cases, 10);
  // Deep nesting is refused rather than recursed without bound.
  std::string deep;
  for (int i = 0; i < 200; ++i)
    deep += "\n$class\nVector\n$mode\n21\n$length\n1\n$data\n";
  Obj back;
  EXPECT_EQ(vttest::readText(&back, deep), TELVAR_INVALID);
}

TEST(TelvarStream, HeaderReadAndWrite) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  TelvarObjectHeader_writeToStream(out, nullptr, TELVAR_DATA_SET);
  TelvarObjectHeader_writeToStream(out, "KMeansClusterModel", TELVAR_META_DATA);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  EXPECT_EQ(text, "\n$class\nDataSet\n$mode\n1006\n\n$class\nKMeansClusterModel\n$mode\n2001\n");
  FILE* in = fmemopen(text.data(), text.size(), "r");
  int mode = 0;
  EXPECT_EQ(TelvarObjectHeader_readFromStream(&mode, in), TELVAR_OK);
  EXPECT_EQ(mode, TELVAR_DATA_SET);
  EXPECT_EQ(TelvarObjectHeader_readFromStream(&mode, in), TELVAR_OK);
  EXPECT_EQ(mode, TELVAR_META_DATA);
  EXPECT_EQ(TelvarObjectHeader_readFromStream(&mode, in), TELVAR_INVALID);
  std::fclose(in);
}
