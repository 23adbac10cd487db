#include "qmxmisc/model/FactorInfo.h"

#include <cstring>
#include <numeric>

#include "qmxmisc/base/QMXException.h"

const String& FactorInfo::level(long i) const {
  if (i < 0 || i >= length()) QMX_ThrowException("bad index %d", static_cast<int>(i));
  return levels_[static_cast<std::size_t>(i)];
}

String& FactorInfo::level(long i) {
  if (i < 0 || i >= length()) QMX_ThrowException("Bad index %d", static_cast<int>(i));
  return levels_[static_cast<std::size_t>(i)];
}

void FactorInfo::setCounts(const std::vector<long>& counts) {
  counts_.assign(counts.begin(), counts.end());
}

long FactorInfo::count(long i) const {
  if (i < 0 || i >= static_cast<long>(counts_.size()))
    QMX_ThrowException("Bad index %d", static_cast<int>(i));
  return counts_[static_cast<std::size_t>(i)];
}

long FactorInfo::N() const {
  return std::accumulate(counts_.begin(), counts_.end(), 0L);
}

void FactorInfo::setValues(const std::vector<double>& values) {
  values_.assign(values.begin(), values.end());
}

double FactorInfo::value(long i) const {
  if (i < 0 || i >= static_cast<long>(values_.size())) QMX_ThrowException("Bad index");
  return values_[static_cast<std::size_t>(i)];
}

void FactorInfo::resize(long L) {
  if (L < 0) QMX_ThrowException("Bad length");
  const auto size = static_cast<std::size_t>(L);
  levels_.resize(size);
  if (!counts_.empty()) counts_.resize(size, 0);
  if (!values_.empty()) values_.resize(size, 0.0);
}

int FactorInfo::compare(const char* text) const {
  if (name_.empty() || text == nullptr) return 1;
  return std::strcmp(name_.c_str(), text);
}

void FactorInfo::erase() {
  name_ = String();
  empty();
}

void FactorInfo::empty() {
  levels_.clear();
  counts_.clear();
  values_.clear();
}
