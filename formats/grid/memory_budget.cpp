#include "formats/grid/memory_budget.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>
#endif

namespace quarnel {
namespace {

#if !defined(_WIN32)
// The first number after `key` in a text file such as /proc/meminfo, or UINT64_MAX.
std::uint64_t NumberAfter(const char* path, const std::string& key) {
    std::ifstream file(path);
    std::string word;
    while (file >> word) {
        if (word != key) continue;
        std::uint64_t value = 0;
        if (file >> value) return value;
        break;
    }
    return UINT64_MAX;
}

// A control group's limit less what it already uses ("max" when there is none).
std::uint64_t CgroupRoom() {
    std::ifstream limitFile("/sys/fs/cgroup/memory.max");
    std::uint64_t limit = 0;
    std::uint64_t used = 0;
    if (!(limitFile >> limit)) return UINT64_MAX;
    std::ifstream usedFile("/sys/fs/cgroup/memory.current");
    if (!(usedFile >> used)) return limit;
    return limit > used ? limit - used : 0;
}
#endif

// Bytes the process can still allocate: available physical memory, capped by its address-space
// and control-group limits where it has them.
std::uint64_t AvailableMemoryBytes() {
#if defined(_WIN32)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;
    // A 32-bit process runs out of address space long before the machine runs out of memory.
    return std::min<std::uint64_t>(status.ullAvailPhys, status.ullAvailVirtual);
#else
    // MemAvailable is in KiB; without it, the machine's physical memory.
    std::uint64_t room = NumberAfter("/proc/meminfo", "MemAvailable:");
    if (room != UINT64_MAX) {
        room *= 1024;
    } else if (const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
               pages > 0 && pageSize > 0) {
        room = std::uint64_t(pages) * std::uint64_t(pageSize);
    }
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        room = std::min<std::uint64_t>(room, limit.rlim_cur);
    return std::min(room, CgroupRoom());
#endif
}

}  // namespace

MemoryBudget& MemoryBudget::Add(std::int64_t count, std::uint64_t elementSize) {
    if (count < 0 || (count > 0 && elementSize > UINT64_MAX / std::uint64_t(count))) {
        impossible_ = true;
        return *this;
    }
    const std::uint64_t bytes = std::uint64_t(count) * elementSize;
    if (bytes > UINT64_MAX - bytes_) impossible_ = true;
    bytes_ += bytes;
    return *this;
}

MemoryBudget& MemoryBudget::Add(std::int64_t rows, std::int64_t cols, std::uint64_t elementSize) {
    if (rows < 0 || cols < 0 || (rows > 0 && cols > INT64_MAX / rows)) {
        impossible_ = true;
        return *this;
    }
    return Add(rows * cols, elementSize);
}

bool MemoryBudget::Fits() const {
    return !impossible_ && bytes_ <= AvailableMemoryBytes();
}

}  // namespace quarnel
