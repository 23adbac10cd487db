#include "qmxbase/QMXObj.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// R marks NA as a quiet NaN whose low 32-bit word is 1954.
constexpr std::uint32_t kNAPayload = 1954;

std::uint64_t bitsOf(double x) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

}  // namespace

const char* QMXMessageKindName(QMXMessageKind kind) {
  switch (kind) {
    case QMXMessageKind::Error:
      return "error";
    case QMXMessageKind::Warning:
      return "warning";
    case QMXMessageKind::Information:
      return "info";
    case QMXMessageKind::Debug:
      return "debug";
  }
  return "message";
}

void QMXObj::log(QMXMessageKind kind, std::string text) {
  messages_.push_back(QMXMessage{kind, std::move(text)});
  if (kind == QMXMessageKind::Error) hasError_ = true;
  if (listener_) listener_(messages_.back());
}

void QMXObj::setError(const char* text) {
  std::string message = text ? text : "";
  if (!error_) error_ = message;
  log(QMXMessageKind::Error, std::move(message));
}

void QMXObj::setError(const char* text, long value) {
  std::string message = text ? text : "";
  message += ": " + std::to_string(value);
  setError(message.c_str());
}

const char* QMXObj::getError() const {
  return error_ ? error_->c_str() : nullptr;
}

bool QMXObj::hasError() const {
  return hasError_;
}

void QMXObj::addError(const char* text) {
  log(QMXMessageKind::Error, text ? text : "");
}

void QMXObj::addWarning(const char* text) {
  log(QMXMessageKind::Warning, text ? text : "");
}

void QMXObj::addInformation(const char* text) {
  log(QMXMessageKind::Information, text ? text : "");
}

void QMXObj::addDebug(const char* text) {
  log(QMXMessageKind::Debug, text ? text : "");
}

void QMXObj::clearMessages() {
  error_.reset();
  hasError_ = false;
  messages_.clear();
}

double QMXObj::getDoubleNA() {
  const std::uint64_t bits = 0x7FF0000000000000ull | kNAPayload;
  double x = 0;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

bool QMXObj::isDoubleNA(double x) {
  return std::isnan(x) && static_cast<std::uint32_t>(bitsOf(x) & 0xFFFFFFFFull) == kNAPayload;
}

double QMXObj::getDoubleNaN() {
  return std::numeric_limits<double>::quiet_NaN();
}

bool QMXObj::isDoubleNaN(double x) {
  return std::isnan(x);
}

char* QMXObj::copyString(const char* text) {
  if (!text) return nullptr;
  const std::size_t length = std::strlen(text);
  auto* copy = static_cast<char*>(std::malloc(length + 1));
  if (!copy) return nullptr;
  std::memcpy(copy, text, length + 1);
  return copy;
}

void QMXObj::releaseString(char* text) {
  std::free(text);
}

long QMXObj::copyUTFToPlainString(const char* src, char* dst, long capacity) {
  if (!dst || capacity <= 0) return 0;
  long written = 0;
  if (src) {
    const auto* p = reinterpret_cast<const unsigned char*>(src);
    while (*p && written + 1 < capacity) {
      if (*p < 0x80) {
        dst[written++] = static_cast<char>(*p++);
        continue;
      }
      // One '?' per UTF-8 sequence: skip the lead byte and its continuation bytes.
      dst[written++] = '?';
      ++p;
      while ((*p & 0xC0) == 0x80)
        ++p;
    }
  }
  dst[written] = '\0';
  return written;
}
