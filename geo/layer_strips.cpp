#include "geo/layer_strips.h"

#include "geo/evidence.h"

namespace quarnel::geo {

LayerStrips::LayerStrips(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) rasters_.push_back(Raster::Open(path));
    CacheBlockRowsOf(rasters_);
    const int height = rasters_.front().PreferredRowCount();
    for (const Raster& raster : rasters_)
        for (int band = 1; band <= raster.BandCount(); ++band) strips_.emplace_back(raster, band, height);
}

void LayerStrips::Restart() {
    for (RowStrip& strip : strips_) strip.Restart();
}

bool LayerStrips::Next() {
    bool more = true;
    for (RowStrip& strip : strips_) more = strip.Next() && more;
    return more;
}

bool LayerStrips::Cell(std::size_t c, std::vector<double>& values) {
    for (std::size_t k = 0; k < strips_.size(); ++k) {
        values[k] = strips_[k].Values()[c];
        if (values[k] == kCoreBlank) return false;
    }
    return true;
}

std::vector<std::string> LayerNames(const std::vector<std::string>& paths) {
    const Evidence evidence(paths);
    std::vector<std::string> names;
    names.reserve(std::size_t(evidence.LayerCount()));
    for (int layer = 0; layer < evidence.LayerCount(); ++layer) names.push_back(evidence.LayerName(layer));
    return names;
}

}  // namespace quarnel::geo
