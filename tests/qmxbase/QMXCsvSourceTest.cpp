#include "qmxbase/QMXCsvSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "qmxbase/QMXCsvTestFiles.h"
#include "qmxbase/QMXDataError.h"

namespace {

// Bitwise comparison of doubles, so that NaN equals NaN.
bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

void expectSameBlocks(const QMXRowBlock& a, const QMXRowBlock& b, const std::string& what) {
  EXPECT_EQ(a.rows, b.rows) << what;
  ASSERT_EQ(a.numbers.size(), b.numbers.size()) << what;
  for (std::size_t colIdx = 0; colIdx < a.numbers.size(); ++colIdx)
    EXPECT_TRUE(sameBits(a.numbers[colIdx], b.numbers[colIdx])) << what << " column " << colIdx;
  EXPECT_EQ(a.texts, b.texts) << what;
  EXPECT_EQ(a.missingText, b.missingText) << what;
}

// Reads the rest of the pass in chunks of `chunk` rows, appending to one block.
QMXRowBlock readAll(QMXCsvSource& source, std::size_t chunk) {
  QMXRowBlock block;
  block.reset(source.schema());
  while (!source.atEnd()) {
    const std::size_t got = source.read(chunk, block);
    EXPECT_GT(got, 0u);
    EXPECT_LE(got, chunk);
  }
  EXPECT_EQ(source.read(chunk, block), 0u);
  return block;
}

std::string readError(QMXCsvSource& source) {
  try {
    readAll(source, 3);
  } catch (const QMXDataError& e) {
    return e.what();
  }
  return "(no error)";
}

const char* kMixed =
    "id,x,g,note\n"
    "1,2.5,b,\"hello, world\"\n"
    "2,NA,a,\n"
    "3,-1e3,,\"two\nlines\"\n"
    "4,Inf,b,NA\n"
    "5,0.1,c,plain\n"
    "6,,a,\"q \"\"x\"\"\"\n"
    "7,3,c,last\n";

}  // namespace

TEST(QMXCsvSource, ReadsTypedColumns) {
  QMXCsvTempDir dir;
  QMXCsvOptions options;
  options.maxLevels = 3;  // g has 3 levels; note has 5 distinct texts
  QMXCsvSource source(dir.write("m.csv", kMixed), options);
  ASSERT_EQ(source.schema().size(), 4u);
  EXPECT_EQ(source.schema()[1].type, QMXColumnType::Double);
  EXPECT_EQ(source.schema()[2].type, QMXColumnType::Factor);
  EXPECT_EQ(source.schema()[3].type, QMXColumnType::String);
  EXPECT_EQ(source.totalRows(), 7);
  const QMXRowBlock block = readAll(source, 100);
  ASSERT_EQ(block.rows, 7u);
  const double nan = std::nan("");
  const double inf = HUGE_VAL;
  EXPECT_TRUE(sameBits(block.numbers[0], {1, 2, 3, 4, 5, 6, 7}));
  EXPECT_TRUE(sameBits(block.numbers[1], {2.5, nan, -1000, inf, 0.1, nan, 3}));
  EXPECT_TRUE(sameBits(block.numbers[2], {1, 0, nan, 1, 2, 0, 2}));  // levels a, b, c
  EXPECT_EQ(block.texts[3], (std::vector<std::string>{"hello, world", "", "two\nlines", "", "plain",
                                                      "q \"x\"", "last"}));
  EXPECT_EQ(block.missingText[3],
            (std::vector<bool>{false, true, false, true, false, false, false}));
  EXPECT_TRUE(block.texts[0].empty() && block.numbers[3].empty());
}

