#pragma once
// Gradient-boosted trees or a random forest of deposits against background cells on evidence
// rasters through the GDAL door: the samples drawn as geo::MakeBpSamples draws them (every band
// of every raster one input, as the layers hold them), the model trained by the trees library
// (include/quarnel/trees.h), then the probability at every cell, read, predicted and written a
// strip of rows at a time (NaN where any input has no data). As logistic regression's, the
// model's log-odds are shifted by ln(background sampled / background cells), from the samples'
// balance of deposits and background to the study area's; the training and folds' scores are on
// the samples, unshifted. The output is whole or absent; told to stop (within a boosting round
// or a strip of rows), nothing is written.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "geo/phase_seconds.h"
#include "geo/point_files.h"
#include "quarnel/trees.h"

namespace quarnel::geo {

struct TreesRasterRequest {
    std::vector<std::string> evidence;
    std::vector<Point> deposits;  // in the rasters' CRS
    std::string depositsName;     // for messages
    SampleOptions samples;
    trees::Options model;
    std::optional<int> folds;  // cross-validation of the samples besides the model
    std::string output;        // the probability
};

struct TreesRasterResult {
    SampleResult samples;
    trees::Model model;
    trees::Scores training;            // the model on its own samples
    std::vector<trees::Scores> folds;  // held out, one per fold
    std::int64_t backgroundCells = 0;  // cells with data on every input and no deposit
    double interceptCorrection = 0;    // added to the model's log-odds in the map
    std::int64_t predicted = 0;
    std::int64_t blank = 0;
    PhaseSeconds seconds;
};

// Throws GeoError for the samples' and the rasters' failures and for the trees' refusals.
TreesRasterResult FitTreesRasters(const TreesRasterRequest& request, const WriteOptions& options,
                                  const Progress& progress = {});

}  // namespace quarnel::geo
