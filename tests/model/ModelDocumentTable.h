// The table of malformed model documents (tests/ref/model/malformed_documents.tsv): snippet
// lines '@name<TAB>text', then one 'reader<TAB>message<TAB>document' line per case.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/RefCsv.h"

namespace qmx_test {

struct DocumentCase {
  std::string reader;
  std::string message;
  std::string document;
};

// `line` with every {N*text} written out as N copies of text, a # in the text numbered
// 0, 1, ... N - 1 in the copies (long hostile inputs).
inline std::string expandRepeats(std::string line) {
  for (std::size_t at = line.find('{'); at != std::string::npos; at = line.find('{', at)) {
    const std::size_t star = line.find('*', at);
    const std::size_t close = line.find('}', at);
    if (close == std::string::npos || star > close || star == at + 1 ||
        line.find_first_not_of("0123456789", at + 1) != star) {
      ++at;
      continue;
    }
    const std::string text = line.substr(star + 1, close - star - 1);
    std::string copies;
    const long n = std::stol(line.substr(at + 1, star - at - 1));
    for (long copy = 0; copy < n; ++copy) {
      std::string one = text;
      for (std::size_t hash = one.find('#'); hash != std::string::npos; hash = one.find('#'))
        one.replace(hash, 1, std::to_string(copy));
      copies += one;
    }
    line.replace(at, close - at + 1, copies);
    at += copies.size();
  }
  return line;
}

// `text` with "\n" turned into line breaks, {N*text} repeated and every {name} replaced by
// its snippet.
inline std::string expandDocument(std::string text,
                                  const std::map<std::string, std::string>& snippets) {
  text = expandRepeats(std::move(text));
  for (std::size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1))
    text.replace(at, 2, "\n");
  for (std::size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at)) {
    const std::size_t close = text.find('}', at);
    const auto found = snippets.find(text.substr(at + 1, close - at - 1));
    if (close == std::string::npos || found == snippets.end()) {
      ++at;
      continue;
    }
    text.replace(at, close - at + 1, found->second);
  }
  return text;
}

// The cases of `reader`, snippets and the driver's `extra` names ({SECRET}, ...) expanded.
inline std::vector<DocumentCase> documentCases(const std::string& reader,
                                               std::map<std::string, std::string> extra = {}) {
  std::map<std::string, std::string> snippets = std::move(extra);
  std::vector<DocumentCase> cases;
  std::istringstream in(readRefText("model", "malformed_documents.tsv"));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    if (line[0] == '@') {
      snippets[line.substr(1, tab - 1)] = expandDocument(line.substr(tab + 1), snippets);
      continue;
    }
    const std::size_t tab2 = line.find('\t', tab + 1);
    if (line.substr(0, tab) != reader) continue;
    cases.push_back({reader, line.substr(tab + 1, tab2 - tab - 1),
                     expandDocument(line.substr(tab2 + 1), snippets)});
  }
  return cases;
}

}  // namespace qmx_test
