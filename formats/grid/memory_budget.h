#pragma once
// The memory a job sizes from counts a caller or a file gave it, asked for as a whole before
// any of it is allocated. The sum of every such buffer must fit the memory the process can have
// now (the smaller of the memory available on the machine and the process's own limits), so a
// count no machine could serve fails as exhausted memory without gigabytes being touched first.
#include <cstdint>

namespace quarnel {

class MemoryBudget {
  public:
    // count values of elementSize bytes; a negative count or a sum past 2^64 never fits.
    MemoryBudget& Add(std::int64_t count, std::uint64_t elementSize);
    MemoryBudget& Add(std::int64_t rows, std::int64_t cols, std::uint64_t elementSize);
    bool Fits() const;

  private:
    std::uint64_t bytes_ = 0;
    bool impossible_ = false;
};

}  // namespace quarnel
