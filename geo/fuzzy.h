#pragma once
// Fuzzy overlay of co-registered rasters through the GDAL door (band 1 of each, all on one grid:
// geo::RequireSameFrame), with the core's membership functions and operators
// (include/quarnel/fuzzy.h). Read a strip of rows at a time; the overlay (and each membership
// raster when a folder is named) is written as Float32 with NaN for no data, whole or absent.
// An as-is value outside 0..1 is refused naming the file, row and column; told to stop, nothing
// is written. Progress hears of every strip ("row").
#include <cstdint>
#include <string>
#include <vector>

#include "geo/raster_writer.h"
#include "quarnel/fuzzy.h"
#include "quarnel/progress.h"

namespace quarnel::geo {

struct FuzzyInput {
    std::string raster;
    fuzzy::Membership membership;
    std::string membershipOutput;  // empty: not written
};

struct FuzzyOverlayRequest {
    std::vector<FuzzyInput> inputs;
    fuzzy::Operator op = fuzzy::Operator::fuzzyAnd;
    double gamma = 0;
    std::string output;
};

struct FuzzyInputRange {
    double min = 0;  // of the input's values with data (both 0 when it has none)
    double max = 0;
};

struct FuzzyOverlayResult {
    int rows = 0;
    int cols = 0;
    std::vector<FuzzyInputRange> inputs;
    std::int64_t valid = 0;  // cells with an overlay value
    std::int64_t blank = 0;
    double min = 0;  // of the overlay (both 0 when no cell has one)
    double max = 0;
};

// Throws GeoError for a refused membership or gamma, inputs on other grids, an as-is value
// outside 0..1, an output that is an input, or a file that cannot be read or written.
FuzzyOverlayResult FuzzyOverlay(const FuzzyOverlayRequest& request, const WriteOptions& options,
                                const Progress& progress = {});

}  // namespace quarnel::geo
