// ModelTerms: the static formatting helpers of every model document writer. Results live
// in per-thread buffers, one for the text family (QFormat(const char*), Quote, Indent) and
// one for the number family (the other QFormat overloads and Format); the next call of the
// same family overwrites them.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qmxmisc/base/QMXException.h"
#include "qmxmisc/model/ModelTerms.h"
#include "qmxmisc/model/XmlText.h"

namespace {

// Longest text result, in characters, before "character buffer limit exceeded".
constexpr std::size_t kTextLimit = 4999;
// Wide enough for any integer or %.15g number in quotes.
constexpr std::size_t kNumberBufferSize = 64;

char* textBuffer() {
  thread_local std::array<char, kTextLimit + 1> buffer{};
  return buffer.data();
}

char* numberBuffer() {
  thread_local std::array<char, kNumberBufferSize> buffer{};
  return buffer.data();
}

// Copies `text` into the text buffer, or throws when it is longer than the limit.
const char* storeText(const std::string& text) {
  if (text.size() > kTextLimit) QMX_ThrowException("character buffer limit exceeded");
  char* buffer = textBuffer();
  text.copy(buffer, text.size());
  buffer[text.size()] = '\0';
  return buffer;
}

// The number of decimal digits a double carries: floor(52 * log10 2) = 15.
long significantDigits() {
  return static_cast<long>(std::floor(52 * std::log10(2.0)));
}

// The quoted and unquoted %g formats with that many digits, made at first use.
const char* quotedDoubleFormat() {
  static const std::string format = [] {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "\"%%.%ldg\"", significantDigits());
    return std::string(text.data());
  }();
  return format.c_str();
}

const char* doubleFormat() {
  static const std::string format = [] {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%%.%ldg", significantDigits());
    return std::string(text.data());
  }();
  return format.c_str();
}

}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"

const char* ModelTerms::QFormat(double value) {
  std::snprintf(numberBuffer(), kNumberBufferSize, quotedDoubleFormat(), value);
  return numberBuffer();
}

const char* ModelTerms::Format(double value) {
  std::snprintf(numberBuffer(), kNumberBufferSize, doubleFormat(), value);
  return numberBuffer();
}

#pragma GCC diagnostic pop

const char* ModelTerms::QFormat(int value) {
  return QFormat(static_cast<long>(value));
}

const char* ModelTerms::QFormat(long value) {
  std::snprintf(numberBuffer(), kNumberBufferSize, "\"%ld\"", value);
  return numberBuffer();
}

const char* ModelTerms::QFormat(long long value) {
  std::snprintf(numberBuffer(), kNumberBufferSize, "\"%lld\"", value);
  return numberBuffer();
}

const char* ModelTerms::QFormat(unsigned value) {
  return QFormat(static_cast<unsigned long>(value));
}

const char* ModelTerms::QFormat(unsigned long value) {
  std::snprintf(numberBuffer(), kNumberBufferSize, "\"%lu\"", value);
  return numberBuffer();
}

const char* ModelTerms::QFormat(const char* text) {
  if (text == nullptr) return storeText(std::string());
  const std::string problem = xmlTextProblem(text);
  if (!problem.empty()) {
    QMX_ThrowException("the text \"%s\" cannot be written to a model document: %s",
                       xmlTextShown(text).c_str(), problem.c_str());
  }
  std::string quoted = "\"";
  for (const char* at = text; *at != '\0'; ++at) {
    switch (*at) {
      // As character references, so that attribute-value normalization keeps them.
      case '\t':
        quoted += "&#9;";
        break;
      case '\n':
        quoted += "&#10;";
        break;
      case '\r':
        quoted += "&#13;";
        break;
      case '"':
        quoted += "&quot;";
        break;
      case '<':
        quoted += "&lt;";
        break;
      case '>':
        quoted += "&gt;";
        break;
      case '&':
        quoted += "&amp;";
        break;
      case '\'':
        quoted += "&apos;";
        break;
      default:
        quoted += *at;
    }
    // Stop early on huge inputs; the check in storeText throws.
    if (quoted.size() > kTextLimit) break;
  }
  quoted += '"';
  return storeText(quoted);
}

const char* ModelTerms::Quote(const char* text) {
  return QFormat(text);
}

const char* ModelTerms::Indent(const char* text, int level) {
  // The text may be the buffer itself (Indent(Quote(name), 2)), so build a copy first.
  const std::size_t blanks =
      level >= 0 ? 2 * static_cast<std::size_t>(level) : static_cast<std::size_t>(std::abs(level));
  if (blanks > kTextLimit) QMX_ThrowException("character buffer limit exceeded");
  std::string indented(blanks, ' ');
  if (text != nullptr) indented += text;
  return storeText(indented);
}
