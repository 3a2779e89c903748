#pragma once
// Hierarchy prediction and feature analysis of co-registered rasters through the GDAL door, with
// the core's arithmetic (include/quarnel/hierarchy.h, include/quarnel/feature.h) in float32 as
// the design's jobs compute them. Rasters are read a strip of rows at a time; no data (NaN) is
// the core's blank. Output rasters hold the scores at full float32 precision, blank cells as
// no data; rows and columns are counted from the north-west corner. Progress hears of every strip
// of each pass (feature analysis: "product", then "row"); told to stop, nothing is written.
#include <cstdint>
#include <string>
#include <vector>

#include "geo/points.h"
#include "geo/raster_writer.h"
#include "quarnel/feature.h"
#include "quarnel/progress.h"

namespace quarnel::geo {

struct PredictionResult {
    int rows = 0;
    int cols = 0;
    std::int64_t predicted = 0;
    std::int64_t blank = 0;
    float min = 0;
    float max = 0;
};

// The hierarchy's regular-grid prediction: per cell the sum of value times total weight in
// raster order (band 1 of each), blank when any raster has no data there.
PredictionResult PredictHierarchyRaster(const std::vector<std::string>& rasters,
                                        const std::vector<float>& weights, const std::string& output,
                                        const WriteOptions& options, const Progress& progress = {});

struct FeatureVariable {
    std::string name;
    std::string raster;
    float lower = 0;
    float upper = 0;
};

struct ModelUnit {
    Cell cell;
    std::int32_t size = 0;
};

struct FeatureRequest {
    std::vector<FeatureVariable> variables;
    int method = 0;                     // 0 vector lengths, 1 first principal component
    bool useModelUnits = false;         // the product matrix over the model units' cells only
    std::vector<ModelUnit> modelUnits;  // back-judged in any case
    std::string scoreOutput;
};

// The whole analysis: product matrix, weights by the method, score raster. Throws GeoError
// when the weights cannot be formed (a variable that never codes non-zero for method 1, every
// length 0 for method 0).
feature::AnalysisResults AnalyseFeatures(const FeatureRequest& request, const WriteOptions& options,
                                         const Progress& progress = {});

// Band 1 of input coded as feature analysis codes it: +1 at or above upper, otherwise -1 at or
// below lower, otherwise 0 (the opposite signs when invert is set, for evidence whose low values
// are favourable); no data stays no data.
void CodeRaster(const std::string& input, feature::CodeBounds bounds, bool invert, const std::string& output,
                const WriteOptions& options, const Progress& progress = {});

}  // namespace quarnel::geo
