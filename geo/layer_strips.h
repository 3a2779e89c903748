#pragma once
// Every band of every evidence raster walked together a strip of rows at a time (one strip height
// for all, so that a strip's cells are the same cells in each): what the methods that predict at
// every cell (logistic regression, trees) read their inputs through.
#include <string>
#include <vector>

#include "geo/raster.h"
#include "geo/rows.h"

namespace quarnel::geo {

class LayerStrips {
  public:
    explicit LayerStrips(const std::vector<std::string>& paths);
    LayerStrips(const LayerStrips&) = delete;
    LayerStrips& operator=(const LayerStrips&) = delete;

    const GridFrame& frame() const { return rasters_.front().frame(); }
    std::size_t size() const { return strips_.size(); }
    void Restart();
    // Reads the next strip of every layer; false after the last.
    bool Next();
    int first() const { return strips_.front().first(); }
    int count() const { return strips_.front().count(); }
    // Cell c's values of the strip, false when any layer has no data there.
    bool Cell(std::size_t c, std::vector<double>& values);
    // Layer k's values of the strip, row after row, kCoreBlank for no data.
    const double* Values(std::size_t k) { return strips_[k].Values().data(); }

  private:
    std::vector<Raster> rasters_;
    std::vector<RowStrip> strips_;
};

// Each layer's name (geo::Evidence's), in the order of the paths and their bands.
std::vector<std::string> LayerNames(const std::vector<std::string>& paths);

}  // namespace quarnel::geo
