#pragma once
// Rasters put on one grid: each input resampled onto a reference raster's rows, columns,
// geotransform and CRS by GDAL's warper, so the methods can take them together
// (geo::RequireSameFrame refuses rasters that are not).
//
// An input in another CRS is reprojected; where the input or the reference has no CRS, the
// input's coordinates are taken as the reference's. Cells the input does not cover, or covers only with no
// data, are no data. The values are written through geo::RasterWriter (Float32 unless asked for Float64, NaN
// as no-data for GDAL formats), every band of the input.
#include <string>

#include "geo/raster.h"
#include "geo/raster_writer.h"
#include "quarnel/progress.h"

namespace quarnel::geo {

// nearest keeps the input's values as they are (classes, codes); bilinear interpolates; average
// and mode take the mean and the most frequent value of the input cells an output cell covers.
enum class Resampling { nearest, bilinear, average, mode };

// The method named "nearest", "bilinear", "average" or "mode"; throws GeoError for other names.
Resampling ResamplingNamed(const std::string& name);

struct AlignResult {
    int bands = 0;
    bool reprojected = false;  // the input's CRS differed from the reference's
};

// Resamples every band of input onto target (not rotated) into output; progress hears of every
// strip written (rows of all bands).
AlignResult AlignRaster(const std::string& input, const GridFrame& target, const std::string& output,
                        Resampling resampling, const WriteOptions& options, const Progress& progress = {});

// Where align puts input's result in folder: its file name without extension, then .tif for
// GeoTIFF (the default), .grd for DSAA, .txt for KVSGDA01, .hxf for HXF, else the driver's
// own extension.
std::string AlignedPath(const std::string& folder, const std::string& input, const WriteOptions& options);

}  // namespace quarnel::geo
