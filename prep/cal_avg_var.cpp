#include "frame/quarnel.h"
#include "grid/dsaa_writer.h"
#include "grid/same_file.h"
#include "grid/text_sink.h"
#include "grid/working_grid.h"
#include "prep/job_guard.h"
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

int CalAvgVar(const char* inPath, const char* meanPath, const char* stdPath, int w) {
    if (w <= 0) return 0;
    // Creating an output would truncate the grid about to be read; one file for both outputs
    // would keep only the deviations while reporting both written.
    if (SameExistingFile(meanPath, inPath) || SameExistingFile(stdPath, inPath) ||
        SameOutputFile(meanPath, stdPath))
        return 0;
    WorkingGrid grid;
    if (!LoadWorkingGrid(inPath, &grid).ok()) return 0;
    // A window larger than the grid leaves no complete window, and a grid without cells is no DSAA grid.
    if (w > grid.rows || w > grid.cols) return 0;
    WindowGrids windows;
    if (!ComputeWindows(grid, w, windows)) return 0;
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
    if (!mean.Open(meanPath, kTextFileLineEnds) || !deviation.Open(stdPath, kTextFileLineEnds)) return 0;
    const bool written = WriteStatisticsDsaa(mean, windows.mean.get(), windows.rows, windows.cols) &&
                         WriteStatisticsDsaa(deviation, windows.deviation.get(), windows.rows, windows.cols);
    return written && mean.Close() && deviation.Close() ? 1 : 0;
}

}  // namespace
}  // namespace quarnel::prep

extern "C" QUARNEL_API int QUARNEL_CALL OnCalAvgVar(const char* inPath, const char* meanPath,
                                                    const char* stdPath, int w) {
    return quarnel::prep::GuardJob(0, [&] { return quarnel::prep::CalAvgVar(inPath, meanPath, stdPath, w); });
}
