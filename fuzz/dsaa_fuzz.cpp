// DSAA text grids, through both readers: the fscanf-style reader of normalisation and window
// statistics (directly and as the working-grid loader) and the line-based reader of BP
// classification; then through the three jobs that read them, outputs in the scratch folder.
// A grid a reader accepts must have the shape it reports, and no job may change the grid.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "jobs/frame/quarnel.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/job_inputs.h"
#include "formats/grid/dsaa_lines.h"
#include "formats/grid/dsaa_reader.h"
#include "formats/grid/working_grid.h"

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
    double* const block = values.data();
    const quarnel::DsaaLineValues read = quarnel::ReadDsaaLineValues(path, {&block, kCapacity, 2, kCapacity});
    // A line-read grid is refused only for an endless line or a value that is not finite.
    if (read.status != quarnel::DsaaLinesStatus::ok &&
        read.status != quarnel::DsaaLinesStatus::line_too_long &&
        read.status != quarnel::DsaaLinesStatus::not_finite)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarnel::fuzz::Scratch& scratch = quarnel::fuzz::Scratch::Fresh();
    const std::string path = scratch.Write("grid.grd", data, size);
    ReadAsNormalisationDoes(path.c_str());
    ReadAsClassificationDoes(path.c_str());
    OnDataNormalize(path.c_str(), scratch.Path("normalised").c_str());
    OnCalAvgVar(path.c_str(), scratch.Path("mean").c_str(), scratch.Path("std").c_str(), 2);
    const std::string network = scratch.Write("network", quarnel::fuzz::kOneInputNetwork);
    OnBPClass(network.c_str(), scratch.Path("class").c_str(), (path + "*").c_str(), "1*");
    quarnel::fuzz::RequireUnchanged(path, data, size);
    return 0;
}
