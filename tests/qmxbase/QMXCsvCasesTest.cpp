// The CSV reader and writer against the case table cases/csv.txt (its header describes the
// format), and the metadata pass against summaries computed by R and by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CaseFile.h"
#include "qmxbase/QMXCsvNumber.h"
#include "qmxbase/QMXCsvRecords.h"
#include "qmxbase/QMXCsvSink.h"
#include "qmxbase/QMXCsvSource.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXMemoryStatus.h"
#include "qmxbase/QMXReadSettings.h"
#include "support/ChunkSizes.h"
#include "support/RefCompare.h"
#include "support/RefCsv.h"

namespace {

// One thread, and several on ranges of a few bytes (every record boundary and quoted line end
// falls near a range's start somewhere).
const std::vector<std::pair<unsigned, std::size_t>> kThreadsAndRanges = {
    {1, 1 << 20}, {2, 1}, {3, 5}, {8, 2}};

struct CsvCase {
  std::string name, where, input, out, error, warning;
  std::map<std::string, std::string> options;
  std::vector<std::vector<std::string>> lines;  // row / types / num / na lines, keyword first
};

// The cases of one kind from cases/csv.txt.
std::vector<CsvCase> readCases(const std::string& kind) {
  std::vector<CsvCase> cases;
  for (const CaseBlock& block : readCaseFile("csv.txt", "case")) {
    if (block.head.at(1) != kind) continue;
    CsvCase& c = cases.emplace_back();
    c.name = block.head.at(2);
    c.where = block.where;
    for (std::size_t i = 3; i < block.head.size(); ++i) {
      const std::size_t eq = block.head[i].find('=');
      c.options[block.head[i].substr(0, eq)] =
          eq == std::string::npos ? "" : block.head[i].substr(eq + 1);
    }
    for (const CaseLine& line : block.lines) {
      std::string joined;
      for (std::size_t i = 1; i < line.words.size(); ++i)
        joined += line.words[i];
      const std::string& key = line.words[0];
      if (key == "in" || key == "out" || key == "error" || key == "warning")
        (key == "in"      ? c.input
         : key == "out"   ? c.out
         : key == "error" ? c.error
                          : c.warning) += joined;
      else
        c.lines.push_back(line.words);
    }
  }
  return cases;
}

QMXCsvOptions optionsOf(const CsvCase& c) {
  QMXCsvOptions options;
  if (c.options.count("sep")) options.separator = c.options.at("sep")[0];
  if (c.options.count("quote")) options.quote = c.options.at("quote")[0];
  if (c.options.count("dec")) options.decimal = c.options.at("dec")[0];
  if (c.options.count("na")) options.naStrings = splitText(c.options.at("na"), '|');
  if (c.options.count("levels")) options.maxLevels = std::stoul(c.options.at("levels"));
  if (c.options.count("field")) options.maxFieldBytes = std::stoul(c.options.at("field"));
  if (c.options.count("record")) options.maxRecordBytes = std::stoul(c.options.at("record"));
  options.allowNoRows = c.options.count("allow_empty") > 0;
  return options;
}

// "1,5,9-12": sizes and ranges of sizes.
std::vector<std::size_t> blockSizes(const std::string& text) {
  std::vector<std::size_t> sizes;
  for (const std::string& item : splitText(text, ','))
    for (std::size_t size = std::stoul(item); size <= std::stoul(item.substr(item.find('-') + 1));
         ++size)
      sizes.push_back(size);
  return sizes;
}

std::string replaceDir(std::string text, const TempDir& dir) {
  const std::size_t at = text.find("{dir}");
  return at == std::string::npos ? text : text.replace(at, 5, dir.path(""));
}

std::string fileOf(const CsvCase& c, const TempDir& dir) {
  return c.options.count("nofile") ? dir.path(c.name + ".csv")
                                   : dir.write(c.name + ".csv", c.input);
}

// "line: [field] [field]" per record, the header as line 0; or "error: message".
std::string scanText(const std::string& path, const QMXCsvOptions& options) {
  std::string text = "0:";
  const std::string error = dataErrorOf([&] {
    QMXCsvRecords scanner(path, options);
    for (const std::string& field : scanner.header())
      text += " [" + field + "]";
    while (scanner.next()) {
      text += "\n" + std::to_string(scanner.line()) + ":";
      for (std::string_view field : scanner.fields())
        text += " [" + std::string(field) + "]";
    }
  });
  return error == "(no error)" ? text : "error: " + error;
}

// The rows of `path` read `chunk` at a time (after a partial pass and a rewind), written by
// the sink to `outPath` in two calls; the text written, or "error: message".
std::string sourceToSink(const std::string& path, const QMXCsvOptions& options,
                         const QMXCsvMetadata* meta, std::size_t chunk,
                         const std::string& outPath) {
  const std::string error = dataErrorOf([&] {
    QMXCsvSource source = meta ? QMXCsvSource(path, *meta, options) : QMXCsvSource(path, options);
    QMXRowBlock block;
    block.reset(source.schema());
    source.read(chunk, block);
    source.rewind();
    block.reset(source.schema());
    while (!source.atEnd()) {
      const std::size_t got = source.read(chunk, block);
      EXPECT_TRUE(got > 0 && got <= chunk) << got;
    }
    EXPECT_EQ(source.read(chunk, block), 0u);
    EXPECT_EQ(static_cast<std::int64_t>(block.rows), source.totalRows());
    QMXCsvSink sink(outPath);
    sink.begin(source.schema());
    sink.write(source.schema(), block, 0, block.rows / 2);
    sink.write(source.schema(), block, block.rows / 2, block.rows - block.rows / 2);
    sink.commit();
  });
  return error == "(no error)" ? readFile(outPath) : "error: " + error;
}

void checkSourceCase(const CsvCase& c, const TempDir& dir, bool spill) {
  QMXCsvOptions options = optionsOf(c);
  options.spill = spill;
  const std::string expected = c.error.empty() ? c.out : "error: " + replaceDir(c.error, dir);
  std::optional<QMXCsvMetadata> meta;
  if (c.options.count("meta")) meta = scanCsvMetadata(dir.path(c.options.at("meta") + ".csv"));
  const std::string path = fileOf(c, dir);
  if (c.options.count("numbers")) {  // that column read as numbers, strictly with strict
    std::string warning;
    const std::string error = dataErrorOf([&] {
      meta = scanCsvMetadata(path, options);
      warning = meta->readAsNumbers(std::stoul(c.options.at("numbers")), c.options.count("strict"));
    });
    EXPECT_EQ(warning, replaceDir(c.warning, dir));
    if (error != "(no error)") {
      EXPECT_EQ("error: " + error, expected);
      return;
    }
  }
  for (std::size_t block : {1, 3, 1 << 20}) {
    for (const auto& [threads, range] : kThreadsAndRanges) {
      if (threads > 1 && block == 1) continue;
      QMXCsvOptions blockOptions = options;
      blockOptions.blockBytes = block;
      blockOptions.threads = threads;
      blockOptions.rangeBytes = range;
      for (const long chunk : qmxtest::chunkSizes())
        EXPECT_EQ(
            sourceToSink(path, blockOptions, meta ? &*meta : nullptr, chunk, dir.path("out.csv")),
            expected)
            << "block " << block << " chunk " << chunk << " threads " << threads;
    }
  }
  if (!c.error.empty()) return;
  const std::vector<std::string>& types = c.lines.at(0);
  const QMXCsvSource source =
      meta ? QMXCsvSource(path, *meta, options) : QMXCsvSource(path, options);
  for (std::size_t colIdx = 0; colIdx < source.schema().size(); ++colIdx)
    EXPECT_EQ(QMXColumnTypeName(source.schema()[colIdx].type), types.at(colIdx + 1)) << colIdx;
  // The spill serves every column but a string column: the text is read once.
  if (spill && !c.options.count("meta") &&
      std::find(types.begin(), types.end(), "string") == types.end()) {
    const std::int64_t before = QMXCsvScanner::passesStarted();
    sourceToSink(path, options, meta ? &*meta : nullptr, 7, dir.path("out.csv"));
    EXPECT_EQ(QMXCsvScanner::passesStarted() - before, meta ? 0 : 1);
  }
  // Read back, the written text is written again unchanged.
  const std::string again = dir.write("again.csv", c.out);
  EXPECT_EQ(sourceToSink(again, options, nullptr, 1000, dir.path("again_out.csv")), c.out);
}

}  // namespace

