// Helpers shared by the scoring-library tests: an owning object record, temporary files and
// captured standard streams.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vtcsrc/VTObjects.h"

namespace vttest {

// A TelvarObject record destroyed at scope exit.
struct Obj {
  TelvarObject o{};
  Obj() = default;
  Obj(const Obj&) = delete;
  Obj& operator=(const Obj&) = delete;
  ~Obj() { TelvarObject_destroy(&o); }
  TelvarObject* operator&() { return &o; }
  TelvarObject* get() { return &o; }
  const TelvarObject* get() const { return &o; }
};

// A fresh directory under the system temporary directory, removed at scope exit.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    static int counter = 0;
    path = std::filesystem::temp_directory_path() /
           ("vtcsrc-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string file(const std::string& name) const { return (path / name).string(); }
};

inline void writeText(const std::string& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
}

inline std::string readText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

// A copy of the reference data file `path` without its '#' comment lines, in `dir` (the
// library's reader takes no comments).
inline std::string withoutComments(const std::string& path, const TempDir& dir) {
  std::istringstream in(readText(path));
  std::string text, line;
  while (std::getline(in, line))
    if (line.empty() || line[0] != '#') text += line + "\n";
  const std::string copy = dir.file(std::filesystem::path(path).filename().string());
  writeText(copy, text);
  return copy;
}

// Writes obj to a memory stream and returns the text.
inline std::string streamText(const TelvarObject* obj) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&buffer, &size);
  EXPECT_EQ(TelvarObject_writeToStream(stream, obj), TELVAR_OK);
  std::fclose(stream);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// Reads one object from text.
inline int readText(TelvarObject* obj, const std::string& text) {
  FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  int status = TelvarObject_createFromStream(obj, stream);
  std::fclose(stream);
  return status;
}

inline std::vector<double> doubles(const TelvarObject* vec) {
  const double* p = static_cast<const double*>(vec->data);
  return std::vector<double>(p, p + vec->length);
}

inline std::vector<int> longs(const TelvarObject* vec) {
  const int32_t* p = static_cast<const int32_t*>(vec->data);
  return std::vector<int>(p, p + vec->length);
}

inline std::vector<std::string> strings(const TelvarObject* vec) {
  std::vector<std::string> out;
  char** p = static_cast<char**>(vec->data);
  for (int i = 0; i < vec->length; ++i)
    out.emplace_back(p[i]);
  return out;
}

// Borrowed element of a list.
inline TelvarObject* elem(const TelvarObject* list, int index) {
  TelvarObject* e = nullptr;
  EXPECT_EQ(TelvarList_getElement(&e, list, index), TELVAR_OK);
  return e;
}

// A cell of a case table with \n, \r, \t, \" and \\ escapes replaced.
inline std::string unescaped(const std::string& cell) {
  std::string out;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    const char c = cell[i];
    if (c != '\\' || i + 1 == cell.size()) {
      out += c;
      continue;
    }
    const char e = cell[++i];
    out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
  }
  return out;
}

// The rows of a tab-separated case table (its first line the header; '#' lines skipped), cells
// unescaped, each as long as the header.
inline std::vector<std::vector<std::string>> caseTable(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.good()) << path;
  std::vector<std::vector<std::string>> rows;
  std::size_t width = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\t');)
      cells.push_back(unescaped(cell));
    if (width == 0) {
      width = cells.size();
      continue;
    }
    cells.resize(width);
    rows.push_back(cells);
  }
  return rows;
}

}  // namespace vttest
