// The reference tables of the GLM tests (tests/ref/glm).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/RefCsv.h"

using GlmRefRow = RefRow;

inline std::vector<GlmRefRow> readGlmRefCsv(const std::string& name) {
  return readRefCsv("glm", name);
}

// Rows of family_values.csv with the given `what`.
inline std::vector<GlmRefRow> familyValues(const std::string& what) {
  std::vector<GlmRefRow> selected;
  for (GlmRefRow& row : readGlmRefCsv("family_values.csv")) {
    if (row.text("what") == what) selected.push_back(std::move(row));
  }
  return selected;
}
