#pragma once
// Logistic regression of deposits against background cells on evidence rasters through the GDAL
// door: the samples drawn as geo::MakeBpSamples draws them (every band of every raster one input),
// the fit by the core (include/quarnel/logistic.h), then the probability and its standard error
// at every cell, read and written a strip of rows at a time (NaN where any input has no data).
// A sampled background shifts the intercept by ln(background sampled / background cells); every
// cell as a sample (allCells) is pooled by condition (identical rows of inputs fitted as one row
// with its counts) while there are at most maxConditions of them, else (continuous layers) fitted
// by reading every cell again at each Newton step, a strip at a time. Layers named categorical
// become indicator inputs of the classes the samples hold; a cell of another class is left blank.
// Both outputs are whole or absent; told to stop, nothing is written.
#include <cstdint>
#include <string>
#include <vector>

#include "geo/phase_seconds.h"
#include "geo/point_files.h"
#include "quarnel/logistic.h"

namespace quarnel::geo {

inline constexpr std::size_t kMaxConditions = 1000000;

struct LogisticRasterRequest {
    std::vector<std::string> evidence;
    std::vector<Point> deposits;  // in the rasters' CRS
    std::string depositsName;     // for messages
    SampleOptions samples;
    // Every cell with data as a sample (the deposit cells 1, the rest 0), pooled by condition,
    // the intercept left as it is fitted; samples' background and min_distance are then refused.
    bool allCells = false;
    // The most conditions allCells pools; beyond them every cell is read again at each step.
    std::size_t maxConditions = kMaxConditions;
    std::vector<std::string> categorical;  // layers (by their names) of classes: indicator inputs
    logistic::FitOptions fit;
    std::string output;          // the probability
    std::string stdErrorOutput;  // its standard error
};

struct LogisticRasterResult {
    SampleResult samples;
    std::int64_t backgroundCells = 0;  // cells with data on every input and no deposit
    std::int64_t conditions = 0;       // rows of the fitted table (distinct conditions when pooled)
    std::int64_t unseenClass = 0;      // cells left blank for a class the samples did not hold
    double interceptCorrection = 0;
    logistic::Fit fit;
    std::int64_t predicted = 0;
    std::int64_t blank = 0;
    PhaseSeconds seconds;
};

// Throws GeoError for the samples' and the rasters' failures, and for the fit's refusals
// (complete separation naming the input).
LogisticRasterResult FitLogisticRasters(const LogisticRasterRequest& request, const WriteOptions& options,
                                        const Progress& progress = {});

}  // namespace quarnel::geo
