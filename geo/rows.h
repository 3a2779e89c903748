#pragma once
// A raster band walked a strip of rows at a time (as many rows as GDAL reads in one block), for
// the core's row kernels: no data reads as kCoreBlank here, never NaN. Int32RowStrip walks a band
// of integers as stored (Raster::ReadInt32Rows), in the same strips for the same raster size.
#include <cstdint>
#include <span>
#include <vector>

#include "geo/raster.h"

namespace quarnel::geo {

// The core tells no data by its value; the GDAL door's NaN reaches it as this one, which no
// raster holds.
inline constexpr double kCoreBlank = -1.0e300;

template <class Value>
class BasicRowStrip {
  public:
    BasicRowStrip(const Raster& raster, int band, int rowsPerStrip = 0);
    // Reads the next strip; false after the last.
    bool Next();
    void Restart() { next_ = 0; }
    int first() const { return first_; }
    int count() const { return count_; }
    std::span<Value> Values() { return {values_.data(), std::size_t(count_) * cols_}; }
    // Row pointers of the strip, as the core's kernels take them.
    const Value* const* Rows() const { return rows_.data(); }

  private:
    const Raster& raster_;
    int band_;
    int rowsPerStrip_;
    std::size_t cols_;
    int first_ = 0;
    int count_ = 0;
    int next_ = 0;
    std::vector<Value> values_;
    std::vector<const Value*> rows_;
};

using RowStrip = BasicRowStrip<double>;
using Int32RowStrip = BasicRowStrip<std::int32_t>;

// Rasters walked a strip at a time in lockstep need one row of blocks of each in GDAL's block
// cache, or each block is read again for every strip it holds: raises the cache's cap (never
// lowers it) to hold that (as Float64, the widest the door reads), a quarter more for the writers.
void CacheBlockRowsOf(const std::vector<Raster>& rasters);

}  // namespace quarnel::geo
