#include "qmxbase/QMXCsvSpillReader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "qmxbase/QMXCsvNumber.h"
#include "qmxbase/QMXCsvTextMap.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

std::unique_ptr<QMXCsvSpillReader> QMXCsvSpillReader::create(
    std::shared_ptr<const QMXCsvSpill> spill, const QMXSchema& schema, std::int64_t rows) {
  if (!spill || spill->rows() != rows || spill->columns() != schema.size()) return nullptr;
  std::vector<std::vector<double>> textValues(schema.size());
  for (std::size_t colIdx = 0; colIdx < schema.size(); ++colIdx) {
    const std::vector<std::string>& texts = spill->texts(colIdx);
    std::vector<double>& values = textValues[colIdx];
    values.resize(texts.size(), kNaN);
    switch (schema[colIdx].type) {
      case QMXColumnType::Double:
        for (std::size_t textIdx = 0; textIdx < texts.size(); ++textIdx)
          if (!QMXCsvParseNumber(texts[textIdx], values[textIdx])) values[textIdx] = kNaN;
        break;
      case QMXColumnType::Factor: {
        if (spill->textsDropped(colIdx)) return nullptr;
        QMXCsvTextMap<double> codes;
        const auto& levels = schema[colIdx].levels;
        for (std::size_t levelIdx = 0; levelIdx < levels.size(); ++levelIdx)
          codes.emplace(levels[levelIdx], static_cast<double>(levelIdx));
        for (std::size_t textIdx = 0; textIdx < texts.size(); ++textIdx) {
          const auto it = codes.find(texts[textIdx]);
          if (it == codes.end()) return nullptr;
          values[textIdx] = it->second;
        }
        break;
      }
      case QMXColumnType::String:
        return nullptr;
    }
  }
  return std::unique_ptr<QMXCsvSpillReader>(
      new QMXCsvSpillReader(std::move(spill), std::move(textValues)));
}

QMXCsvSpillReader::QMXCsvSpillReader(std::shared_ptr<const QMXCsvSpill> spill,
                                     std::vector<std::vector<double>> textValues)
    : spill_(std::move(spill)), textValues_(std::move(textValues)) {}

std::size_t QMXCsvSpillReader::read(std::size_t maxRows, QMXRowBlock& block) {
  const std::size_t perBlock = spill_->rowsPerBlock();
  const auto perBlockRows = static_cast<std::int64_t>(perBlock);
  std::size_t appended = 0;
  while (appended < maxRows && row_ < spill_->rows()) {
    const std::int64_t blockIdx = row_ / perBlockRows;
    if (blockIdx != loaded_) {
      spill_->readBlock(blockIdx, cells_);
      loaded_ = blockIdx;
    }
    const auto first = static_cast<std::size_t>(row_ % perBlockRows);
    const std::size_t n = std::min(
        {perBlock - first, maxRows - appended, static_cast<std::size_t>(spill_->rows() - row_)});
    for (std::size_t colIdx = 0; colIdx < textValues_.size(); ++colIdx) {
      const std::uint64_t* in = cells_.data() + colIdx * perBlock + first;
      const std::vector<double>& values = textValues_[colIdx];
      std::vector<double>& out = block.numbers[colIdx];
      for (std::size_t rowIdx = 0; rowIdx < n; ++rowIdx) {
        const std::uint64_t cell = in[rowIdx];
        double x;
        if (!qmxspill::isTag(cell)) {
          std::memcpy(&x, &cell, sizeof x);
        } else {
          const auto textIdx = static_cast<std::uint32_t>(cell);
          x = textIdx < values.size() ? values[textIdx] : kNaN;
        }
        out.push_back(x);
      }
    }
    block.rows += n;
    row_ += static_cast<std::int64_t>(n);
    appended += n;
  }
  return appended;
}
