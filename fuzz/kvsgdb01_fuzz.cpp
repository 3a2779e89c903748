// KVSGDB01 binary grids: CKvbFile's header and grid reads and the working-grid loader that
// turns the grid over. A grid read must have the header's shape, every row fully there.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_scratch.h"
#include "grid/kvb_file.h"
#include "grid/matrix.h"
#include "grid/working_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = quarnel::fuzz::Scratch::Fresh().Write("grid.kvb", data, size);
    quarnel::CKvbFile kvb;
    quarnel::KvbGridHeader header;
    std::memset(&header, 0x5A, sizeof header);
    kvb.ReadHeader(path.c_str(), &header);
    float** grid = kvb.ReadGrid(path.c_str(), &header);
    if (grid != nullptr) {
        if (header.rows < 1 || header.cols < 1) std::abort();
        const std::uint64_t needed = quarnel::kKvbHeaderSize + std::uint64_t(header.rows) * header.cols * 4;
        if (needed > size) std::abort();
        volatile float last = grid[header.rows - 1][header.cols - 1];
        (void)last;
        quarnel::FreeRowMatrix(grid, header.rows);
    }
    quarnel::WorkingGrid working;
    if (quarnel::LoadWorkingGrid(path.c_str(), &working).ok()) {
        volatile double corner = working.values[std::size_t(working.rows - 1)][working.cols - 1];
        (void)corner;
    }
    quarnel::fuzz::RequireUnchanged(path, data, size);
    return 0;
}
