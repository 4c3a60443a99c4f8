#pragma once

#include <cstddef>

// Number of malloc, calloc and realloc calls made in this process so far, the module's
// included: the benchmark replaces the allocator entry points and exports them.
std::size_t AllocationCount();
