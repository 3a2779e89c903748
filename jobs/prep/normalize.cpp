#include <string>
#include <utility>

#include "jobs/frame/quarnel.h"
#include "formats/grid/dsaa_writer.h"
#include "formats/grid/grid_status.h"
#include "formats/grid/same_file.h"
#include "formats/grid/working_grid.h"
#include "jobs/prep/prep_jobs.h"
#include "quarnel/prep.h"

namespace quarnel::prep {
namespace {

// A binary grid brings its range in the header, even where its data lie outside it; a text
// grid's range is measured over its non-blank values.
ValueRange RangeOf(const WorkingGrid& grid) {
    if (grid.kind == GridFileKind::kvsgdb01) return {grid.zMin, grid.zMax};
    return NonBlankRange(grid.values.get(), grid.rows, grid.cols, DSAA_BLANK);
}

// Rescales the grid in place: each value is read once and then only written, so no second
// matrix is needed (8 bytes a cell, which lifts the ceiling of a 32-bit process).
void Normalize(WorkingGrid& grid, const ValueRange& range) {
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.cols; ++c) {
            const double v = grid.values[r][c];
            grid.values[r][c] = IsBlank(v, grid.blank) ? grid.blank : RescaleToUnit(v, range.low, range.high);
        }
    }
}

NormalizeReport Failure(std::string cause) {
    NormalizeReport report;
    report.cause = std::move(cause);
    return report;
}

NormalizeReport NormalizeGrid(const char* inputFile, const char* outputFile) {
    // Creating the output would truncate the grid about to be read.
    if (SameExistingFile(outputFile, inputFile)) return Failure("the output names the input grid");
    WorkingGrid grid;
    const GridReadResult read = LoadWorkingGrid(inputFile, &grid);
    if (!read.ok()) {
        return Failure(std::string(inputFile) + ": " + GridReadStatusText(read.status) + " (byte " +
                       std::to_string(read.position) + ")");
    }
    NormalizeReport report;
    report.range = RangeOf(grid);
    report.rows = grid.rows;
    report.cols = grid.cols;
    report.blanks = CountBlanks(grid.values.get(), grid.rows, grid.cols, grid.blank);
    Normalize(grid, report.range);
    if (!WriteNormalisedDsaa(outputFile, grid.values.get(), grid.rows, grid.cols))
        return Failure("cannot write " + std::string(outputFile));
    report.status = 1;
    return report;
}

}  // namespace

NormalizeReport RunNormalize(const char* inputFile, const char* outputFile) noexcept {
    try {
        return NormalizeGrid(inputFile, outputFile);
    } catch (...) {
        return {};
    }
}

}  // namespace quarnel::prep

extern "C" QUARNEL_API int QUARNEL_CALL OnDataNormalize(const char* inputFile, const char* outputFile) {
    return quarnel::prep::RunNormalize(inputFile, outputFile).status;
}
