#pragma once
// Whether a buffer of `bytes` could be had at all: not more than the machine's physical memory.
// Jobs ask before sizing buffers from counts a caller or a file gave them, so a count that no
// machine could hold fails as exhausted memory without an allocation being attempted.
#include <cstdint>

namespace quarnel {

bool WithinPhysicalMemory(std::uint64_t bytes);

}  // namespace quarnel
