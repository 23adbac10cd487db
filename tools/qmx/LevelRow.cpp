#include "LevelRow.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>

#include "qmxbase/QMXRowBlock.h"
#include "qmxmisc/base/DisplayWidth.h"

namespace {

constexpr const char* kLevelMark = ": the level \"";
constexpr const char* kLevelEnd = "\" cannot be written";

// A text as the document writer's messages show it: control characters and bytes that are
// not UTF-8 as \xNN.
std::string shown(const std::string& text) {
  std::string out;
  char escape[8];
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = byte < 0x20 ? 0 : byte < 0x80 ? 1 : utf8SequenceLength(text, at);
    if (length == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      out += escape;
      ++at;
      continue;
    }
    out.append(text, at, length);
    at += length;
  }
  return out;
}

// The 1-based data row of the first cell of `column` holding level `level`.
std::optional<std::int64_t> firstRow(const QMXCsvMetadata& meta, const QMXCsvOptions& csv,
                                     std::size_t column, std::size_t level) {
  QMXCsvSource source(meta.path, meta, csv);
  QMXRowBlock block;
  std::int64_t before = 0;
  for (;;) {
    block.reset(source.schema());
    const std::size_t rows = source.read(1024, block);
    if (rows == 0) return std::nullopt;
    for (std::size_t rowIdx = 0; rowIdx < rows; ++rowIdx)
      if (block.numbers[column][rowIdx] == static_cast<double>(level))
        return before + static_cast<std::int64_t>(rowIdx) + 1;
    before += static_cast<std::int64_t>(rows);
  }
}

}  // namespace

std::string withLevelRow(const std::string& message, const QMXCsvMetadata& meta,
                         const QMXCsvOptions& csv) {
  const std::size_t mark = message.find(kLevelMark);
  const std::size_t end = message.find(kLevelEnd);
  if (message.rfind("column ", 0) != 0 || mark == std::string::npos || end == std::string::npos)
    return message;
  const std::string column = message.substr(7, mark - 7);
  const std::size_t levelAt = mark + std::strlen(kLevelMark);
  const std::string level = message.substr(levelAt, end - levelAt);
  for (std::size_t colIdx = 0; colIdx < meta.columns.size(); ++colIdx) {
    const QMXColumnInfo& info = meta.columns[colIdx].info;
    if (info.type != QMXColumnType::Factor || shown(info.name) != column) continue;
    for (std::size_t levelIdx = 0; levelIdx < info.levels.size(); ++levelIdx) {
      if (shown(info.levels[levelIdx]) != level) continue;
      try {
        const std::optional<std::int64_t> row = firstRow(meta, csv, colIdx, levelIdx);
        if (!row) return message;
        std::string out = message;
        return out.insert(end + 1, " (first in row " + std::to_string(*row) + ")");
      } catch (const std::exception&) {
        return message;  // the data cannot be read twice
      }
    }
  }
  return message;
}
