#include "qmxmisc/base/QMXException.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr const char kInternalError[] = "Internal Error";
constexpr const char kMemoryError[] = "Insufficient memory available";
char gStaticBuffer[128];
}  // namespace

const char* QMXException::internalErrorText() {
  return kInternalError;
}
const char* QMXException::memoryErrorText() {
  return kMemoryError;
}
char* QMXException::staticBuffer() {
  return gStaticBuffer;
}

bool QMXException::isSharedStore(const char* text) {
  return text == kInternalError || text == kMemoryError || text == gStaticBuffer;
}

QMXException::QMXException(const char* message) {
  copyError(message);
}

QMXException::QMXException(const QMXException& other) : std::exception(other) {
  copyError(other.error_);
}

QMXException& QMXException::operator=(const QMXException& other) {
  if (this != &other) copyError(other.error_);
  return *this;
}

QMXException& QMXException::operator=(const char* message) {
  copyError(message);
  return *this;
}

QMXException& QMXException::operator=(char* message) {
  copyError(message);
  return *this;
}

void QMXException::freeError() {
  owned_.reset();
  error_ = nullptr;
}

void QMXException::copyError(const char* message) {
  if (message == error_) return;
  if (message == nullptr || isSharedStore(message)) {
    freeError();
    error_ = message;
    return;
  }
  // Copy before releasing: the new text may live inside the old owned storage.
  const std::size_t length = std::strlen(message);
  auto copy = std::make_unique<char[]>(length + 1);
  std::memcpy(copy.get(), message, length + 1);
  owned_ = std::move(copy);
  error_ = owned_.get();
}

QMXFatalException::QMXFatalException() : QMXException(internalErrorText()) {}

QMXMemoryException::QMXMemoryException() : QMXException(memoryErrorText()) {}

QMXMemoryException::QMXMemoryException(long bytes) {
  std::snprintf(staticBuffer(), kStaticBufferSize, "%s for %ld bytes", memoryErrorText(), bytes);
  copyError(staticBuffer());
}

void QMX_ThrowException(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list sizing;
  va_copy(sizing, args);
  const int length = std::vsnprintf(nullptr, 0, format, sizing);
  va_end(sizing);
  if (length < 0) {
    va_end(args);
    throw QMXException(format);
  }
  std::vector<char> text(static_cast<std::size_t>(length) + 1);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  throw QMXException(text.data());
}

const char* QMXException::what() const noexcept {
  return error_ != nullptr ? error_ : internalErrorText();
}
