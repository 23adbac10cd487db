// Memory the host lets a proc plan for: the physical memory the operating system reports
// as available, capped by a budget. A 64-bit address space is no bound, so procs that size
// their buffers from free memory ask here instead.
#pragma once

#include <cstdint>

// Bytes available to a proc: min(MemAvailable of the OS, budget). Never 0 unless the
// OS reports no memory at all.
std::uint64_t QMXAvailableMemory();

// The budget in bytes (default 1 GiB; the QMX_MEMORY_BUDGET environment variable, in
// bytes with an optional K/M/G suffix, overrides the default at first use).
std::uint64_t QMXMemoryBudget();
void QMXSetMemoryBudget(std::uint64_t bytes);
