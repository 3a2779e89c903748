// Preparation methods on numpy grids: the value range, min-max rescaling and the statistics of
// the complete w x w windows, each a call of the preparation core. The Python layer composes
// them into normalize and window_stats, in memory and per dask block alike. Range and rescaling
// take the caller's no-data (NaN, and a value exactly) and pass over the grid once each, so
// normalising costs two reads of the grid and one result.
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

// A cell is no data when it is NaN or equals noData exactly (the rule of every source but the
// design's grids, whose "within 1 of the blank" stays with the design's jobs).
inline bool IsNoData(double v, const std::optional<double>& noData) {
    return std::isnan(v) || (noData && v == *noData);
}

// The smallest and largest data value of a grid of any shape, with the row-order index of the first
// cell holding each (which decides the sign of a zero at either end when blocks are combined), as
// prep::NonBlankRange keeps them; low > high and indices -1 when there is no data. ValueError for an
// infinite value, which is neither data nor no data.
std::tuple<double, std::int64_t, double, std::int64_t> GridRange(const Array<double>& grid,
                                                                 std::optional<double> noData) {
    const double* in = grid.data();
    const std::size_t cells = std::size_t(grid.size());
    prep::ValueRange range;
    std::int64_t lowAt = -1;
    std::int64_t highAt = -1;
    bool infinite = false;
    {
        py::gil_scoped_release release;
        for (std::size_t s = 0; s < cells; ++s) {
            const double v = in[s];
            if (IsNoData(v, noData)) continue;
            infinite |= std::isinf(v);
            if (v < range.low) {
                range.low = v;
                lowAt = std::int64_t(s);
            }
            if (v > range.high) {
                range.high = v;
                highAt = std::int64_t(s);
            }
        }
    }
    if (infinite) throw py::value_error("the grid holds infinite values");
    return {range.low, lowAt, range.high, highAt};
}

// Each data value rescaled from [low, high] to [0, 1] (prep::RescaleToUnit); no-data cells hold fill.
Array<double> RescaleGrid(const Array<double>& grid, double low, double high, std::optional<double> noData,
                          double fill) {
    std::vector<py::ssize_t> shape(grid.shape(), grid.shape() + grid.ndim());
    Array<double> out = NewArray<double>(std::move(shape));
    const double* in = grid.data();
    double* values = out.mutable_data();
    const std::size_t cells = std::size_t(grid.size());
    py::gil_scoped_release release;
    for (std::size_t s = 0; s < cells; ++s)
        values[s] = IsNoData(in[s], noData) ? fill : prep::RescaleToUnit(in[s], low, high);
    return out;
}

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
    const std::vector<const double*> values = RowPointers(grid.data(), shape[0], shape[1]);
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            const prep::WindowStatistics s = prep::StatisticsOfWindow(values.data(), i * w, j * w, w, blank);
            means[std::size_t(i) * std::size_t(cols) + std::size_t(j)] = s.mean;
            deviations[std::size_t(i) * std::size_t(cols) + std::size_t(j)] = s.deviation;
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
          "Mean and population deviation of every complete w x w window, not rescaled.");
}

}  // namespace quarnel::python
