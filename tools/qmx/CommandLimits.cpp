#include "CommandLimits.h"

#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>

#include "Commands.h"
#include "qmxbase/QMXMemoryStatus.h"
#include "qmxmisc/kinds/FitCost.h"

namespace {

constexpr std::uint64_t kMinimumBudget = std::uint64_t{1} << 20;
constexpr std::uint64_t kMaximumBudget = std::uint64_t{1} << 50;

// The bytes a chunk holds per row of a column: a number (doubles and factor codes) or a text.
constexpr double kNumberCell = 8;
constexpr double kTextCell = 40;
// A distinct value the metadata pass keeps: its text, count and index entry.
constexpr double kLevelBytes = 96;

#ifndef QMX_BLAS_WORK_BUFFER_MIB
#define QMX_BLAS_WORK_BUFFER_MIB 0
#endif
// The work buffer the linear algebra library maps on its first use by a fit; when the
// address-space limit leaves no room for it, the library retries the mapping forever.
constexpr double kBlasWorkBytes = QMX_BLAS_WORK_BUFFER_MIB * double(1 << 20);
// Room for the pipeline's buffers and allocator slack besides the fit's own estimate.
constexpr double kFitSlackBytes = 16.0 * (1 << 20);

// The process's mapped address space, from /proc/self/statm; 0 when unknown.
double mappedBytes() {
  std::ifstream statm("/proc/self/statm");
  double pages = 0;
  if (!(statm >> pages)) return 0;
  return pages * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

// Under an address-space limit (ulimit -v): the fit's memory, the library's work buffer and
// slack must fit in what the limit leaves.
void checkAddressSpace(const FitCost& cost) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
  const double left = static_cast<double>(limit.rlim_cur) - mappedBytes();
  const double needed = cost.memoryBytes() + kBlasWorkBytes + kFitSlackBytes;
  if (needed <= left) return;
  throw CommandError("not enough memory: the address-space limit (ulimit -v) of " +
                     byteText(static_cast<double>(limit.rlim_cur)) + " leaves " +
                     byteText(std::max(left, 0.0)) + ", and the fit needs about " +
                     byteText(needed) + " (" + byteText(kBlasWorkBytes) +
                     " of them for the linear algebra library's work buffer)");
}

// A fit that needs this much memory is told before it starts.
constexpr double kToldFitBytes = 64.0 * (1 << 20);

[[noreturn]] void badBudget(const std::string& text) {
  throw CommandError(
      "--memory-budget takes a size from 1M to 1024T, such as 512M or 2G, not '" + text + "'",
      kExitUsage);
}

}  // namespace

std::uint64_t parseMemoryBudget(const std::string& text) {
  std::size_t end = 0;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9')
    ++end;
  if (end == 0 || end > 16) badBudget(text);
  std::uint64_t value = std::stoull(text.substr(0, end));
  std::string unit = text.substr(end);
  for (const char* tail : {"iB", "B"})
    if (unit.size() > 1 && unit.ends_with(tail)) {
      unit.resize(unit.size() - std::string(tail).size());
      break;
    }
  int shift = 0;
  if (unit == "K" || unit == "k")
    shift = 10;
  else if (unit == "M" || unit == "m")
    shift = 20;
  else if (unit == "G" || unit == "g")
    shift = 30;
  else if (unit == "T" || unit == "t")
    shift = 40;
  else if (!unit.empty())
    badBudget(text);
  if (value > (kMaximumBudget >> shift)) badBudget(text);
  value <<= shift;
  if (value < kMinimumBudget) badBudget(text);
  return value;
}

CLI::Validator wholeNumber(long long minimum) {
  return CLI::Validator(
      [minimum](std::string& text) -> std::string {
        long long value = 0;
        const char* end = text.data() + text.size();
        const auto [ptr, error] = std::from_chars(text.data(), end, value);
        if (error == std::errc() && ptr == end && value >= minimum) return "";
        const bool bounded = minimum > std::numeric_limits<long long>::min();
        return "expected a whole number " +
               (bounded ? "from " + std::to_string(minimum) + " " : std::string()) + "up to " +
               std::to_string(std::numeric_limits<long long>::max()) + ", not '" + text + "'";
      },
      "", "wholeNumber");
}

void addMemoryBudgetOption(CLI::App* cmd) {
  cmd->add_option_function<std::string>(
         "--memory-budget",
         [](const std::string& text) { QMXSetMemoryBudget(parseMemoryBudget(text)); },
         "Most memory to plan for, e.g. 512M or 2G (default 1G)")
      ->type_name("SIZE");
}

std::string byteText(double bytes) {
  static const char* const units[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  int unit = 0;
  while (bytes >= 1024 && unit < 6) {
    bytes /= 1024;
    ++unit;
  }
  char text[48];
  if (unit == 0 || std::fabs(bytes - std::round(bytes)) < 0.05)
    std::snprintf(text, sizeof text, "%.0f %s", bytes, units[unit]);
  else
    std::snprintf(text, sizeof text, "%.1f %s", bytes, units[unit]);
  return text;
}

void checkChunkRows(long chunkRows, const QMXSchema& schema) {
  if (chunkRows < 1)
    throw CommandError("--chunk-rows must be at least 1, not " + std::to_string(chunkRows),
                       kExitUsage);
  double rowBytes = 0;
  for (const QMXColumnInfo& column : schema)
    rowBytes += column.type == QMXColumnType::String ? kTextCell : kNumberCell;
  const double bytes = static_cast<double>(chunkRows) * std::max(rowBytes, kNumberCell);
  const auto budget = static_cast<double>(QMXMemoryBudget());
  if (bytes > budget)
    throw CommandError("--chunk-rows " + std::to_string(chunkRows) + ": a chunk of " +
                       std::to_string(schema.size()) + " columns needs " + byteText(bytes) +
                       ", more than the memory budget of " + byteText(budget) +
                       " (--memory-budget)");
}

void checkMaxLevels(std::size_t maxLevels) {
  const double bytes = static_cast<double>(maxLevels) * kLevelBytes;
  const auto budget = static_cast<double>(QMXMemoryBudget());
  if (bytes > budget)
    throw CommandError("--max-levels " + std::to_string(maxLevels) + ": keeping that many " +
                       "distinct values of a column needs about " + byteText(bytes) +
                       ", more than the memory budget of " + byteText(budget) +
                       " (--memory-budget)");
}

void checkHasRows(const std::string& data, std::int64_t rows) {
  if (rows == 0) throw CommandError(data + " has no data rows");
}

void checkFitCost(const ModelKind& kind, std::int64_t coefficients, long chunkRows) {
  const FitCost cost = estimateFitCost(kind, coefficients, chunkRows);
  const std::string p = std::to_string(coefficients);
  const std::string parts = byteText(cost.chunkBytes) + " per chunk of " +
                            std::to_string(chunkRows) + " rows, " + byteText(cost.stateBytes) +
                            " for the fit's " + p + " x " + p + " state and " +
                            byteText(cost.documentBytes) + " for the document";
  const auto budget = static_cast<double>(QMXMemoryBudget());
  if (cost.memoryBytes() > budget)
    throw CommandError(
        "a fit of " + p + " coefficients needs about " + byteText(cost.memoryBytes()) + " (" +
        parts + "), more than the memory budget of " + byteText(budget) + " (--memory-budget)");
  checkAddressSpace(cost);
  if (cost.memoryBytes() >= kToldFitBytes)
    std::fprintf(stderr, "qmx fit: %s coefficients; about %s\n", p.c_str(), parts.c_str());
}
