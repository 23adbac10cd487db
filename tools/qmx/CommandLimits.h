// The limits every command checks before it reads data: the memory budget
// (--memory-budget SIZE, default 1 GiB, as QMXMemoryBudget), chunk sizes within it, and
// data files with at least one row.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <limits>
#include <string>

#include "qmxbase/QMXColumnInfo.h"
#include "qmxmisc/kinds/ModelKinds.h"

// "512M", "2G", "1024K", "65536": bytes (K, M, G, T: powers of 1024; an optional "B" or "iB"
// after them). Throws CommandError naming --memory-budget for anything else or for less
// than 1M.
std::uint64_t parseMemoryBudget(const std::string& text);

// A CLI11 validator of a count option (--chunk-rows, --max-levels): a whole number from
// `minimum` to 2^63 - 1 (no overflow, no "1e3"), else "expected a whole number [from MINIMUM]
// to ..., not 'TEXT'". Range checks that name the budget follow when the command runs.
CLI::Validator wholeNumber(long long minimum = std::numeric_limits<long long>::min());

// Adds --memory-budget SIZE to `cmd`; the value becomes the process's budget when parsed.
void addMemoryBudgetOption(CLI::App* cmd);

// "1 GiB", "76.3 MiB", "512 bytes": a byte count as a person reads it.
std::string byteText(double bytes);

// --chunk-rows: at least 1, and a chunk of `schema`'s columns within the memory budget.
// Throws CommandError naming --chunk-rows (and --memory-budget).
void checkChunkRows(long chunkRows, const QMXSchema& schema);

// --max-levels: the distinct values of one column kept by the metadata pass within the
// memory budget.
void checkMaxLevels(std::size_t maxLevels);

// "DATA has no data rows" (exit 1) when `rows` is 0.
void checkHasRows(const std::string& data, std::int64_t rows);

// The cost of a fit of `kind` (kinds/FitCost.h), before its first pass: refused, naming
// --memory-budget, when its memory exceeds the budget, and as "not enough memory" when an
// address-space limit (ulimit -v) leaves no room for it and the linear algebra library's
// work buffer; told on standard error when it reaches 64 MiB.
void checkFitCost(const ModelKind& kind, std::int64_t coefficients, long chunkRows);
