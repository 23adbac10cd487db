#include "qmxbase/QMXChunkRows.h"

#include <cerrno>
#include <cstdlib>

long qmxDefaultChunkRows() {
  const char* text = std::getenv("QMX_CHUNK_ROWS");
  if (text == nullptr || *text == '\0') return kQMXDefaultChunkRows;
  char* end = nullptr;
  errno = 0;
  const long rows = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || rows < 1) return kQMXDefaultChunkRows;
  return rows;
}
