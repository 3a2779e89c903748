// Preparation methods on numpy grids: the value range, min-max rescaling and the statistics of
// the complete w x w windows, each a call of the preparation core. The Python layer composes
// them into normalize and window_stats, in memory and per dask block alike. Range and rescaling
// take the caller's no-data (NaN, and a value exactly) and pass over the grid once each, so
// normalising costs two reads of the grid and one result.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "arrays.h"
#include "bindings.h"
#include "quarnel/prep.h"

namespace quarnel::python {
namespace {

// A cell is no data when it is NaN or equals the no-data value exactly (the rule of every source
// but the design's grids, whose "within 1 of the blank" stays with the design's jobs). Without a
// no-data value the comparison is with NaN, which nothing equals.
double NoDataOrNaN(const std::optional<double>& noData) {
    return noData ? *noData : std::nan("");
}

// The first cell of values[0, cells) holding the data value equal to `value` (its sign, for a
// zero), or -1.
std::int64_t FirstCellHolding(const double* values, std::size_t cells, double value, double noData) {
    for (std::size_t s = 0; s < cells; ++s)
        if (values[s] == value && values[s] != noData) return std::int64_t(s);
    return -1;
}

// The lanes of a range scan: independent running ranges of plain selects, which the compiler
// turns into vector min and max. NaN compares false and is passed over; with kSkip a cell equal
// to skip (the no-data value) leaves its lane as it was.
template <bool kSkip>
struct RangeLanes {
    static constexpr std::size_t kLanes = 4;
    double low[kLanes];
    double high[kLanes];

