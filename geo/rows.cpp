#include "geo/rows.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include <gdal.h>

namespace quarnel::geo {

template <class Value>
BasicRowStrip<Value>::BasicRowStrip(const Raster& raster, int band, int rowsPerStrip)
    : raster_(raster),
      band_(band),
      rowsPerStrip_(rowsPerStrip > 0 ? rowsPerStrip : raster.PreferredRowCount()),
      cols_(std::size_t(raster.frame().cols)) {
    // About 2 MB a strip, and never more rows than a block: a strip stays in the processor's
    // cache through the passes a kernel makes over it, while GDAL's block cache keeps the blocks
    // it was read from for the strips that follow.
    const int cacheRows = int((std::size_t(1) << 18) / std::max<std::size_t>(cols_, 1));
    rowsPerStrip_ = std::clamp(std::min(rowsPerStrip_, cacheRows), 1, std::max(raster.frame().rows, 1));
    values_.resize(std::size_t(rowsPerStrip_) * cols_);
    rows_.resize(std::size_t(rowsPerStrip_));
    for (int r = 0; r < rowsPerStrip_; ++r) rows_[std::size_t(r)] = values_.data() + std::size_t(r) * cols_;
}

template <class Value>
bool BasicRowStrip<Value>::Next() {
    if (next_ >= raster_.frame().rows) return false;
    first_ = next_;
    count_ = std::min(rowsPerStrip_, raster_.frame().rows - first_);
    next_ = first_ + count_;
    if constexpr (std::is_same_v<Value, double>)
        raster_.ReadRows(band_, first_, count_, values_.data(), kCoreBlank);
    else
        raster_.ReadInt32Rows(band_, first_, count_, values_.data());
    return true;
}

void CacheBlockRowsOf(const std::vector<Raster>& rasters) {
    std::int64_t bytes = 0;
    for (const Raster& raster : rasters)
        bytes += std::int64_t(raster.PreferredRowCount()) * raster.frame().cols * raster.BandCount() * 8;
    bytes += bytes / 4;
    if (GDALGetCacheMax64() < bytes) GDALSetCacheMax64(bytes);
}

template class BasicRowStrip<double>;
template class BasicRowStrip<std::int32_t>;

}  // namespace quarnel::geo
