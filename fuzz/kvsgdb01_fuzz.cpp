// KVSGDB01 binary grids: CKvbFile's header and grid reads and the working-grid loader that
// turns the grid over, then the three jobs that read them, outputs in the scratch folder. A grid
// read must fit the file, and no job may change the grid.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "jobs/frame/quarnel.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/job_inputs.h"
#include "formats/grid/kvb_file.h"
#include "formats/grid/matrix.h"
#include "formats/grid/working_grid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarnel::fuzz::Scratch& scratch = quarnel::fuzz::Scratch::Fresh();
    const std::string path = scratch.Write("grid.kvb", data, size);
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
    OnDataNormalize(path.c_str(), scratch.Path("normalised").c_str());
    OnCalAvgVar(path.c_str(), scratch.Path("mean").c_str(), scratch.Path("std").c_str(), 2);
    const std::string network = scratch.Write("network", quarnel::fuzz::kOneInputNetwork);
    OnBPClass(network.c_str(), scratch.Path("class").c_str(), (path + "*").c_str(), "0*");
    quarnel::fuzz::RequireUnchanged(path, data, size);
    return 0;
}
