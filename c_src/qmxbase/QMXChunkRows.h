// The one default chunk size of every command and proc driver: 1000 rows, or the value of
// the environment variable QMX_CHUNK_ROWS when it holds a positive integer (the test suite
// runs a second time with QMX_CHUNK_ROWS=2 to find chunk-boundary faults). Only speed may
// depend on it.
#pragma once

inline constexpr long kQMXDefaultChunkRows = 1000;

// kQMXDefaultChunkRows, or QMX_CHUNK_ROWS when set to a positive integer; any other value of
// the variable is ignored.
long qmxDefaultChunkRows();
