// Reads the comma-separated reference tables of the tests (tests/ref/<folder>/): lines starting
// with '#' are comments (the R version), the first other line names the columns, every further
// line is one record.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

struct RefRow {
  std::map<std::string, std::string> fields;
  const std::string& text(const std::string& name) const { return fields.at(name); }
  double num(const std::string& name) const { return std::stod(fields.at(name)); }
};

// Reads tests/ref/<folder>/<name>.
inline std::vector<RefRow> readRefCsv(const std::string& folder, const std::string& name) {
  const std::string path = std::string(QMX_TEST_REF_DIR) + "/" + folder + "/" + name;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<std::string> header;
  std::vector<RefRow> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    std::stringstream cellStream(line);
    std::string cell;
    while (std::getline(cellStream, cell, ','))
      cells.push_back(cell);
    if (header.empty()) {
      header = cells;
      continue;
    }
    if (cells.size() != header.size()) throw std::runtime_error("ragged line in " + path);
    RefRow row;
    for (std::size_t colIdx = 0; colIdx < cells.size(); ++colIdx) {
      row.fields[header[colIdx]] = cells[colIdx];
    }
    rows.push_back(std::move(row));
  }
  return rows;
}
