#pragma once
// BP classification of co-registered rasters through the GDAL door, with the core's arithmetic
// (include/quarnel/bp.h): every band of every input is one network input, in order. The inputs
// are read twice, a strip of rows at a time: first each input's range, then the cells, rescaled
// with the running range the core defines and classified. The class raster holds the core's
// class values; class 1 (the first input has no data) is its no-data value. Progress hears of
// every strip of each pass ("range": rows of all inputs, then "row"); told to stop, nothing is
// written.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "geo/raster_writer.h"
#include "quarnel/progress.h"

namespace quarnel::geo {

struct ClassifyResult {
    int rows = 0;
    int cols = 0;
    int inputs = 0;
    std::map<int, std::int64_t> classCounts;
};

ClassifyResult ClassifyRasters(const std::string& networkPath, const std::vector<std::string>& inputs,
                               const std::string& output, const WriteOptions& options,
                               const Progress& progress = {});

}  // namespace quarnel::geo
