#include "qmxbase/QMXCsvMetadata.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

#include "qmxbase/QMXCsvDistinctTexts.h"
#include "qmxbase/QMXCsvNumber.h"
#include "qmxbase/QMXCsvRecords.h"
#include "qmxbase/QMXCsvSpill.h"
#include "qmxbase/QMXDataError.h"
#include "qmxbase/QMXMemoryStatus.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// What one pass learns about one column. The distinct texts are kept only up to
// maxLevels + 1; beyond that the column can only be Double or String, and the texts are
// dropped.
class ColumnScan {
 public:
  // At most `maxLevels` distinct texts of at most `maxBytes` bytes in all are kept.
  // Without `summaries` the numbers are only counted.
  ColumnScan(std::size_t maxLevels, std::size_t maxBytes, bool summaries)
      : maxLevels_(maxLevels), maxBytes_(maxBytes), summaries_(summaries) {}

  // A field that reads as a number: the number, for addNumber.
  struct Number {
    double x = 0;
    bool is = false;
  };

  // Returns the field's cell for the spill (QMXCsvSpill) and sets `number`.
  std::uint64_t add(const QMXCsvRecords& records, std::size_t colIdx, std::int64_t row,
                    Number& number) {
    const std::string_view field = records.fields()[colIdx];
    number.is = false;
    if (records.missing(colIdx)) {
      ++missing_;
      return qmxspill::tagCell(qmxspill::kMissing);
    }
    ++count_;
    std::uint32_t textIdx = qmxspill::kTextNotKept;
    if (!overflow_) {
      textIdx = distinct_.count(field);
      if (textIdx != QMXCsvDistinctTexts::kNone) {
        // seen before
      } else if (distinct_.size() < maxLevels_ && distinct_.size() < qmxspill::kMostTexts &&
                 distinctBytes_ + field.size() <= maxBytes_) {
        textIdx = distinct_.add(field);
        distinctBytes_ += field.size();
      } else {
        textIdx = qmxspill::kTextNotKept;
        overflow_ = true;  // the texts kept so far stay, for the spill's cells
      }
    }
    double& x = number.x;
    if (records.number(colIdx, x)) {
      number.is = true;
      return textIdx == qmxspill::kTextNotKept ? qmxspill::numberCell(x)
                                               : qmxspill::tagCell(textIdx);
    }
    if (notNumbers_++ == 0) {
      firstRow_ = row;
      firstLine_ = records.line();
      firstText_ = field.substr(0, 64);
    }
    return qmxspill::tagCell(textIdx);
  }

  // The texts kept, by index, and whether some were not kept.
  std::vector<std::string> texts() const { return distinct_.texts(); }
  bool overflowed() const { return overflow_; }

  QMXCsvColumnSummary finish(std::string name) {
    QMXCsvColumnSummary out;
    out.info.name = std::move(name);
    out.count = count_;
    out.missing = missing_;
    out.notNumbers = notNumbers_;
    out.firstNotNumberRow = firstRow_;
    out.firstNotNumberLine = firstLine_;
    out.firstNotNumber = firstText_;
    fillNumbers(out.asNumbers);
    if (notNumbers_ == 0) {
      out.info.type = QMXColumnType::Double;
      out.count -= nan_;
      out.missing += nan_;
      out.min = out.asNumbers.min;
      out.max = out.asNumbers.max;
      out.mean = out.asNumbers.mean;
      out.sd = out.asNumbers.sd;
    } else if (!overflow_) {
      out.info.type = QMXColumnType::Factor;
      std::vector<std::pair<std::string, std::int64_t>> levels;
      levels.reserve(distinct_.size());
      for (std::size_t textIdx = 0; textIdx < distinct_.size(); ++textIdx)
        levels.emplace_back(distinct_.texts()[textIdx], distinct_.counts()[textIdx]);
      std::sort(levels.begin(), levels.end());  // std::string compares bytes as unsigned
      for (auto& [text, n] : levels) {
        out.info.levels.push_back(std::move(text));
        out.levelCounts.push_back(n);
      }
      out.min = out.max = out.mean = out.sd = kNaN;
    } else {
      out.info.type = QMXColumnType::String;
      out.min = out.max = out.mean = out.sd = kNaN;
    }
    return out;
  }

