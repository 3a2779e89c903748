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

std::vector<double> Evidence::ValuesAt(const std::vector<Cell>& cells) const {
    const std::size_t layers = layers_.size();
    std::vector<double> values(cells.size() * layers);
    std::vector<std::size_t> order(cells.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return cells[a] < cells[b]; });
    const GridFrame& grid = frame();
    const std::size_t cols = std::size_t(grid.cols);
    std::vector<double> strip;
    for (std::size_t k = 0; k < layers; ++k) {
        const Raster& raster = rasters_[layers_[k].raster];
        const int height = std::max(1, raster.PreferredRowCount());
        strip.resize(std::size_t(height) * cols);
        for (auto at = order.begin(); at != order.end();) {
            const int first = cells[*at].row / height * height;
            const int count = std::min(height, grid.rows - first);
            raster.ReadRows(layers_[k].band, first, count, strip.data());
            for (; at != order.end() && cells[*at].row < first + count; ++at) {
                const Cell& cell = cells[*at];
                values[*at * layers + k] =
                    strip[std::size_t(cell.row - first) * cols + std::size_t(cell.col)];
            }
        }
    }
    return values;
}

}  // namespace quarnel::geo
