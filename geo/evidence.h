#pragma once
// Evidence rasters taken together: every band of every file is one layer, in the order given,
// all on one grid (geo::RequireSameFrame refuses any that is not). Layers are read a strip of
// rows at a time, so memory grows with the cells asked for, not with the rasters.
#include <cstdint>
#include <string>
#include <vector>

#include "geo/points.h"
#include "geo/raster.h"

namespace quarnel::geo {

class Evidence {
  public:
    // Opens every path; throws GeoError naming the file that cannot be opened or lies elsewhere.
    explicit Evidence(const std::vector<std::string>& paths);

    const GridFrame& frame() const { return rasters_.front().frame(); }
    int LayerCount() const { return int(layers_.size()); }
    // The band's name where it has one, else the file name without extension (and "_bN" for a
    // band of a multi-band file).
    const std::string& LayerName(int layer) const { return layers_[std::size_t(layer)].name; }

    // Every layer's value at each cell, [cell][layer], NaN for no data; reads only the strips
    // that hold a cell.
    std::vector<double> ValuesAt(const std::vector<Cell>& cells) const;

  private:
    struct Layer {
        std::size_t raster;
        int band;
        std::string name;
    };
    std::vector<Raster> rasters_;
    std::vector<Layer> layers_;
};

}  // namespace quarnel::geo