TEST(QMXCsvCases, Scanner) {
  TempDir dir;
  for (const CsvCase& c : readCases("scan")) {
    std::string expected = c.error.empty() ? "" : "error: " + replaceDir(c.error, dir);
    for (const std::vector<std::string>& row : c.lines) {
      expected += (row[1] == "0" ? "" : "\n") + row[1] + ":";
      for (std::size_t i = 2; i < row.size(); ++i)
        expected += " [" + row[i] + "]";
    }
    const std::string path = fileOf(c, dir);
    const std::string blocks =
        c.options.count("blocks") ? c.options.at("blocks") : "1,2,3,5,7,11,16,31,64,1048576";
    QMXSetMemoryBudget(c.options.count("budget") ? std::stoull(c.options.at("budget")) : 0);
    for (const std::size_t block : blockSizes(blocks)) {
      for (const auto& [threads, range] : kThreadsAndRanges) {
        QMXCsvOptions options = optionsOf(c);
        options.blockBytes = block;
        options.threads = threads;
        options.rangeBytes = range;
        if (threads > 1 && (c.input.size() > 100000 || (block != 3 && block != (1 << 20))))
          continue;
        const std::string got = scanText(path, options);
        // EXPECT_TRUE: a failure must not print megabytes.
        EXPECT_TRUE(got == expected) << c.where << " " << c.name << " block " << block
                                     << " threads " << threads << " range " << range << ":\n"
                                     << got.substr(0, 500) << "\nexpected:\n"
                                     << expected.substr(0, 500);
      }
    }
  }
  QMXSetMemoryBudget(0);
}

