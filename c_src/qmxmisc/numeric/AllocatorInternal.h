// Helpers shared by the numeric allocators, not used beyond this folder.
#pragma once

#include <cstddef>

// Throws QMXMemoryException(bytes) for a request no process can satisfy.
void checkAllocationSize(std::size_t bytes);