// Chunks of 1, 7 and all rows, and a small I/O block, give identical data; rewind gives
// the same rows again.
TEST(QMXCsvSource, ChunkSizesAndRewindGiveTheSameRows) {
  QMXCsvTempDir dir;
  std::string content = "a,b,f\n";
  for (int rowIdx = 0; rowIdx < 53; ++rowIdx)
    content += std::to_string(rowIdx * 0.37) + "," + (rowIdx % 5 == 0 ? "NA" : "7") + ",\"" +
               std::string(1, static_cast<char>('p' + rowIdx % 4)) + "\"\n";
  const std::string path = dir.write("c.csv", content);
  QMXCsvSource whole(path);
  const QMXRowBlock expected = readAll(whole, 1000);
  ASSERT_EQ(expected.rows, 53u);
  EXPECT_EQ(whole.schema()[2].levels, (std::vector<std::string>{"p", "q", "r", "s"}));
  for (std::size_t chunk : {1, 7, 53, 54}) {
    QMXCsvOptions options;
    options.blockBytes = 16;
    QMXCsvSource source(path, options);
    for (int pass = 0; pass < 2; ++pass) {
      expectSameBlocks(readAll(source, chunk), expected,
                       "chunk " + std::to_string(chunk) + " pass " + std::to_string(pass));
      source.rewind();
    }
  }
  // Rewind in the middle of a pass.
  QMXCsvSource partial(path, scanCsvMetadata(path));
  QMXRowBlock ignored;
  ignored.reset(partial.schema());
  EXPECT_EQ(partial.read(10, ignored), 10u);
  EXPECT_FALSE(partial.atEnd());
  partial.rewind();
  expectSameBlocks(readAll(partial, 7), expected, "after a partial pass");
}

TEST(QMXCsvSource, HeaderOnlyHasNoRows) {
  QMXCsvTempDir dir;
  QMXCsvSource source(dir.write("h.csv", "a,b\n"));
  EXPECT_EQ(source.totalRows(), 0);
  EXPECT_TRUE(source.atEnd());
  QMXRowBlock block;
  block.reset(source.schema());
  EXPECT_EQ(source.read(10, block), 0u);
}

// Messages for bad data. Number and level errors need metadata that disagrees with the
// file (a file that changed since it was scanned).
TEST(QMXCsvSource, ErrorMessages) {
  QMXCsvTempDir dir;
  const std::string good = dir.write("good.csv", "id,w,x,g\n1,2,3,a\n2,2,3,\"a\nb\"\n3,2,3,a\n");
  const QMXCsvMetadata meta = scanCsvMetadata(good);
  struct Case {
    std::string name;
    std::string content;
    std::string message;  // after the directory prefix
  };
  const std::vector<Case> cases = {
      {"number.csv", "id,w,x,g\n1,2,3,a\n2,2,3,\"a\nb\"\n3,2,abc,a\n",
       "number.csv:5: column 'x' (3): cannot read 'abc' as a number"},
      {"level.csv", "id,w,x,g\n1,2,3,a\n2,2,3,z\n3,2,3,a\n",
       "level.csv:3: column 'g' (4): unknown level 'z' (the file changed since it was scanned)"},
      {"ragged.csv", "id,w,x,g\n1,2,3,a\n2,2,3\n3,2,3,a\n",
       "ragged.csv:3: expected 4 fields but found 3"},
      {"short.csv", "id,w,x,g\n1,2,3,a\n2,2,3,a\n",
       "short.csv: expected 3 rows but found 2 (the file changed since it was scanned)"},
      {"long.csv", "id,w,x,g\n1,2,3,a\n2,2,3,a\n3,2,3,a\n\n4,2,3,a\n",
       "long.csv:6: more rows than the 3 found when the file was scanned (the file changed "
       "since)"},
      {"open.csv", "id,w,x,g\n1,2,3,a\n2,2,3,\"b\n3,2,3,a\n",
       "open.csv:3: quoted field not closed before the end of the file"},
  };
  for (const Case& c : cases) {
    QMXCsvSource source(dir.write(c.name, c.content), meta);
    EXPECT_EQ(readError(source), dir.path("") + c.message) << c.name;
  }
  // Failures while the source is made: a changed header, no file, a ragged row in the scan.
  const auto openError = [](const std::function<void()>& open) -> std::string {
    try {
      open();
    } catch (const QMXDataError& e) {
      return e.what();
    }
    return "(no error)";
  };
  EXPECT_EQ(openError([&] { QMXCsvSource(dir.write("header.csv", "id,w,y,g\n"), meta); }),
            dir.path("header.csv") +
                ": the header does not match the metadata (the file changed since it was "
                "scanned)");
  EXPECT_EQ(openError([&] { QMXCsvSource{dir.path("none.csv")}; }),
            "cannot open " + dir.path("none.csv") + ": No such file or directory");
  EXPECT_EQ(openError([&] { QMXCsvSource{dir.write("ragged_scan.csv", "a,b\n1,2\n\n1\n")}; }),
            dir.path("ragged_scan.csv") + ":4: expected 2 fields but found 1");
}