    RangeLanes() {
        for (std::size_t k = 0; k < kLanes; ++k) {
            low[k] = prep::ValueRange{}.low;
            high[k] = prep::ValueRange{}.high;
        }
    }
    void Fold(std::size_t k, double x, double skip) {
        const double v = kSkip && x == skip ? low[k] : x;
        const double w = kSkip && x == skip ? high[k] : x;
        low[k] = v < low[k] ? v : low[k];
        high[k] = w > high[k] ? w : high[k];
    }
    void Scan(const double* in, std::size_t cells, double skip) {
        std::size_t s = 0;
        for (; s + kLanes <= cells; s += kLanes)
            for (std::size_t k = 0; k < kLanes; ++k) Fold(k, in[s + k], skip);
        for (; s < cells; ++s) Fold(0, in[s], skip);
    }
    prep::ValueRange Range() const {
        prep::ValueRange range;
        for (std::size_t k = 0; k < kLanes; ++k) {
            range.low = low[k] < range.low ? low[k] : range.low;
            range.high = high[k] > range.high ? high[k] : range.high;
        }
        return range;
    }
};

template <bool kSkip>
prep::ValueRange ScanRange(const double* in, std::size_t cells, double skip) {
    RangeLanes<kSkip> lanes;
    lanes.Scan(in, cells, skip);
    return lanes.Range();
}

// The smallest and largest data value of a grid of any shape, as prep::NonBlankRange keeps them:
// of equal values the first in row order, which matters only for a zero (its sign). For a zero
// at either end the index of the first cell holding it is given, so blocks can be combined in
// row order; otherwise 0. Indices are -1 and low > high when there is no data. ValueError for an
// infinite value (which would be an end of the range): it is neither data nor no data.
std::tuple<double, std::int64_t, double, std::int64_t> GridRange(const Array<double>& grid,
                                                                 std::optional<double> noData) {
    const double* in = grid.data();
    const std::size_t cells = std::size_t(grid.size());
    const double skip = NoDataOrNaN(noData);
    prep::ValueRange range;
    {
        py::gil_scoped_release release;
        range = noData ? ScanRange<true>(in, cells, skip) : ScanRange<false>(in, cells, skip);
    }
    if (std::isinf(range.low) || std::isinf(range.high))
        throw py::value_error("the grid holds infinite values");
    if (range.low > range.high) return {range.low, -1, range.high, -1};
    std::int64_t lowAt = 0;
    std::int64_t highAt = 0;
    if (range.low == 0) {
        lowAt = FirstCellHolding(in, cells, 0.0, skip);
        range.low = in[lowAt];
    }
    if (range.high == 0) {
        highAt = FirstCellHolding(in, cells, 0.0, skip);
        range.high = in[highAt];
    }
    return {range.low, lowAt, range.high, highAt};
}

// out[s] = (in[s] - low) / width, or fill for no data: NaN, or (with kSkip) equal to skip. NaN
// in gives NaN out by itself, so without kSkip a NaN fill needs no select.
template <bool kSkip, bool kSelect>
void RescaleCells(const double* in, double* out, std::size_t cells, double low, double width, double skip,
                  double fill) {
    for (std::size_t s = 0; s < cells; ++s) {
        const double v = in[s];
        const double rescaled = (v - low) / width;
        out[s] = kSelect && ((v != v) | (kSkip && v == skip)) ? fill : rescaled;
    }
}

// Each data value rescaled from [low, high] to [0, 1] as prep::RescaleToUnit rescales it (the
// constant case hoisted, so the loop has no branch); no-data cells hold fill.
Array<double> RescaleGrid(const Array<double>& grid, double low, double high, std::optional<double> noData,
                          double fill) {
    std::vector<py::ssize_t> shape(grid.shape(), grid.shape() + grid.ndim());
    Array<double> out = NewArray<double>(std::move(shape));
    const double* in = grid.data();
    double* values = out.mutable_data();
    const std::size_t cells = std::size_t(grid.size());
    const double skip = NoDataOrNaN(noData);
    py::gil_scoped_release release;
    if (high == low) {
        for (std::size_t s = 0; s < cells; ++s) values[s] = (in[s] != in[s]) | (in[s] == skip) ? fill : 0.0;
    } else if (noData) {
        RescaleCells<true, true>(in, values, cells, low, high - low, skip, fill);
    } else if (std::isnan(fill)) {
        RescaleCells<false, false>(in, values, cells, low, high - low, skip, fill);
    } else {
        RescaleCells<false, true>(in, values, cells, low, high - low, skip, fill);
    }
    return out;
}

// The mean and deviation of every complete w x w window, tiled as the window-stats command tiles
// a north-up grid: from the south-west corner (the last row, the first column), each window's
// rows handed to the core south first (which fixes the order of its sums), so the rows % w
// northern rows that complete no window are left out. Results are north up.
std::tuple<Array<double>, Array<double>> WindowTiles(const Array<double>& grid, int w, double blank) {
    const std::vector<int> shape = ShapeOf(grid, 2, "grid");
    if (w < 1) throw py::value_error("the window size " + std::to_string(w) + " is below 1");
    if (w > shape[0] || w > shape[1])
        throw py::value_error("the window size " + std::to_string(w) + " is larger than the grid of " +
                              std::to_string(shape[0]) + " x " + std::to_string(shape[1]) + " cells");
    const int rows = shape[0] / w;
    const int cols = shape[1] / w;
    Array<double> mean = NewArray<double>({rows, cols});
    Array<double> deviation = NewArray<double>({rows, cols});
    double* means = mean.mutable_data();
    double* deviations = deviation.mutable_data();
    py::gil_scoped_release release;
    std::vector<const double*> southFirst = RowPointers(grid.data(), shape[0], shape[1]);
    std::reverse(southFirst.begin(), southFirst.end());
    for (int i = 0; i < rows; ++i) {
        const std::size_t outRow = std::size_t(rows - 1 - i) * std::size_t(cols);
        for (int j = 0; j < cols; ++j) {
            const prep::WindowStatistics s =
                prep::StatisticsOfWindow(southFirst.data(), i * w, j * w, w, blank);
            means[outRow + std::size_t(j)] = s.mean;
            deviations[outRow + std::size_t(j)] = s.deviation;
        }
    }
    return {mean, deviation};
}

}  // namespace

void BindPrep(py::module_& m) {
    m.def("grid_range", &GridRange, py::arg("grid"), py::arg("nodata"),
          "(low, its first index, high, its first index) of the values neither NaN nor equal to nodata.");
    m.def("rescale_grid", &RescaleGrid, py::arg("grid"), py::arg("low"), py::arg("high"), py::arg("nodata"),
          py::arg("fill"), "Each data value rescaled from [low, high] to [0, 1]; no-data cells hold fill.");
    m.def("window_tiles", &WindowTiles, py::arg("grid"), py::arg("w"), py::arg("blank"),
          "Mean and population deviation of every complete w x w window tiled from the last row and first "
          "column (the northern rows % w rows left out), not rescaled.");
}

}  // namespace quarnel::python
