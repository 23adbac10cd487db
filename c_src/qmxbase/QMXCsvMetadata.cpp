#include "qmxbase/QMXCsvMetadata.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <utility>

#include "qmxbase/QMXCsvNumber.h"
#include "qmxbase/QMXCsvScanner.h"
#include "qmxbase/QMXCsvTextMap.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// What one pass learns about one column. The distinct texts are kept only up to
// maxLevels + 1; beyond that the column can only be Double or String, and the texts are
// dropped.
class ColumnScan {
 public:
  void add(std::string_view field, const QMXCsvScanner& scanner, std::size_t maxLevels) {
    if (scanner.isMissing(field)) {
      ++missing_;
      return;
    }
    ++count_;
    if (!overflow_) {
      auto it = distinct_.find(field);
      if (it != distinct_.end()) {
        ++it->second;
      } else if (distinct_.size() < maxLevels) {
        distinct_.emplace(std::string(field), 1);
      } else {
        overflow_ = true;
        distinct_ = {};
      }
    }
    if (numeric_) {
      double x;
      if (QMXCsvParseNumber(field, x))
        addNumber(x);
      else
        numeric_ = false;
    }
  }

  QMXCsvColumnSummary finish(std::string name) {
    QMXCsvColumnSummary out;
    out.info.name = std::move(name);
    out.count = count_;
    out.missing = missing_;
    if (numeric_) {
      out.info.type = QMXColumnType::Double;
      out.count -= nan_;
      out.missing += nan_;
      fillNumbers(out);
    } else if (!overflow_) {
      out.info.type = QMXColumnType::Factor;
      std::vector<std::pair<std::string, std::int64_t>> levels(distinct_.begin(), distinct_.end());
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

 private:
  // Welford's running mean and sum of squared deviations over the finite values; the
  // infinite ones are counted so that mean and sd come out as in R (mean Inf, -Inf or
  // NaN, sd NaN).
  void addNumber(double x) {
    if (std::isnan(x)) {
      ++nan_;
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
  }

  void fillNumbers(QMXCsvColumnSummary& out) const {
    if (out.count == 0) {
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
      out.mean = mean_;
    const bool anyInf = posInf_ + negInf_ > 0;
    out.sd = (out.count < 2 || anyInf) ? kNaN : std::sqrt(m2_ / static_cast<double>(finite_ - 1));
  }

  QMXCsvTextMap<std::int64_t> distinct_;
  bool overflow_ = false;
  bool numeric_ = true;
  std::int64_t count_ = 0, missing_ = 0, nan_ = 0;
  std::int64_t finite_ = 0, posInf_ = 0, negInf_ = 0;
  double mean_ = 0, m2_ = 0;
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

QMXCsvMetadata scanCsvMetadata(const std::string& path, const QMXCsvOptions& options) {
  QMXCsvScanner scanner(path, options);
  const std::size_t nColumns = scanner.header().size();
  std::vector<ColumnScan> scans(nColumns);
  QMXCsvMetadata meta;
  meta.path = path;
  while (scanner.next()) {
    const auto& fields = scanner.fields();
    for (std::size_t colIdx = 0; colIdx < nColumns; ++colIdx)
      scans[colIdx].add(fields[colIdx], scanner, options.maxLevels);
    ++meta.rows;
  }
  meta.columns.reserve(nColumns);
  for (std::size_t colIdx = 0; colIdx < nColumns; ++colIdx)
    meta.columns.push_back(scans[colIdx].finish(scanner.header()[colIdx]));
  return meta;
}