  // Welford's running mean and sum of squared deviations, and the exact sum for the mean,
  // over the finite values; the infinite ones are counted so that mean and sd come out as
  // in R (mean Inf, -Inf or NaN, sd NaN).
  void addNumber(double x) {
    if (std::isnan(x)) {
      ++nan_;
      return;
    }
    if (!summaries_) {
      ++(std::isinf(x) ? (x > 0 ? posInf_ : negInf_) : finite_);
      return;
    }
    min_ = std::min(min_, x);
    max_ = std::max(max_, x);
    if (std::isinf(x)) {
      (x > 0 ? posInf_ : negInf_)++;
      return;
    }
    ++finite_;
    const double delta = x - mean_;
    mean_ += delta / static_cast<double>(finite_);
    m2_ += delta * (x - mean_);
    // Neumaier's two-sum: sumHi_ + sumLo_ is the exact sum to about 106 bits.
    const double sum = sumHi_ + x;
    sumLo_ += std::fabs(sumHi_) >= std::fabs(x) ? (sumHi_ - sum) + x : (x - sum) + sumHi_;
    sumHi_ = sum;
  }

 private:
  void fillNumbers(QMXCsvColumnSummary::Numbers& out) const {
    out.count = finite_ + posInf_ + negInf_;
    out.nan = nan_;
    if (out.count == 0 || !summaries_) {
      out.min = out.max = out.mean = out.sd = kNaN;
      return;
    }
    out.min = min_;
    out.max = max_;
    const double inf = std::numeric_limits<double>::infinity();
    if (posInf_ > 0 && negInf_ > 0)
      out.mean = kNaN;
    else if (posInf_ > 0)
      out.mean = inf;
    else if (negInf_ > 0)
      out.mean = -inf;
    else
      out.mean = exactMean();
    const bool anyInf = posInf_ + negInf_ > 0;
    out.sd = (out.count < 2 || anyInf) ? kNaN : std::sqrt(m2_ / static_cast<double>(finite_ - 1));
  }

  // The sum over the count, rounded once: R's mean (a long-double sum, then the mean of the
  // deviations added) rounds to the same double but for a sum of about 1e-19 relative
  // error. A sum beyond the double range falls back on the running mean.
  double exactMean() const {
    const auto n = static_cast<double>(finite_);
    if (!std::isfinite(sumHi_) || !std::isfinite(sumLo_)) return mean_;
    const double q = sumHi_ / n;
    const double remainder = std::fma(-q, n, sumHi_) + sumLo_;
    return q + remainder / n;
  }

  std::size_t maxLevels_, maxBytes_;
  bool summaries_;
  QMXCsvDistinctTexts distinct_;
  std::size_t distinctBytes_ = 0;
  bool overflow_ = false;
  std::int64_t count_ = 0, missing_ = 0, nan_ = 0;
  std::int64_t notNumbers_ = 0, firstRow_ = 0, firstLine_ = 0;
  std::string firstText_;
  std::int64_t finite_ = 0, posInf_ = 0, negInf_ = 0;
  double mean_ = 0, m2_ = 0;
  double sumHi_ = 0, sumLo_ = 0;
  double min_ = std::numeric_limits<double>::infinity();
  double max_ = -std::numeric_limits<double>::infinity();
};

}  // namespace

QMXSchema QMXCsvMetadata::schema() const {
  QMXSchema out;
  out.reserve(columns.size());
  for (const auto& column : columns)
    out.push_back(column.info);
  return out;
}

