// The reference tables of the distribution and clustering tests (tests/ref/numeric).
#pragma once

#include <string>
#include <vector>

#include "support/RefCsv.h"

using DistRefRow = RefRow;

inline std::vector<DistRefRow> readDistRefCsv(const std::string& name) {
  return readRefCsv("numeric", name);
}
