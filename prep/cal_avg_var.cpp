#include <cmath>

#include "frame/quarnel.h"
#include "grid/dsaa_writer.h"
#include "grid/same_file.h"
#include "grid/text_sink.h"
#include "grid/working_grid.h"
#include "prep/job_guard.h"
#include "prep/unit_range.h"

namespace quarnel::prep {
namespace {

// The means and population deviations of the complete w x w windows of a grid.
struct WindowGrids {
    RowMatrix<double> mean;
    RowMatrix<double> deviation;
    int rows = 0;
    int cols = 0;
};

struct Window {
    const WorkingGrid& grid;
    int top;
    int left;
    int w;

    template <class Visit>
    void ForEachValue(Visit visit) const {
        for (int r = top; r < top + w; ++r)
            for (int c = left; c < left + w; ++c) visit(grid.values[r][c]);
    }
};

// Mean and deviation of one window, or the blank value for both when more than half of its
// values are blank. Sums run in row-major order within the window.
void ComputeWindow(const Window& window, double& mean, double& deviation) {
    const double blank = window.grid.blank;
    long long blanks = 0;
    double sum = 0;
    window.ForEachValue([&](double v) {
        if (IsBlank(v, blank))
            ++blanks;
        else
            sum += v;
    });
    const long long cells = static_cast<long long>(window.w) * window.w;
    if (blanks > cells / 2) {
        mean = deviation = blank;
        return;
    }
    const double n = static_cast<double>(cells - blanks);
    const double m = sum / n;
    double squares = 0;
    window.ForEachValue([&](double v) {
        if (IsBlank(v, blank)) return;
        const double d = v - m;
        squares += d * d;
    });
    mean = m;
    deviation = std::sqrt(squares / n);
}

bool ComputeWindows(const WorkingGrid& grid, int w, WindowGrids& out) {
    out.rows = grid.rows / w;
    out.cols = grid.cols / w;
    out.mean.Reset(AllocDoubleMatrix(out.rows, out.cols), out.rows);
    out.deviation.Reset(AllocDoubleMatrix(out.rows, out.cols), out.rows);
    if (!out.mean || !out.deviation) return false;
    for (int i = 0; i < out.rows; ++i)
        for (int j = 0; j < out.cols; ++j)
            ComputeWindow({grid, i * w, j * w, w}, out.mean[i][j], out.deviation[i][j]);
    return true;
}

// Rescales the non-blank values to 0..1 between their own smallest and largest value.
void RescaleNonBlank(double* const* values, int rows, int cols, double blank) {
    double low = 1e308, high = -1e308;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const double v = values[r][c];
            if (IsBlank(v, blank)) continue;
            if (v < low) low = v;
            if (v > high) high = v;
        }
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (!IsBlank(values[r][c], blank)) values[r][c] = RescaleToUnit(values[r][c], low, high);
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
    RescaleNonBlank(windows.mean.get(), windows.rows, windows.cols, grid.blank);
    RescaleNonBlank(windows.deviation.get(), windows.rows, windows.cols, grid.blank);
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
