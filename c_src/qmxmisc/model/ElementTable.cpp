// ElementTable: rule lookup and the out-of-place and unknown-element messages.
#include "qmxmisc/model/ElementTable.h"

#include <algorithm>

namespace {

// `format` with its first "%s" replaced by `name`.
std::string fill(const std::string& format, const std::string& name) {
  std::string text = format;
  const std::size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, name);
  return text;
}

}  // namespace

ElementTable& ElementTable::add(ElementRule rule) {
  byName_.emplace(rule.name, rules_.size());
  rules_.push_back(std::move(rule));
  return *this;
}

ElementTable& ElementTable::fatalMessage(std::string message) {
  fatal_ = std::move(message);
  return *this;
}

ElementTable& ElementTable::misplaced(std::string format,
                                      std::vector<std::pair<std::string, std::string>> replace) {
  misplaced_ = std::move(format);
  misplacedReplace_ = std::move(replace);
  return *this;
}

ElementTable& ElementTable::unknown(std::string format, std::vector<std::string> toBase) {
  unknown_ = std::move(format);
  toBase_ = std::move(toBase);
  return *this;
}

const ElementRule* ElementTable::find(const std::string& name, const std::string& path) const {
  for (const std::string& key : {name, std::string("*")}) {
    const auto [first, last] = byName_.equal_range(key);
    for (auto it = first; it != last; ++it) {
      if (rules_[it->second].parent == path) return &rules_[it->second];
    }
  }
  return nullptr;
}

bool ElementTable::toBase(const std::string& name) const {
  return std::find(toBase_.begin(), toBase_.end(), name) != toBase_.end();
}

std::string ElementTable::misplacedMessage(const std::string& name) const {
  for (const auto& [element, message] : misplacedReplace_) {
    if (element == name) return message;
  }
  return fill(misplaced_, name);
}

std::string ElementTable::unknownMessage(const std::string& name) const {
  return fill(unknown_, name);
}
