#include "qmxbase/QMXChunkRows.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qmxbase/QMXMemoryStatus.h"

long qmxDefaultChunkRows() {
  const char* text = std::getenv("QMX_CHUNK_ROWS");
  if (text == nullptr || *text == '\0') return kQMXDefaultChunkRows;
  char* end = nullptr;
  errno = 0;
  const long rows = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || rows < 1) return kQMXDefaultChunkRows;
  return rows;
}

std::size_t qmxRowBytes(const QMXSchema& schema) {
  std::size_t bytes = 0;
  for (const QMXColumnInfo& column : schema)
    bytes += column.type == QMXColumnType::String ? sizeof(std::string) + 1 : sizeof(double);
  return bytes;
}

std::string qmxChunkMemoryProblem(long rows, std::size_t rowBytes) {
  const std::uint64_t available = QMXAvailableMemory();
  const std::uint64_t perRow = rowBytes > 0 ? rowBytes : 1;
  if (rows <= 0 || static_cast<std::uint64_t>(rows) <= available / perRow) return "";
  char need[64];  // may exceed 64 bits
  std::snprintf(need, sizeof need, "%.0Lf", static_cast<long double>(rows) * perRow);
  return "a chunk of " + std::to_string(rows) + " rows of " + std::to_string(perRow) +
         " bytes needs " + need + " bytes, more than the " + std::to_string(available) +
         " available";
}
