// Reads the comma-separated reference tables of the tests (tests/ref/<folder>/): lines starting
// with '#' are comments (the R version), the first other line names the columns, every further
// line is one record. "NA" reads as NaN.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

struct RefRow {
  std::map<std::string, std::string> fields;
  const std::string& text(const std::string& name) const { return fields.at(name); }
  double num(const std::string& name) const { return refNumber(fields.at(name)); }
  // strtod, not stod: stod refuses subnormal numbers.
  static double refNumber(const std::string& cell) {
    if (cell == "NA") return std::numeric_limits<double>::quiet_NaN();
    char* end = nullptr;
    const double x = std::strtod(cell.c_str(), &end);
    if (end == cell.c_str() || *end != '\0') throw std::invalid_argument("not a number: " + cell);
    return x;
  }
};

// The header and the records of the table at `path`, cell by cell.
inline std::vector<std::vector<std::string>> readRefCells(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<std::vector<std::string>> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    std::stringstream cellStream(line);
    std::string cell;
    while (std::getline(cellStream, cell, ','))
      cells.push_back(cell);
    if (line.back() == ',') cells.emplace_back();
    if (!lines.empty() && cells.size() != lines[0].size())
      throw std::runtime_error("ragged line in " + path);
    lines.push_back(std::move(cells));
  }
  if (lines.empty()) throw std::runtime_error("no header in " + path);
  return lines;
}

inline std::string refPath(const std::string& folder, const std::string& name) {
  return std::string(QMX_TEST_REF_DIR) + "/" + folder + "/" + name;
}

// The bytes of tests/ref/<folder>/<name> (expected documents compared whole).
inline std::string readRefText(const std::string& folder, const std::string& name) {
  std::ifstream in(refPath(folder, name), std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + refPath(folder, name));
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Reads tests/ref/<folder>/<name> as named records.
inline std::vector<RefRow> readRefCsv(const std::string& folder, const std::string& name) {
  const std::vector<std::vector<std::string>> lines = readRefCells(refPath(folder, name));
  std::vector<RefRow> rows;
  for (std::size_t lineIdx = 1; lineIdx < lines.size(); ++lineIdx) {
    RefRow row;
    for (std::size_t colIdx = 0; colIdx < lines[0].size(); ++colIdx)
      row.fields[lines[0][colIdx]] = lines[lineIdx][colIdx];
    rows.push_back(std::move(row));
  }
  return rows;
}

// Reads the records of tests/ref/<folder>/<name> as numbers, in file order.
inline std::vector<std::vector<double>> readRefNumbers(const std::string& folder,
                                                       const std::string& name) {
  const std::vector<std::vector<std::string>> lines = readRefCells(refPath(folder, name));
  std::vector<std::vector<double>> records;
  for (std::size_t lineIdx = 1; lineIdx < lines.size(); ++lineIdx) {
    std::vector<double> record;
    for (const std::string& cell : lines[lineIdx])
      record.push_back(RefRow::refNumber(cell));
    records.push_back(std::move(record));
  }
  return records;
}
