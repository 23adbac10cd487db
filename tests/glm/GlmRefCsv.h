// Reads the comma-separated reference tables of the GLM tests (tests/ref/glm): lines starting
// with '#' are comments (the R version), the first other line names the columns, every further
// line is one record.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

struct GlmRefRow {
  std::map<std::string, std::string> fields;
  const std::string& text(const std::string& name) const { return fields.at(name); }
  double num(const std::string& name) const { return std::stod(fields.at(name)); }
};

inline std::vector<GlmRefRow> readGlmRefCsv(const std::string& name) {
  const std::string path = std::string(QMX_TEST_REF_DIR) + "/glm/" + name;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::vector<std::string> header;
  std::vector<GlmRefRow> rows;
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
    GlmRefRow row;
    for (std::size_t colIdx = 0; colIdx < cells.size(); ++colIdx) {
      row.fields[header[colIdx]] = cells[colIdx];
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// Rows of family_values.csv with the given `what`.
inline std::vector<GlmRefRow> familyValues(const std::string& what) {
  std::vector<GlmRefRow> selected;
  for (GlmRefRow& row : readGlmRefCsv("family_values.csv")) {
    if (row.text("what") == what) selected.push_back(std::move(row));
  }
  return selected;
}
