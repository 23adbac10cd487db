// The comma-separated reader: the files of tests/ref/vtcsrc/csv_cases.tsv read (with or
// without a model) and written back, or refused with their messages.
#include <gtest/gtest.h>

#include <string>

#include "VTTestSupport.h"
#include "support/RefCsv.h"
#include "vtcsrc/VTObjects.h"

using vttest::Obj;

namespace {
std::string types(const TelvarObject* ds) {
  int ncol = 0;
  TelvarDataSet_getNColumns(&ncol, ds);
  std::string out;
  for (int c = 0; c < ncol; ++c) {
    int mode = 0;
    TelvarDataSet_getColumnMode(&mode, ds, c);
    out += mode == TELVAR_DOUBLE ? 'D' : mode == TELVAR_FACTOR ? 'F' : '?';
  }
  return out;
}

std::string written(const TelvarObject* ds) {
  char* text = nullptr;
  std::size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  EXPECT_EQ(TelvarDataSet_writeCsv(out, ds), TELVAR_OK);
  std::fclose(out);
  std::string result(text, size);
  std::free(text);
  return result;
}
}  // namespace

TEST(TelvarCsv, CasesReadAndWrittenBack) {
  Obj xg;
  ASSERT_EQ(
      TelvarObject_createFromFile(xg.get(), refPath("vtcsrc", "package_reader.model.txt").c_str()),
      TELVAR_OK);
  int cases = 0;
  for (const auto& row : vttest::caseTable(refPath("vtcsrc", "csv_cases.tsv"))) {
    SCOPED_TRACE(row[1]);
    ++cases;
    vttest::TempDir dir;
    const std::string file = dir.file("data.csv");
    vttest::writeText(file, row[1]);
    Obj ds;
    testing::internal::CaptureStderr();
    const int status = row[0] == "xg"
                           ? TelvarDataSet_createWithModel(xg.get(), ds.get(), file.c_str())
                           : TelvarDataSet_createFromTextFile(ds.get(), file.c_str());
    std::string message = testing::internal::GetCapturedStderr();
    for (auto at = message.find(file); at != std::string::npos; at = message.find(file))
      message.replace(at, file.size(), "data.csv");
    EXPECT_EQ(status, std::stoi(row[2]));
    EXPECT_EQ(message, row[5]);
    if (status != TELVAR_OK) {
      EXPECT_TRUE(TelvarObject_isEmpty(ds.get()));
      continue;
    }
    EXPECT_EQ(types(ds.get()), row[3]);
    EXPECT_EQ(written(ds.get()), row[4]);
  }
  EXPECT_GE(cases, 20);
  Obj none;
  testing::internal::CaptureStderr();
  EXPECT_EQ(TelvarDataSet_createFromTextFile(none.get(), "/nonexistent/file.csv"), TELVAR_INVALID);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "/nonexistent/file.csv: cannot open the file\n");
}