std::string QMXCsvMetadata::readAsNumbers(std::size_t colIdx, bool strict) {
  QMXCsvColumnSummary& column = columns.at(colIdx);
  if (column.info.type == QMXColumnType::Double) return "";
  const std::string label =
      "column '" + column.info.name + "' (" + std::to_string(colIdx + 1) + ")";
  const std::string cell = "'" + column.firstNotNumber + "'";
  if (strict)
    throw QMXDataError(path + ":" + std::to_string(column.firstNotNumberLine) + ": " + label +
                       ": cannot read " + cell + " as a number");
  if (column.asNumbers.count == 0)
    throw QMXDataError(path + ": " + label + " holds no numbers (row " +
                       std::to_string(column.firstNotNumberRow) + ", line " +
                       std::to_string(column.firstNotNumberLine) + ": " + cell + ")");
  column.info.type = QMXColumnType::Double;
  column.info.levels.clear();
  column.levelCounts.clear();
  column.count = column.asNumbers.count;
  column.missing += column.notNumbers + column.asNumbers.nan;
  column.min = column.asNumbers.min;
  column.max = column.asNumbers.max;
  column.mean = column.asNumbers.mean;
  column.sd = column.asNumbers.sd;
  return path + ": " + label + ": " + std::to_string(column.notNumbers) +
         (column.notNumbers == 1 ? " value that is not a number reads"
                                 : " values that are not numbers read") +
         " as missing; the first is " + cell + " in row " +
         std::to_string(column.firstNotNumberRow) + " (line " +
         std::to_string(column.firstNotNumberLine) + ")";
}

namespace {

QMXCsvMetadata scan(const std::string& path, const QMXCsvOptions& options) {
  QMXCsvRecords records(path, options);
  const std::size_t nColumns = records.header().size();
  // A quarter of the memory available, shared by the columns' distinct texts.
  const std::size_t textBytes = QMXAvailableMemory() / 4 / std::max<std::size_t>(nColumns, 1);
  std::vector<ColumnScan> scans(nColumns,
                                ColumnScan(options.maxLevels, textBytes, options.summaries));
  QMXCsvMetadata meta;
  meta.path = path;
  std::shared_ptr<QMXCsvSpill> spill;
  if (options.spill && QMXSpillEnabled())
    spill = std::make_shared<QMXCsvSpill>(path, options, nColumns, records.fileBytes());
  std::vector<ColumnScan::Number> numbers(nColumns);
  while (records.next()) {
    ++meta.rows;
    if (spill) {
      for (std::size_t colIdx = 0; colIdx < nColumns; ++colIdx)
        spill->put(colIdx, scans[colIdx].add(records, colIdx, meta.rows, numbers[colIdx]));
      spill->endRow();
    } else {
      for (std::size_t colIdx = 0; colIdx < nColumns; ++colIdx)
        scans[colIdx].add(records, colIdx, meta.rows, numbers[colIdx]);
    }
    // The numbers once the row is read: the columns' running means (a division each) then
    // overlap instead of waiting one for the other.
    for (std::size_t colIdx = 0; colIdx < nColumns; ++colIdx)
      if (numbers[colIdx].is) scans[colIdx].addNumber(numbers[colIdx].x);
  }
  if (meta.rows == 0 && !options.allowNoRows) throw QMXDataError("no rows of data in " + path);
  if (spill) {
    std::vector<std::vector<std::string>> texts;
    std::vector<bool> dropped;
    for (const ColumnScan& columnScan : scans) {
      texts.push_back(columnScan.texts());
      dropped.push_back(columnScan.overflowed());
    }
    spill->finish(std::move(texts), std::move(dropped));
    meta.spill = std::move(spill);
  }
  meta.columns.reserve(nColumns);
  for (std::size_t colIdx = 0; colIdx < nColumns; ++colIdx)
    meta.columns.push_back(scans[colIdx].finish(records.header()[colIdx]));
  return meta;
}

}  // namespace

QMXCsvMetadata scanCsvMetadata(const std::string& path, const QMXCsvOptions& options) {
  return qmxNoMemoryAsError([&] { return "scanning " + path; },
                            [&] { return scan(path, options); });
}
