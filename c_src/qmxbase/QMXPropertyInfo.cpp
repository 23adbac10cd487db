#include "qmxbase/QMXPropertyInfo.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (std::tolower(ca) != std::tolower(cb)) return false;
  }
  return true;
}

}  // namespace

QMXPropertyInfo::QMXPropertyInfo(std::string name) : head_(this), name_(std::move(name)) {}

QMXPropertyInfo::QMXPropertyInfo(std::string name, const std::vector<std::string>& values)
    : QMXPropertyInfo(std::move(name)) {
  for (const auto& value : values)
    addValue(value);
}

QMXPropertyInfo::QMXPropertyInfo(QMXPropertyInfo* head, std::string text)
    : head_(head), value_(std::move(text)) {}

QMXPropertyInfo::~QMXPropertyInfo() {
  // Unlink the chain iteratively so long chains cannot exhaust the stack.
  std::unique_ptr<QMXPropertyInfo> next = std::move(next_);
  while (next)
    next = std::move(next->next_);
}

void QMXPropertyInfo::addValue(std::string text) {
  if (this == head_ && !value_ && !next_) {
    value_ = std::move(text);
    return;
  }
  QMXPropertyInfo* last = this;
  while (last->next_)
    last = last->next_.get();
  last->next_.reset(new QMXPropertyInfo(head_, std::move(text)));
}

std::size_t QMXPropertyInfo::valueCount() const {
  std::size_t count = 0;
  for (const QMXPropertyInfo* node = this; node; node = node->next_.get())
    if (node->value_) ++count;
  return count;
}

void QMXPropertyInfo::noteProblem(const char* what) {
  std::string text = "property " + head_->name_ + ": ";
  if (value_)
    text += "'" + *value_ + "' " + what;
  else
    text += std::string("a value is missing (") + what + " expected)";
  head_->problems_.push_back(std::move(text));
}

bool QMXPropertyInfo::isName(const char* name) const {
  return name && head_->name_ == name;
}

long QMXPropertyInfo::getLong() {
  if (value_) {
    const std::string& text = *value_;
    long value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec == std::errc() && end == last && first != last) return value;
  }
  noteProblem(value_ ? "is not an integer" : "an integer");
  return 0;
}

void QMXPropertyInfo::setLong(long value) {
  answer_ = value;
}

void QMXPropertyInfo::setLongLong(long long value) {
  answer_ = value;
}

double QMXPropertyInfo::getDouble() {
  if (value_) {
    const std::string& text = *value_;
    if (equalsIgnoreCase(text, "NA")) return std::numeric_limits<double>::quiet_NaN();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (!text.empty() && end == text.c_str() + text.size() && errno != ERANGE) return value;
  }
  noteProblem(value_ ? "is not a number" : "a number");
  return 0;
}

void QMXPropertyInfo::setDouble(double value) {
  answer_ = value;
}

bool QMXPropertyInfo::getBool() {
  if (value_) {
    const std::string& text = *value_;
    for (const char* yes : {"true", "yes", "1", "t", "y", "on"})
      if (equalsIgnoreCase(text, yes)) return true;
    for (const char* no : {"false", "no", "0", "f", "n", "off"})
      if (equalsIgnoreCase(text, no)) return false;
  }
  noteProblem(value_ ? "is not a boolean (true or false)" : "a boolean");
  return false;
}

void QMXPropertyInfo::setBool(bool value) {
  answer_ = value;
}

const char* QMXPropertyInfo::getString() {
  // A missing text is no problem: procs treat nullptr as "clear".
  return value_ ? value_->c_str() : nullptr;
}

void QMXPropertyInfo::setString(const char* value) {
  answer_ = std::string(value ? value : "");
}

QMXPropertyInfo* QMXPropertyInfo::getNext() {
  return next_.get();
}

void* QMXPropertyInfo::getJavaArray() {
  return nullptr;
}

void* QMXPropertyInfo::getJNIEnv() {
  return nullptr;
}

std::string QMXPropertyInfo::answerText() const {
  struct Visitor {
    std::string operator()(std::monostate) const { return ""; }
    std::string operator()(long v) const { return std::to_string(v); }
    std::string operator()(long long v) const { return std::to_string(v); }
    std::string operator()(bool v) const { return v ? "true" : "false"; }
    std::string operator()(const std::string& v) const { return v; }
    std::string operator()(double v) const {
      if (std::isnan(v)) return "NaN";
      if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
      char text[64];
      std::snprintf(text, sizeof text, "%.15g", v);  // 15 significant digits, as R prints
      return text;
    }
  };
  return std::visit(Visitor{}, answer_);
}
