// Parsing on several threads against one, on files made from the rows of
// cases/parallel.txt (its header describes them): the metadata and every row read at
// chunk sizes 1, 7 and the default, or the first error, the same text for 2, 3 and 8
// threads on ranges small enough that record ends, quoted line ends and CRLFs fall on their
// boundaries.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "CaseFile.h"
#include "qmxbase/QMXCsvRecords.h"
#include "qmxbase/QMXCsvSource.h"
#include "support/ChunkSizes.h"

namespace {

struct FileCase {
  std::string where, name;
  std::map<std::string, std::string> options;
  std::string error;  // the first error's message; empty when there is none

  int num(const std::string& key) const {
    return options.count(key) ? std::stoi(options.at(key)) : 0;
  }
};

std::vector<FileCase> readFileCases() {
  std::vector<FileCase> cases;
  for (const CaseBlock& block : readCaseFile("parallel.txt", "file")) {
    FileCase& c = cases.emplace_back();
    c.where = block.where;
    c.name = block.head.at(1);
    for (std::size_t i = 2; i < block.head.size(); ++i) {
      const std::size_t eq = block.head[i].find('=');
      c.options[block.head[i].substr(0, eq)] =
          eq == std::string::npos ? "" : block.head[i].substr(eq + 1);
    }
    for (const CaseLine& line : block.lines)
      if (line.words.at(0) == "error") c.error = line.words.at(1);
  }
  return cases;
}

// The file of a case: id, x (numbers), g (3 levels), t (words, or quoted texts holding a
// line end and doubled quotes); with `faulty` its fault on row `at`.
std::string makeText(const FileCase& c, bool faulty) {
  const std::string eol = c.options.at("eol");
  const std::vector<std::string> ends = eol == "lf"     ? std::vector<std::string>{"\n"}
                                        : eol == "crlf" ? std::vector<std::string>{"\r\n"}
                                        : eol == "cr"
                                            ? std::vector<std::string>{"\r"}
                                            : std::vector<std::string>{"\n", "\r\n", "\r"};
  const auto end = [&](int row) { return ends[static_cast<std::size_t>(row) % ends.size()]; };
  std::string text = c.options.count("bom") ? "\xEF\xBB\xBF" : "";
  text += "id,x,g,t" + end(0);
  const int rows = c.num("rows"), quoted = c.num("quoted"), blank = c.num("blank");
  for (int row = 1; row <= rows; ++row) {
    const std::string id = std::to_string(row);
    std::string x = std::to_string(row * 37 % 1000) + "." + std::to_string(row % 10);
    std::string t = quoted > 0 && row % quoted == 0 ? "\"a" + end(row + 1) + "\"\"b\"\"\""
                                                    : "w" + std::to_string(row % 4);
    std::string line = id + "," + x + ",g" + std::to_string(row % 3) + "," + t;
    if (faulty && row == c.num("at")) {
      const std::string& fault = c.options.at("fault");
      line = fault == "ragged"   ? id + "," + x
             : fault == "number" ? id + ",1x,g0,w0"
                                 : id + "," + x + ",g0,\"open";
    }
    text += line;
    if (blank > 0 && row % blank == 0) text += end(row);
    if (row < rows || !c.options.count("nofinal")) text += end(row);
  }
  return text;
}

std::string hex(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "%a", x);
  return text;
}

// The metadata pass as text, or its error.
std::string metadataText(const std::string& path, const QMXCsvOptions& options) {
  std::string text;
  const std::string error = dataErrorOf([&] {
    const QMXCsvMetadata meta = scanCsvMetadata(path, options);
    text = std::to_string(meta.rows);
    for (const QMXCsvColumnSummary& col : meta.columns) {
      text += "\n" + col.info.name + " " + QMXColumnTypeName(col.info.type) + " " +
              std::to_string(col.count) + " " + std::to_string(col.missing) + " " + hex(col.min) +
              " " + hex(col.max) + " " + hex(col.mean) + " " + hex(col.sd) + " " +
              std::to_string(col.notNumbers) + " " + std::to_string(col.firstNotNumberRow) + " " +
              std::to_string(col.firstNotNumberLine) + " " + col.firstNotNumber;
      for (std::size_t levelIdx = 0; levelIdx < col.info.levels.size(); ++levelIdx)
        text += " " + col.info.levels[levelIdx] + ":" + std::to_string(col.levelCounts[levelIdx]);
    }
  });
  return error == "(no error)" ? text : "error: " + error;
}

// The rows of `path` read `chunk` at a time with metadata `meta`, as text, or the error.
std::string rowsText(const std::string& path, const QMXCsvMetadata& meta,
                     const QMXCsvOptions& options, long chunk) {
  std::string text;
  const std::string error = dataErrorOf([&] {
    QMXCsvSource source(path, meta, options);
    QMXRowBlock block;
    while (!source.atEnd()) {
      block.reset(source.schema());
      const std::size_t got = source.read(static_cast<std::size_t>(chunk), block);
      text += "|" + std::to_string(got);
      for (std::size_t colIdx = 0; colIdx < block.numbers.size(); ++colIdx)
        for (std::size_t row = 0; row < got; ++row)
          text += " " + (block.texts[colIdx].empty() ? hex(block.numbers[colIdx][row])
                                                     : block.texts[colIdx][row]);
    }
  });
  return error == "(no error)" ? text : "error: " + error;
}

}  // namespace

TEST(QMXCsvParallel, SameAsOneThread) {
  TempDir dir;
  for (const FileCase& c : readFileCases()) {
    SCOPED_TRACE(c.where + " " + c.name);
    const std::string clean = dir.write(c.name + "_clean.csv", makeText(c, false));
    const std::string path = dir.write(c.name + ".csv", makeText(c, true));
    QMXCsvOptions one;
    one.threads = 1;
    const std::string metaText = metadataText(path, one);
    const QMXCsvMetadata cleanMeta = scanCsvMetadata(clean, one);
    std::map<long, std::string> rows;
    for (const long chunk : qmxtest::chunkSizes())
      rows[chunk] = rowsText(path, cleanMeta, one, chunk);
    const std::string& error = metaText.rfind("error: ", 0) == 0 ? metaText : rows[1];
    std::string want = c.error;
    if (const std::size_t at = want.find("{file}"); at != std::string::npos)
      want.replace(at, 6, path);
    EXPECT_EQ(error.rfind("error: ", 0) == 0 ? error.substr(7) : "", want);
    for (const unsigned threads : {2u, 3u, 8u}) {
      for (const std::size_t range : {7u, 61u, 997u}) {
        QMXCsvOptions options;
        options.threads = threads;
        options.rangeBytes = range;
        EXPECT_TRUE(QMXCsvRecords(path, options).parallel());
        EXPECT_EQ(metadataText(path, options), metaText) << threads << " threads, range " << range;
        for (const long chunk : qmxtest::chunkSizes())
          EXPECT_EQ(rowsText(path, cleanMeta, options, chunk), rows[chunk])
              << threads << " threads, range " << range << ", chunk " << chunk;
      }
    }
  }
}
