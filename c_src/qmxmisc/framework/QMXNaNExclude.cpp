#include "qmxmisc/framework/QMXNaNExclude.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/numeric/RandomGenerator.h"

bool QMXNaNExclude::acceptable(long row) const {
  for (const std::uint32_t c : columns_) {
    const double x = reader_->getDouble(row, static_cast<int>(c));
    if (std::isinf(x) || std::isnan(x)) return false;
  }
  return true;
}

bool QMXNaNExclude::getDouble(long row, int column, double& value) {
  value = reader_->getDouble(row, column);
  return acceptable(row);
}

template <class Emit>
long QMXNaNExclude::computeExclusions(int column, long ready, Emit&& emit) {
  // One sweep per variable over its values in place marks the rows to leave out.
  std::vector<unsigned char> rejected(static_cast<std::size_t>(std::max(ready, 0L)), 0);
  for (const std::uint32_t c : columns_) {
    const double* values = reader_->readyNumbers(static_cast<int>(c));
    if (values == nullptr) {
      std::fill(rejected.begin(), rejected.end(), 1);  // no numbers: every row is missing
      break;
    }
    for (long r = 0; r < ready; ++r)
      rejected[static_cast<std::size_t>(r)] |=
          static_cast<unsigned char>(!std::isfinite(values[r]));
  }
  rowsExcluded_.clear();
  long written = 0;
  const double* values = reader_->readyNumbers(column);
  for (long r = 0; r < ready; ++r) {
    if (rejected[static_cast<std::size_t>(r)] != 0) {
      rowsExcluded_.push_back(static_cast<std::uint32_t>(r));
    } else {
      emit(written++, values != nullptr ? values[r] : reader_->getDouble(r, column));
    }
  }
  exclusionState_ = nExcluded();
  return written;
}

long QMXNaNExclude::getDoubleArray(int column, double* out) {
  validate();
  if (out == nullptr) QMX_ThrowException("invalid data pointer");
  const long ready = rowsReady();
  long written = 0;
  if (!rowIndex_.empty()) {
    for (const std::uint32_t r : rowIndex_)
      out[written++] = reader_->getDouble(r, column);
    return written;
  }
  if (exclusionState_ == -1)
    return computeExclusions(column, ready, [&](long k, double v) { out[k] = v; });
  // Known exclusions: copy each run of rows between excluded rows in one block.
  long first = 0;
  for (std::size_t i = 0; i <= rowsExcluded_.size(); ++i) {
    const long end = i < rowsExcluded_.size() ? static_cast<long>(rowsExcluded_[i]) : ready;
    if (end > first) written += reader_->getDoubleArray(first, column, end - first, out + written);
    first = end + 1;
  }
  return written;
}

long QMXNaNExclude::getCharArray(int column, const char** out) {
  validate();
  if (out == nullptr) QMX_ThrowException("invalid data pointer");
  const QMXBuf& buf = buffer();
  if (!buf.columnTypeIsFactor(column))
    QMX_ThrowException("data in column number %d is not categorical", column);
  const long ready = rowsReady();
  long written = 0;
  if (!rowIndex_.empty()) {
    for (const std::uint32_t r : rowIndex_)
      out[written++] = buf.mapDoubleToLevel(column, reader_->getDouble(r, column));
    return written;
  }
  if (exclusionState_ == -1) {
    return computeExclusions(column, ready,
                             [&](long k, double v) { out[k] = buf.mapDoubleToLevel(column, v); });
  }
  std::size_t next = 0;
  for (long r = 0; r < ready; ++r) {
    if (next < rowsExcluded_.size() && static_cast<long>(rowsExcluded_[next]) == r) {
      ++next;
      continue;
    }
    out[written++] = buf.mapDoubleToLevel(column, reader_->getDouble(r, column));
  }
  return written;
}

int QMXNaNExclude::columnOf(const String& name) const {
  for (std::size_t i = 0; i < variables_.size(); ++i)
    if (variables_[i] == name) return static_cast<int>(columns_[i]);
  const QMXBuf& buf = buffer();
  for (int c = 0; c < buf.getNumColumns(); ++c) {
    const char* columnName = buf.getColumnName(c);
    if (columnName != nullptr && name == String(columnName)) return c;
  }
  QMX_ThrowException("variable %s is not in the buffer", name.c_str());
}

long QMXNaNExclude::getDoubleArray(const String& name, double* out) {
  return getDoubleArray(columnOf(name), out);
}

long QMXNaNExclude::getCharArray(const String& name, const char** out) {
  return getCharArray(columnOf(name), out);
}

long QMXNaNExclude::createSampleIndex(long size, unsigned seed) {
  rowIndex_.clear();
  if (size < 1) return 0;
  validate();
  const long ready = rowsReady();
  if (ready < size) {
    for (long r = 0; r < ready; ++r)
      if (acceptable(r)) rowIndex_.push_back(static_cast<std::uint32_t>(r));
    return static_cast<long>(rowIndex_.size());
  }
  RandomGenerator random(seed);
  std::vector<long> candidates(static_cast<std::size_t>(ready));
  for (long r = 0; r < ready; ++r)
    candidates[static_cast<std::size_t>(r)] = r;
  while (static_cast<long>(rowIndex_.size()) < size && !candidates.empty()) {
    const std::int32_t k = random.nextInt(0, static_cast<std::int32_t>(candidates.size()) - 1);
    const auto at = candidates.begin() + k;
    if (acceptable(*at)) rowIndex_.push_back(static_cast<std::uint32_t>(*at));
    candidates.erase(at);
  }
  return static_cast<long>(rowIndex_.size());
}
