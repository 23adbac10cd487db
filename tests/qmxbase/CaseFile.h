// The case tables of the host tests (tests/qmxbase/cases/): lines of words and `texts` (C
// escapes \n \r \t \\ \` \xHH; `text`*N repeats it N times). Lines starting with '#' and
// empty lines are skipped; a line whose first word is the start word opens a case. Also a
// temporary directory for the files the cases write, and numbers shown as the tables show them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "qmxbase/QMXDataError.h"
#include "support/TextFiles.h"

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  // Writes `content` byte for byte to `name`; returns the full path.
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(path(name), std::ios::binary) << content;
    return path(name);
  }

 private:
  inline static int counter_ = 0;
  std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() /
      ("qmx_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
};

inline std::string show(double x) {
  std::ostringstream out;
  out << x;
  return std::isnan(x) ? "NaN" : out.str();
}
// The message of the QMXDataError `action` throws, "(no error)" when it throws none.
template <class Action>
std::string dataErrorOf(Action&& action) {
  try {
    action();
  } catch (const QMXDataError& e) {
    return e.what();
  }
  return "(no error)";
}

inline std::string show(const char* text) {
  return text ? text : "null";
}

struct CaseLine {
  std::vector<std::string> words;
  std::string text;  // the line as written
};

struct CaseBlock {
  std::string where;              // "<file>:<line>"
  std::vector<std::string> head;  // the words of the opening line
  std::vector<CaseLine> lines;
};

inline std::vector<std::string> caseTokens(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t pos = 0; pos < text.size();) {
    if (text[pos] == ' ') {
      ++pos;
      continue;
    }
    const bool quoted = text[pos] == '`';
    std::string token;
    for (pos += quoted; pos < text.size() && text[pos] != (quoted ? '`' : ' '); ++pos) {
      if (!quoted || text[pos] != '\\') {
        token += text[pos];
        continue;
      }
      const char c = text.at(++pos);
      if (c == 'x') {
        token += static_cast<char>(std::stoi(text.substr(pos + 1, 2), nullptr, 16));
        pos += 2;
      } else {
        token += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
      }
    }
    pos += quoted;
    if (quoted && pos < text.size() && text[pos] == '*') {
      const std::size_t end = std::min(text.find(' ', pos), text.size());
      const std::string once = token;
      for (int times = std::stoi(text.substr(pos + 1, end - pos - 1)); times > 1; --times)
        token += once;
      pos = end;
    }
    out.push_back(token);
  }
  return out;
}

// tests/qmxbase/cases/<name>, case by case.
inline std::vector<CaseBlock> readCaseFile(const std::string& name, const std::string& start) {
  std::ifstream in(QMX_TEST_REF_DIR "/../qmxbase/cases/" + name);
  std::vector<CaseBlock> blocks;
  std::string text;
  for (int lineNo = 1; std::getline(in, text); ++lineNo) {
    if (text.empty() || text[0] == '#') continue;
    std::vector<std::string> words = caseTokens(text);
    if (words[0] == start)
      blocks.push_back({name + ":" + std::to_string(lineNo), words, {}});
    else if (!blocks.empty())
      blocks.back().lines.push_back({words, text});
    else
      ADD_FAILURE() << name << ":" << lineNo << ": a line before the first case";
  }
  EXPECT_FALSE(blocks.empty()) << "no cases in " << name;
  return blocks;
}

// A script line "CALL ARG ... [= RESULT] [! PROBLEM]": the call's words, the text after " = "
// and the text after " ! " (empty when absent).
struct ScriptLine {
  std::vector<std::string> call;
  std::string result, problem;
};

inline ScriptLine parseScriptLine(std::string text) {
  ScriptLine line;
  if (const std::size_t bang = text.find(" ! "); bang != std::string::npos) {
    line.problem = text.substr(bang + 3);
    text.resize(bang);
  }
  if (const std::size_t eq = text.find(" = "); eq != std::string::npos) {
    line.result = text.substr(eq + 3);
    text.resize(eq);
  }
  line.call = caseTokens(text);
  return line;
}
