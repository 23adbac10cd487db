#include "qmxbase/QMXCsvScanner.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "qmxbase/QMXCsvTestFiles.h"
#include "qmxbase/QMXDataError.h"

namespace {

struct Record {
  std::int64_t line;
  std::vector<std::string> fields;
  bool operator==(const Record&) const = default;
};

[[maybe_unused]] void PrintTo(const Record& record, std::ostream* out) {
  *out << "line " << record.line << ":";
  for (const std::string& field : record.fields)
    *out << " [" << (field.size() > 40 ? field.substr(0, 40) + "..." : field) << "]";
}

std::vector<Record> scanAll(const std::string& path, QMXCsvOptions options = {}) {
  QMXCsvScanner scanner(path, options);
  std::vector<Record> out;
  out.push_back({0, scanner.header()});
  while (scanner.next())
    out.push_back({scanner.line(), {scanner.fields().begin(), scanner.fields().end()}});
  return out;
}

std::string errorOf(const std::string& path, QMXCsvOptions options = {}) {
  try {
    scanAll(path, options);
  } catch (const QMXDataError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace

// Quoted fields with separators, doubled quotes and line ends; line numbers of later
// records count the line ends inside quotes. Every block size from 1 byte up gives the
// same records, so fields and quote pairs that straddle a block boundary are handled.
TEST(QMXCsvScanner, QuotingAndLineNumbersAtEveryBlockSize) {
  QMXCsvTempDir dir;
  const std::string path = dir.write("q.csv",
                                     "a,\"b \"\"B\"\"\",c\n"
                                     "1,\"x,y\",\"two\nlines\"\n"
                                     "\"\",\"\"\"\",\"three\r\nline\r\nfield\"\r\n"
                                     "plain,in\"side,\"end\"\n");
  const std::vector<Record> expected = {
      {0, {"a", "b \"B\"", "c"}},
      {2, {"1", "x,y", "two\nlines"}},
      {4, {"", "\"", "three\r\nline\r\nfield"}},
      {7, {"plain", "in\"side", "end"}},
  };
  for (std::size_t block : {1, 2, 3, 5, 7, 11, 16, 31, 64, 1 << 20}) {
    QMXCsvOptions options;
    options.blockBytes = block;
    EXPECT_EQ(scanAll(path, options), expected) << "block " << block;
  }
}

// CRLF line ends, a byte order mark, empty lines (skipped like R's read.csv), a final line
// without a line end, and a blank final line.
TEST(QMXCsvScanner, LineEndsBomAndBlankLines) {
  QMXCsvTempDir dir;
  struct Case {
    std::string content;
    std::vector<Record> expected;
  };
  const std::vector<Case> cases = {
      {"x,y\r\n1,2\r\n3,4\r\n", {{0, {"x", "y"}}, {2, {"1", "2"}}, {3, {"3", "4"}}}},
      {"\xEF\xBB\xBFx,y\n1,2\n", {{0, {"x", "y"}}, {2, {"1", "2"}}}},
      {"x,y\n1,2", {{0, {"x", "y"}}, {2, {"1", "2"}}}},
      {"x,y\r\n1,2\r", {{0, {"x", "y"}}, {2, {"1", "2"}}}},
      {"x,y\n1,2\n\n", {{0, {"x", "y"}}, {2, {"1", "2"}}}},
      {"x,y\n\n1,2\r\n\r\n\n3,\n", {{0, {"x", "y"}}, {3, {"1", "2"}}, {6, {"3", ""}}}},
      {"\n\nx,y\n,\n", {{0, {"x", "y"}}, {4, {"", ""}}}},
      {"x,y\n1,\"2\"", {{0, {"x", "y"}}, {2, {"1", "2"}}}},
      {"x\n1\n\n2\n", {{0, {"x"}}, {2, {"1"}}, {4, {"2"}}}},
  };
  for (std::size_t caseIdx = 0; caseIdx < cases.size(); ++caseIdx) {
    for (std::size_t block : {1, 3, 1 << 20}) {
      QMXCsvOptions options;
      options.blockBytes = block;
      const std::string path =
          dir.write("c" + std::to_string(caseIdx) + ".csv", cases[caseIdx].content);
      EXPECT_EQ(scanAll(path, options), cases[caseIdx].expected)
          << "case " << caseIdx << " block " << block;
    }
  }
}

TEST(QMXCsvScanner, SeparatorAndQuoteAreConfigurable) {
  QMXCsvTempDir dir;
  const std::string path = dir.write("semi.csv", "a;b\n'x;1';'it''s'\n");
  QMXCsvOptions options;
  options.separator = ';';
  options.quote = '\'';
  const std::vector<Record> expected = {{0, {"a", "b"}}, {2, {"x;1", "it's"}}};
  EXPECT_EQ(scanAll(path, options), expected);
}

// Fields of several MB, quoted (with doubled quotes and line ends) and unquoted, across
// many 1 MiB blocks.
TEST(QMXCsvScanner, VeryLongFields) {
  QMXCsvTempDir dir;
  std::string quoted;
  for (int i = 0; i < 300000; ++i)
    quoted += "ab\"\"c\nd,e\"\"";
  std::string unquoted(5 << 20, 'z');
  const std::string path =
      dir.write("long.csv", "u,q,n\n" + unquoted + ",\"" + quoted + "\",1\nshort,\"s\",2\n");
  std::string quotedText;
  for (int i = 0; i < 300000; ++i)
    quotedText += "ab\"c\nd,e\"";
  const std::vector<Record> records = scanAll(path);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].fields[0].size(), unquoted.size());
  EXPECT_EQ(records[1].fields[0], unquoted);
  EXPECT_EQ(records[1].fields[1], quotedText);
  EXPECT_EQ(records[1].fields[2], "1");
  EXPECT_EQ(records[2], (Record{3 + 300000, {"short", "s", "2"}}));
}

TEST(QMXCsvScanner, ErrorMessages) {
  QMXCsvTempDir dir;
  struct Case {
    std::string name;
    std::string content;
    std::string message;  // after the directory prefix
  };
  const std::vector<Case> cases = {
      {"ragged.csv", "a,b,c,d,e\n1,2,3,4,5\n\"x\ny\",2,3,4\n",
       "ragged.csv:3: expected 5 fields but found 4"},
      {"long_row.csv", "a,b\n1,2\n3,4,5\n", "long_row.csv:3: expected 2 fields but found 3"},
      {"open.csv", "a,b\n1,2\n3,\"four\n\nfive\n",
       "open.csv:3: quoted field not closed before the end of the file"},
      {"after.csv", "a,b\n1,\"2\"x\n",
       "after.csv:2: column 2: unexpected text after the closing quote"},
      {"empty.csv", "", "empty.csv: file is empty"},
      {"bom_only.csv", "\xEF\xBB\xBF", "bom_only.csv: file is empty"},
      {"blank.csv", "\n\r\n\n", "blank.csv: file is empty"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.write(c.name, c.content);
    EXPECT_EQ(errorOf(path), dir.path("") + c.message) << c.name;
  }
  const std::string missing = dir.path("nonexistent.csv");
  EXPECT_EQ(errorOf(missing), "cannot open " + missing + ": No such file or directory");
}

TEST(QMXCsvScanner, HeaderOnly) {
  QMXCsvTempDir dir;
  for (const std::string content : {"x,y", "x,y\n", "x,y\r\n\n"}) {
    const std::vector<Record> records = scanAll(dir.write("h.csv", content));
    EXPECT_EQ(records, (std::vector<Record>{{0, {"x", "y"}}})) << content;
  }
}

TEST(QMXCsvScanner, RewindStartsAtTheFirstDataRecord) {
  QMXCsvTempDir dir;
  const std::string path = dir.write("r.csv", "\xEF\xBB\xBFx\n\"a\nb\"\n2\n3\n");
  QMXCsvOptions options;
  options.blockBytes = 2;
  QMXCsvScanner scanner(path, options);
  for (int pass = 0; pass < 3; ++pass) {
    std::vector<Record> seen;
    while (scanner.next())
      seen.push_back({scanner.line(), {scanner.fields().begin(), scanner.fields().end()}});
    EXPECT_EQ(seen, (std::vector<Record>{{2, {"a\nb"}}, {4, {"2"}}, {5, {"3"}}})) << pass;
    scanner.rewind();
    if (pass == 1) {
      ASSERT_TRUE(scanner.next());  // a partial pass, then rewind again
      scanner.rewind();
    }
  }
}

TEST(QMXCsvScanner, MissingMarkers) {
  QMXCsvTempDir dir;
  const std::string path = dir.write("m.csv", "x\n1\n");
  QMXCsvScanner defaults(path, QMXCsvOptions{});
  for (const char* text : {"", "NA", " ", " \t "})
    EXPECT_TRUE(defaults.isMissing(text)) << "'" << text << "'";
  for (const char* text : {"na", "N/A", "NaN", ".", " NA", "x"})
    EXPECT_FALSE(defaults.isMissing(text)) << "'" << text << "'";
  QMXCsvOptions custom;
  custom.naStrings = {".", "-999"};
  QMXCsvScanner scanner(path, custom);
  for (const char* text : {".", "-999"})
    EXPECT_TRUE(scanner.isMissing(text)) << text;
  for (const char* text : {"", " ", "NA", "-999.0"})
    EXPECT_FALSE(scanner.isMissing(text)) << "'" << text << "'";
}
