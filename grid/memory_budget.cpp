#include "grid/memory_budget.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace quarnel {
namespace {

std::uint64_t PhysicalMemoryBytes() {
#if defined(_WIN32)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;
    return status.ullTotalPhys;
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return UINT64_MAX;
    return std::uint64_t(pages) * std::uint64_t(pageSize);
#endif
}

}  // namespace

bool WithinPhysicalMemory(std::uint64_t bytes) {
    static const std::uint64_t limit = PhysicalMemoryBytes();
    return bytes <= limit;
}

}  // namespace quarnel
