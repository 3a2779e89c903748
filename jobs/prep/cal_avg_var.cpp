#include <string>
#include <utility>

#include "jobs/frame/quarnel.h"
#include "formats/grid/dsaa_writer.h"
#include "formats/grid/grid_status.h"
#include "formats/grid/same_file.h"
#include "formats/grid/text_sink.h"
#include "formats/grid/working_grid.h"
#include "jobs/prep/prep_jobs.h"
#include "quarnel/prep.h"

namespace quarnel::prep {
namespace {

// The means and population deviations of the complete w x w windows of a grid.
struct WindowGrids {
    RowMatrix<double> mean;
    RowMatrix<double> deviation;
    int rows = 0;
    int cols = 0;
};

bool ComputeWindows(const WorkingGrid& grid, int w, WindowGrids& out) {
    out.rows = grid.rows / w;
    out.cols = grid.cols / w;
    out.mean.Reset(AllocDoubleMatrix(out.rows, out.cols), out.rows);
    out.deviation.Reset(AllocDoubleMatrix(out.rows, out.cols), out.rows);
    if (!out.mean || !out.deviation) return false;
    for (int i = 0; i < out.rows; ++i)
        for (int j = 0; j < out.cols; ++j) {
            const WindowStatistics s = StatisticsOfWindow(grid.values.get(), i * w, j * w, w, grid.blank);
            out.mean[i][j] = s.mean;
            out.deviation[i][j] = s.deviation;
        }
    return true;
}

WindowStatsReport Failure(std::string cause) {
    WindowStatsReport report;
    report.cause = std::move(cause);
    return report;
}

WindowStatsReport CalAvgVar(const char* inPath, const char* meanPath, const char* stdPath, int w) {
    if (w <= 0) return Failure("the window size " + std::to_string(w) + " is below 1");
    // Creating an output would truncate the grid about to be read; one file for both outputs
    // would keep only the deviations while reporting both written.
    if (SameExistingFile(meanPath, inPath) || SameExistingFile(stdPath, inPath))
        return Failure("an output names the input grid");
    if (SameOutputFile(meanPath, stdPath)) return Failure("the mean and deviation grids are one file");
    WorkingGrid grid;
    const GridReadResult read = LoadWorkingGrid(inPath, &grid);
    if (!read.ok()) {
        return Failure(std::string(inPath) + ": " + GridReadStatusText(read.status) + " (byte " +
                       std::to_string(read.position) + ")");
    }
    // A window larger than the grid leaves no complete window, and a grid without cells is no DSAA grid.
    if (w > grid.rows || w > grid.cols) {
        return Failure("the window size " + std::to_string(w) + " is larger than the grid of " +
                       std::to_string(grid.rows) + " x " + std::to_string(grid.cols) + " cells");
    }
    WindowGrids windows;
    if (!ComputeWindows(grid, w, windows)) return Failure("out of memory");
    // Each grid rescaled to 0..1 between its own smallest and largest value; blanks stay.
    for (double* const* values : {windows.mean.get(), windows.deviation.get()}) {
        const ValueRange range = NonBlankRange(values, windows.rows, windows.cols, grid.blank);
        for (int r = 0; r < windows.rows; ++r)
            for (int c = 0; c < windows.cols; ++c)
                if (!IsBlank(values[r][c], grid.blank))
                    values[r][c] = RescaleToUnit(values[r][c], range.low, range.high);
    }
    // Both grids are finished before either is put in place: a job that fails leaves both
    // earlier grids as they were, never a mean grid without its partner.
    TextSink mean;
    TextSink deviation;
    if (!mean.Open(meanPath, kTextFileLineEnds) || !deviation.Open(stdPath, kTextFileLineEnds))
        return Failure("cannot create " + std::string(meanPath) + " or " + stdPath);
    const bool written = WriteStatisticsDsaa(mean, windows.mean.get(), windows.rows, windows.cols) &&
                         WriteStatisticsDsaa(deviation, windows.deviation.get(), windows.rows, windows.cols);
    if (!written || !mean.Close() || !deviation.Close())
        return Failure("cannot write " + std::string(meanPath) + " or " + stdPath);
    WindowStatsReport report;
    report.status = 1;
    report.window = w;
    report.rows = windows.rows;
    report.cols = windows.cols;
    return report;
}

}  // namespace

WindowStatsReport RunCalAvgVar(const char* inPath, const char* meanPath, const char* stdPath,
                               int w) noexcept {
    try {
        return CalAvgVar(inPath, meanPath, stdPath, w);
    } catch (...) {
        return {};
    }
}

}  // namespace quarnel::prep

extern "C" QUARNEL_API int QUARNEL_CALL OnCalAvgVar(const char* inPath, const char* meanPath,
                                                    const char* stdPath, int w) {
    return quarnel::prep::RunCalAvgVar(inPath, meanPath, stdPath, w).status;
}
