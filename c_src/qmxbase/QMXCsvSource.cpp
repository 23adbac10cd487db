#include "qmxbase/QMXCsvSource.h"

#include <limits>
#include <utility>

#include "qmxbase/QMXCsvSpill.h"
#include "qmxbase/QMXDataError.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string columnLabel(const QMXColumnInfo& info, std::size_t colIdx) {
  return "column '" + info.name + "' (" + std::to_string(colIdx + 1) + ")";
}

}  // namespace

namespace {

QMXCsvOptions withSpill(QMXCsvOptions options) {
  options.spill = true;
  return options;
}

}  // namespace

QMXCsvSource::QMXCsvSource(const std::string& path, const QMXCsvOptions& options)
    : QMXCsvSource(path, scanCsvMetadata(path, withSpill(options)), options) {}

QMXCsvSource::QMXCsvSource(const std::string& path, QMXCsvMetadata metadata,
                           const QMXCsvOptions& options)
    : metadata_(std::move(metadata)), schema_(metadata_.schema()) {
  if (metadata_.spill && metadata_.spill->matches(path, options))
    spillReader_ = QMXCsvSpillReader::create(metadata_.spill, schema_, metadata_.rows);
  metadata_.path = path;
  if (spillReader_) return;
  records_ = std::make_unique<QMXCsvRecords>(path, options);
  checkHeader();
  levelCodes_.resize(schema_.size());
  notNumbersMissing_.resize(schema_.size());
  for (std::size_t colIdx = 0; colIdx < schema_.size(); ++colIdx)
    notNumbersMissing_[colIdx] = metadata_.columns[colIdx].notNumbers > 0;
  for (std::size_t colIdx = 0; colIdx < schema_.size(); ++colIdx) {
    const auto& levels = schema_[colIdx].levels;
    for (std::size_t levelIdx = 0; levelIdx < levels.size(); ++levelIdx)
      levelCodes_[colIdx].emplace(levels[levelIdx], static_cast<double>(levelIdx));
  }
}

void QMXCsvSource::checkHeader() const {
  const auto& header = records_->header();
  bool same = header.size() == schema_.size();
  for (std::size_t colIdx = 0; same && colIdx < header.size(); ++colIdx)
    same = header[colIdx] == schema_[colIdx].name;
  if (!same)
    throw QMXDataError(metadata_.path +
                       ": the header does not match the metadata (the file changed since it "
                       "was scanned)");
}

std::size_t QMXCsvSource::read(std::size_t maxRows, QMXRowBlock& block) {
  return qmxNoMemoryAsError(
      [&] {
        return (records_ ? records_->where() : metadata_.path + ": ") + "reading " +
               std::to_string(maxRows) + " rows";
      },
      [&] {
        if (!spillReader_) return readRows(maxRows, block);
        const std::size_t got = spillReader_->read(maxRows, block);
        rowsRead_ += static_cast<std::int64_t>(got);
        return got;
      });
}

std::size_t QMXCsvSource::readRows(std::size_t maxRows, QMXRowBlock& block) {
  std::size_t appended = 0;
  while (appended < maxRows && rowsRead_ < metadata_.rows) {
    if (!records_->next())
      throw QMXDataError(metadata_.path + ": expected " + std::to_string(metadata_.rows) +
                         " rows but found " + std::to_string(rowsRead_) +
                         " (the file changed since it was scanned)");
    appendRecord(block);
    ++rowsRead_;
    ++appended;
  }
  if (appended > 0 && rowsRead_ == metadata_.rows) checkNoMoreRows();
  return appended;
}

void QMXCsvSource::checkNoMoreRows() {
  if (records_->next())
    throw QMXDataError(records_->where() + "more rows than the " + std::to_string(metadata_.rows) +
                       " found when the file was scanned (the file changed since)");
}

void QMXCsvSource::appendRecord(QMXRowBlock& block) {
  const auto& fields = records_->fields();
  for (std::size_t colIdx = 0; colIdx < schema_.size(); ++colIdx) {
    const std::string_view field = fields[colIdx];
    const bool missing = records_->missing(colIdx);
    switch (schema_[colIdx].type) {
      case QMXColumnType::Double: {
        double x = kNaN;
        if (!missing && !records_->number(colIdx, x)) {
          if (!notNumbersMissing_[colIdx])
            throw QMXDataError(records_->where() + columnLabel(schema_[colIdx], colIdx) +
                               ": cannot read '" + std::string(field) + "' as a number");
          x = kNaN;  // a text that starts like a number ("1x") leaves a value behind
        }
        block.numbers[colIdx].push_back(x);
        break;
      }
      case QMXColumnType::Factor: {
        double code = kNaN;
        if (!missing) {
          auto it = levelCodes_[colIdx].find(field);
          if (it == levelCodes_[colIdx].end())
            throw QMXDataError(records_->where() + columnLabel(schema_[colIdx], colIdx) +
                               ": unknown level '" + std::string(field) +
                               "' (the file changed since it was scanned)");
          code = it->second;
        }
        block.numbers[colIdx].push_back(code);
        break;
      }
      case QMXColumnType::String:
        block.texts[colIdx].emplace_back(missing ? std::string_view{} : field);
        block.missingText[colIdx].push_back(missing);
        break;
    }
  }
  ++block.rows;
}

void QMXCsvSource::rewind() {
  if (spillReader_)
    spillReader_->rewind();
  else
    records_->rewind();
  rowsRead_ = 0;
}
