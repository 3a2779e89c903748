// Preparation methods on numpy grids: the value range, min-max rescaling and the statistics of
// the complete w x w windows, each a call of the preparation core. The Python layer composes
// them into normalize and window_stats, in memory and per dask block alike.
#include <cstdint>
#include <string>
#include <tuple>

#include "arrays.h"
#include "bindings.h"
#include "quarnel/prep.h"

namespace quarnel::python {
namespace {

std::tuple<double, double, std::int64_t> RangeOfGrid(const Array<double>& grid, double blank) {
    const std::vector<int> shape = ShapeOf(grid, 2, "grid");
    py::gil_scoped_release release;
    const std::vector<const double*> rows = RowPointers(grid.data(), shape[0], shape[1]);
    const prep::ValueRange range = prep::NonBlankRange(rows.data(), shape[0], shape[1], blank);
    return {range.low, range.high, prep::CountBlanks(rows.data(), shape[0], shape[1], blank)};
}

Array<double> RescaleGrid(const Array<double>& grid, double low, double high, double blank) {
    const std::vector<int> shape = ShapeOf(grid, 2, "grid");
    Array<double> out = NewArray<double>({shape[0], shape[1]});
    const double* in = grid.data();
    double* values = out.mutable_data();
    const std::size_t cells = std::size_t(shape[0]) * std::size_t(shape[1]);
    py::gil_scoped_release release;
    for (std::size_t s = 0; s < cells; ++s)
        values[s] = prep::IsBlank(in[s], blank) ? blank : prep::RescaleToUnit(in[s], low, high);
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
    m.def("range_of_grid", &RangeOfGrid, py::arg("grid"), py::arg("blank"),
          "(low, high, blanks) of the values not within 1 of blank; low > high when every value is blank.");
    m.def("rescale_grid", &RescaleGrid, py::arg("grid"), py::arg("low"), py::arg("high"), py::arg("blank"),
          "Each value not within 1 of blank rescaled from [low, high] to [0, 1]; blanks become blank.");
    m.def("window_tiles", &WindowTiles, py::arg("grid"), py::arg("w"), py::arg("blank"),
          "Mean and population deviation of every complete w x w window, not rescaled.");
}

}  // namespace quarnel::python
