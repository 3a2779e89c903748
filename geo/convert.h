#pragma once
// A raster copied from one format to another through the GDAL door: the design's grids (DSAA,
// KVSGDB01, KVSGDA01, HXF) and any GDAL raster in, any of geo::RasterWriter's formats out, with
// the map coordinates wherever the output has a place for them and no data kept as no data.
#include <string>

#include "geo/raster_writer.h"
#include "quarnel/progress.h"

namespace quarnel::geo {

struct ConvertResult {
    int bands = 0;
    int rows = 0;
    int cols = 0;
    std::string inputFormat;
};

// Copies band `band` of input (0: every band) into output as Float32 (Float64 on request), no data
// as NaN or the value the options give (GDAL formats; the design's formats use their own): the
// input's encoding and no-data value are not carried. A one-band format refuses several bands,
// naming --band. Progress hears of every strip written (rows of all bands copied); told to
// stop, nothing is written.
ConvertResult ConvertRaster(const std::string& input, const std::string& output, const WriteOptions& options,
                            int band = 0, const Progress& progress = {});

}  // namespace quarnel::geo
