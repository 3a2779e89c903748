// DSAA text grids, through both readers: the fscanf-style reader of normalisation and window
// statistics (directly and as the working-grid loader) and the line-based reader of BP
// classification. A grid a reader accepts must have the shape it reports, every cell filled.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_scratch.h"
#include "grid/dsaa_lines.h"
#include "grid/dsaa_reader.h"
#include "grid/working_grid.h"

namespace {

// Reading every cell makes the sanitizers check that the matrix is as large as it claims.
template <class T>
void TouchEveryCell(T* const* rows, int rowCount, int colCount) {
    volatile double sum = 0;
    for (int r = 0; r < rowCount; ++r) {
        for (int c = 0; c < colCount; ++c) sum = sum + rows[r][c];
    }
}

void ReadAsNormalisationDoes(const char* path) {
    quarnel::DsaaGrid grid;
    if (quarnel::ReadDsaaGrid(path, &grid).ok()) {
        if (grid.nx < 1 || grid.ny < 1 || !grid.values) std::abort();
        TouchEveryCell(grid.values.get(), grid.ny, grid.nx);
    }
    quarnel::WorkingGrid working;
    if (quarnel::LoadWorkingGrid(path, &working).ok()) {
        if (working.rows != grid.ny || working.cols != grid.nx) std::abort();
        TouchEveryCell(working.values.get(), working.rows, working.cols);
    }
}

// The line reader counts every value of the file but stores only those that fit.
void ReadAsClassificationDoes(const char* path) {
    quarnel::DsaaLinesShape shape;
    if (quarnel::ProbeDsaaLines(path, shape) != quarnel::DsaaLinesStatus::ok) return;
    constexpr std::uint64_t kCapacity = 64;
    std::vector<double> values(kCapacity * 2);
    const quarnel::DsaaLineValues read = quarnel::ReadDsaaLineValues(path, values.data(), 2, kCapacity);
    if (read.status != quarnel::DsaaLinesStatus::ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = quarnel::fuzz::Scratch::Fresh().Write("grid.grd", data, size);
    ReadAsNormalisationDoes(path.c_str());
    ReadAsClassificationDoes(path.c_str());
    quarnel::fuzz::RequireUnchanged(path, data, size);
    return 0;
}
