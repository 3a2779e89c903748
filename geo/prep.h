#pragma once
// Normalisation and window statistics of any raster through the GDAL door, with the analysis
// core's arithmetic (include/quarnel/prep.h) and map coordinates kept. Both read the input
// twice, a strip of rows at a time, so memory does not grow with the raster. Progress hears of
// every strip of each pass ("range", then "row"); told to stop, nothing is written.
#include <cstdint>
#include <string>

#include "geo/raster_writer.h"
#include "geo/rows.h"
#include "quarnel/prep.h"
#include "quarnel/progress.h"

namespace quarnel::geo {

struct NormalizeResult {
    prep::ValueRange range;  // low > high: every value no data
    int rows = 0;
    int cols = 0;
    std::int64_t blanks = 0;
    std::int64_t nonFinite = 0;  // of the blanks, cells holding +-inf
};

// Band `band` of input rescaled to 0..1 between its smallest and largest value into output.
NormalizeResult NormalizeRaster(const std::string& input, const std::string& output,
                                const WriteOptions& options, int band = 1, const Progress& progress = {});

struct WindowStatisticsResult {
    int window = 0;
    int rows = 0;  // of each output: the complete windows
    int cols = 0;
};

// The mean and population deviation of every complete w x w block, each output rescaled to
// 0..1, as the design's window job computes them: blocks are counted from the grid's south-west
// corner (leftover rows lie along the north edge, leftover columns along the east) and each
// block is summed from its southern row up; an output cell covers its block.
WindowStatisticsResult WindowStatisticsRaster(const std::string& input, const std::string& meanOutput,
                                              const std::string& deviationOutput, int w,
                                              const WriteOptions& options, int band = 1,
                                              const Progress& progress = {});

}  // namespace quarnel::geo
