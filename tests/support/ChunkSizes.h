// The chunk sizes every chunked test runs at: 1, 2, 7 and the default, which is
// qmxDefaultChunkRows() (1000, or QMX_CHUNK_ROWS: CI runs the suite again with 2), each once.
//
//   qmxtest::forEachChunkSize([&](long rows) { EXPECT_TRUE(matchesRef(fitAt(rows), ref)); });
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "qmxbase/QMXChunkRows.h"

namespace qmxtest {

inline std::vector<long> chunkSizes() {
  std::vector<long> sizes = {1, 2, 7};
  const long defaultRows = qmxDefaultChunkRows();
  if (std::find(sizes.begin(), sizes.end(), defaultRows) == sizes.end())
    sizes.push_back(defaultRows);
  return sizes;
}

// Calls check(rows) for every chunk size, under a trace that names the size.
template <class Check>
void forEachChunkSize(Check&& check) {
  for (const long rows : chunkSizes()) {
    SCOPED_TRACE("chunk rows " + std::to_string(rows));
    check(rows);
  }
}

}  // namespace qmxtest
