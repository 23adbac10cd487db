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

// `text` with "\n" turned into line breaks and every {name} replaced by its snippet.
inline std::string expandDocument(std::string text,
                                  const std::map<std::string, std::string>& snippets) {
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
