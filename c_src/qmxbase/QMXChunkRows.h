// The one default chunk size of every command and proc driver: 1000 rows, or the value of
// the environment variable QMX_CHUNK_ROWS when it holds a positive integer (the test suite
// runs a second time with QMX_CHUNK_ROWS=2 to find chunk-boundary faults). Only speed may
// depend on it.
#pragma once

#include <cstddef>
#include <string>

#include "qmxbase/QMXColumnInfo.h"

inline constexpr long kQMXDefaultChunkRows = 1000;

// kQMXDefaultChunkRows, or QMX_CHUNK_ROWS when set to a positive integer; any other value of
// the variable is ignored.
long qmxDefaultChunkRows();

// Bytes a row of `schema` takes in a buffer: 8 per number or level, a text handle per string.
std::size_t qmxRowBytes(const QMXSchema& schema);

// "" when `rows` rows of `rowBytes` bytes fit in the memory available (QMXAvailableMemory),
// else why not: "a chunk of <rows> rows of <rowBytes> bytes needs <n> bytes, more than the
// <m> available".
std::string qmxChunkMemoryProblem(long rows, std::size_t rowBytes);
