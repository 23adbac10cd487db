// String: the library's text type, used for every name (matrix row and column names,
// variables, levels). A polymorphic wrapper of std::string.
#pragma once

#include <compare>
#include <ostream>
#include <string>
#include <string_view>

class String {
 public:
  String() = default;
  String(const char* text) : text_(text ? text : "") {}  // NOLINT(google-explicit-constructor)
  String(std::string text) : text_(std::move(text)) {}   // NOLINT(google-explicit-constructor)
  String(std::string_view text) : text_(text) {}         // NOLINT(google-explicit-constructor)
  String(const String&) = default;
  String(String&&) noexcept = default;
  String& operator=(const String&) = default;
  String& operator=(String&&) noexcept = default;
  virtual ~String() = default;

  const std::string& str() const { return text_; }
  std::string& str() { return text_; }
  const char* c_str() const { return text_.c_str(); }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
  operator std::string_view() const { return text_; }  // NOLINT(google-explicit-constructor)

  friend bool operator==(const String& a, const String& b) { return a.text_ == b.text_; }
  friend std::strong_ordering operator<=>(const String& a, const String& b) {
    return a.text_ <=> b.text_;
  }
  friend std::ostream& operator<<(std::ostream& out, const String& s) { return out << s.text_; }

 private:
  std::string text_;
};
