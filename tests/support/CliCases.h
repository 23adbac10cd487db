// CliCases: a table of command-line cases in a tab-separated data file, run by one driver.
// Each line is one case:
//
//   ARGUMENTS <TAB> STATUS <TAB> STDOUT <TAB> STDERR <TAB> LEFT_OUT [<TAB> WRITTEN]
//
//   ARGUMENTS  the command's arguments, as shell words
//   STATUS     the expected exit status
//   STDOUT     a text standard output must contain; empty: standard output must be empty;
//              "@PATH": standard output must equal the file PATH
//   STDERR     the full expected standard error ("\n" and "\t" escaped)
//   LEFT_OUT   a file the run must not leave (removed before it), nor a temporary file of
//              it ("LEFT_OUT.*" holding ".tmp"); empty for none
//   WRITTEN    "FILE=PATH": the file the run wrote equals the file PATH, every
//              <Timestamp>...</Timestamp> masked; FILE is then removed
//
// A line "setup <TAB> ARGUMENTS" runs a command that must succeed before the cases after it
// (e.g. a fit whose model later cases score). Lines starting with '#' and empty lines are
// skipped. "${NAME}" in any field is replaced by the value of NAME in `variables`.
#pragma once

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/TextFiles.h"

namespace clicases {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

using Runner = std::function<Outcome(const std::string& arguments)>;

inline std::string substitute(std::string text, const std::map<std::string, std::string>& vars) {
  for (const auto& [name, value] : vars) {
    const std::string key = "${" + name + "}";
    for (std::size_t at = text.find(key); at != std::string::npos;
         at = text.find(key, at + value.size()))
      text.replace(at, key.size(), value);
  }
  return text;
}

inline std::string unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 't')) {
      out += text[++i] == 'n' ? '\n' : '\t';
    } else {
      out += text[i];
    }
  }
  return out;
}

inline std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream in(line);
  std::string cell;
  while (std::getline(in, cell, '\t'))
    cells.push_back(cell);
  if (!line.empty() && line.back() == '\t') cells.emplace_back();
  return cells;
}

inline std::string maskTimestamps(const std::string& text) {
  return std::regex_replace(text, std::regex("<Timestamp>[^<]*</Timestamp>"), "<Timestamp/>");
}

inline bool exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// The names in the directory of `path` that start with its name and "." and hold ".tmp".
inline std::vector<std::string> temporariesOf(const std::string& path) {
  const std::filesystem::path target(path);
  const std::string prefix = target.filename().string() + ".";
  std::vector<std::string> found;
  std::error_code ec;
  const auto dir = target.has_parent_path() ? target.parent_path() : ".";
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name.find(".tmp") != std::string::npos) found.push_back(name);
  }
  return found;
}

// Runs every case of the table at `path`; returns the number of cases run.
inline int runCliCases(const std::string& path, const std::map<std::string, std::string>& vars,
                       const Runner& run) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  std::string line;
  int lineNo = 0, cases = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> cell = fields(substitute(line, vars));
    const std::string where = path + ":" + std::to_string(lineNo) + ": " + cell[0];
    if (cell[0] == "setup") {
      const Outcome setup = run(cell.at(1));
      EXPECT_EQ(setup.status, 0) << where << " " << cell.at(1) << "\n" << setup.err;
      continue;
    }
    if (cell.size() != 5 && cell.size() != 6) {
      ADD_FAILURE() << where << ": expected 5 or 6 fields, got " << cell.size();
      continue;
    }
    ++cases;
    std::remove(cell[4].c_str());  // left by an earlier case
    const Outcome got = run(cell[0]);
    EXPECT_EQ(got.status, std::stoi(cell[1])) << where << "\n" << got.err;
    if (cell[2].empty() || cell[2][0] == '@')
      EXPECT_EQ(got.out, cell[2].empty() ? "" : readFile(cell[2].substr(1))) << where;
    else
      EXPECT_NE(got.out.find(unescape(cell[2])), std::string::npos) << where << "\n" << got.out;
    EXPECT_EQ(got.err, unescape(cell[3])) << where;
    if (!cell[4].empty()) {
      EXPECT_FALSE(exists(cell[4])) << where;
      EXPECT_EQ(temporariesOf(cell[4]), std::vector<std::string>{}) << where;
    }
    if (cell.size() == 6) {
      const std::string written = cell[5].substr(0, cell[5].find('='));
      EXPECT_EQ(maskTimestamps(readFile(written)),
                maskTimestamps(readFile(cell[5].substr(written.size() + 1))))
          << where;
      std::remove(written.c_str());
    }
  }
  return cases;
}

}  // namespace clicases
