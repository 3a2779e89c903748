#include "geo/evidence.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

namespace quarnel::geo {

Evidence::Evidence(const std::vector<std::string>& paths) {
    if (paths.empty()) throw GeoError("no evidence raster named");
    for (const std::string& path : paths) {
        rasters_.push_back(Raster::Open(path));
        RequireSameFrame(paths.front(), rasters_.front().frame(), path, rasters_.back().frame());
        const Raster& raster = rasters_.back();
        const std::string stem = std::filesystem::path(path).stem().string();
        for (int b = 1; b <= raster.BandCount(); ++b) {
            std::string name = raster.BandName(b);
            if (name.empty()) name = raster.BandCount() == 1 ? stem : stem + "_b" + std::to_string(b);
            layers_.push_back({rasters_.size() - 1, b, name});
        }
    }
}

template <class Visit>
void Evidence::ForEachStrip(Visit visit) const {
    const GridFrame& grid = frame();
    std::vector<double> values;
    for (std::size_t k = 0; k < layers_.size(); ++k) {
        const Raster& raster = rasters_[layers_[k].raster];
        const int strip = std::max(1, raster.PreferredRowCount());
        values.resize(std::size_t(strip) * std::size_t(grid.cols));
        for (int first = 0; first < grid.rows; first += strip) {
            const int count = std::min(strip, grid.rows - first);
            raster.ReadRows(layers_[k].band, first, count, values.data());
            visit(k, first, count, values.data());
        }
    }
}

std::vector<double> Evidence::ValuesAt(const std::vector<Cell>& cells) const {
    const std::size_t layers = layers_.size();
    std::vector<double> values(cells.size() * layers);
    std::vector<std::size_t> order(cells.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return cells[a] < cells[b]; });
    const std::size_t cols = std::size_t(frame().cols);
    ForEachStrip([&](std::size_t layer, int first, int count, const double* strip) {
        auto at = std::lower_bound(order.begin(), order.end(), first,
                                   [&](std::size_t i, int row) { return cells[i].row < row; });
        for (; at != order.end() && cells[*at].row < first + count; ++at) {
            const Cell& cell = cells[*at];
            values[*at * layers + layer] =
                strip[std::size_t(cell.row - first) * cols + std::size_t(cell.col)];
        }
    });
    return values;
}

Evidence::Coverage Evidence::Cover() const {
    const std::size_t cols = std::size_t(frame().cols);
    Coverage coverage;
    coverage.hasData.assign(std::size_t(frame().rows) * cols, 1);
    coverage.low.assign(layers_.size(), std::numeric_limits<double>::infinity());
    coverage.high.assign(layers_.size(), -std::numeric_limits<double>::infinity());
    ForEachStrip([&](std::size_t layer, int first, int count, const double* strip) {
        char* hasData = coverage.hasData.data() + std::size_t(first) * cols;
        for (std::size_t i = 0; i < std::size_t(count) * cols; ++i) {
            if (std::isnan(strip[i])) {
                hasData[i] = 0;
                continue;
            }
            coverage.low[layer] = std::min(coverage.low[layer], strip[i]);
            coverage.high[layer] = std::max(coverage.high[layer], strip[i]);
        }
    });
    return coverage;
}

}  // namespace quarnel::geo