// Each case read from the text and from the parsed cells the metadata pass kept (the
// spill): the same text written, and the text read once when the spill serves the rows.
TEST(QMXCsvCases, SourceAndSink) {
  TempDir dir;
  for (const bool spill : {false, true}) {
    QMXSetSpillEnabled(spill);
    for (const CsvCase& c : readCases("source")) {
      SCOPED_TRACE(c.where + " " + c.name + (spill ? " spill" : ""));
      checkSourceCase(c, dir, spill);
    }
  }
  QMXSetSpillEnabled(true);
}

TEST(QMXCsvCases, NumbersAndMissingMarkers) {
  for (const CsvCase& c : readCases("number")) {
    for (const std::vector<std::string>& check : c.lines) {
      double value = -1;
      const bool ok = QMXCsvParseNumber(check[1], value);
      EXPECT_EQ(ok, check[2] != "no") << c.where << " '" << check[1] << "'";
      if (!ok) continue;
      const bool same =
          check[2] == "nan" ? std::isnan(value) : value == std::strtod(check[2].c_str(), nullptr);
      EXPECT_TRUE(same) << check[1] << " read as " << value;
    }
  }
  TempDir dir;
  for (const CsvCase& c : readCases("marker")) {
    QMXCsvScanner scanner(dir.write("m.csv", "x\n1\n"), optionsOf(c));
    for (const std::vector<std::string>& check : c.lines)
      EXPECT_EQ(scanner.isMissing(check[1]), check[2] == "yes")
          << c.name << " '" << check[1] << "'";
  }
}

// Column types, counts, levels in byte order and min/max/mean/sd against R's read.csv, min,
// max, mean and sd (tests/ref/qmxbase/csv_metadata.R) and against hand-computed summaries.
// Tolerance: 1e-13 relative (Welford's running mean and R's two-pass mean differ in the last
// bits).
TEST(QMXCsvMetadata, MatchesSummaries) {
  for (const char* table : {"csv_metadata_summary.csv", "csv_metadata_hand_summary.csv"}) {
    std::string currentFile;
    QMXCsvMetadata meta;
    std::size_t colIdx = 0;
    for (const RefRow& row : readRefCsv("qmxbase", table)) {
      if (row.text("file") != currentFile) {
        EXPECT_EQ(colIdx, meta.columns.size()) << currentFile;
        currentFile = row.text("file");
        QMXCsvOptions options;
        options.allowNoRows = true;  // csv_metadata_header_only.csv: columns without rows
        if (row.fields.count("na") && !row.text("na").empty())
          options.naStrings = splitText(row.text("na"), '|');
        if (row.fields.count("max_levels") && !row.text("max_levels").empty())
          options.maxLevels = std::stoul(row.text("max_levels"));
        const bool inRef = currentFile.rfind("csv_metadata", 0) == 0;
        meta = scanCsvMetadata(inRef ? refPath("qmxbase", currentFile)
                                     : QMX_TEST_REF_DIR "/../../examples/" + currentFile,
                               options);
        colIdx = 0;
        EXPECT_EQ(meta.rows, row.num("rows")) << currentFile;
      }
      ASSERT_LT(colIdx, meta.columns.size()) << currentFile;
      const QMXCsvColumnSummary& column = meta.columns[colIdx++];
      SCOPED_TRACE(currentFile + " " + row.text("column"));
      EXPECT_EQ(column.info.name, row.text("column"));
      EXPECT_EQ(QMXColumnTypeName(column.info.type), row.text("type"));
      EXPECT_EQ(column.count, row.num("n"));
      EXPECT_EQ(column.missing, row.num("missing"));
      std::string levels;
      for (std::size_t levelIdx = 0; levelIdx < column.info.levels.size(); ++levelIdx)
        levels += (levelIdx > 0 ? ";" : "") + column.info.levels[levelIdx] + ":" +
                  std::to_string(column.levelCounts[levelIdx]);
      EXPECT_EQ(levels, row.text("levels"));
      if (row.text("type") != "double") continue;
      const qmxtest::NamedValues got = {
          {"min", column.min}, {"max", column.max}, {"mean", column.mean}, {"sd", column.sd}};
      qmxtest::NamedValues want;
      for (const auto& [name, value] : got)
        want[name] = row.num(name);
      EXPECT_TRUE(qmxtest::matchesRef(got, want, 1e-13));
    }
  }
}
