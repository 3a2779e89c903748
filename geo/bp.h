#pragma once
// BP classification of co-registered rasters through the GDAL door, with the core's arithmetic
// (include/quarnel/bp.h): every band of every input is one network input, in order. The inputs
// are read twice, a strip of rows at a time: first each input's range, then the cells, rescaled
// with the running range the core defines and classified. The class raster holds the core's
// class values; class 1 (the first input has no data) is its no-data value. Progress hears of
// every strip of each pass ("range": rows of all inputs, then "row"); told to stop, nothing is
// written. Where favourability is not empty, output 0's value of every cell (0..1, NaN where the
// class is 1) goes there too, as Float32 (or Float64 with options.float64), written whole.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "geo/point_files.h"
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
                               const Progress& progress = {}, const std::string& favourability = {});

struct BpTrainOptions {
    int hidden = 0;  // 0: inputs + 1
    int maxIterations = 1000;
    double errorLimit = 0.01;
    std::uint64_t seed = 1;  // of the initial weights, drawn from a generator of this call's own
    // The core's presentation (BPTrainOrder): a seeded new order every epoch (seed + 1) and deposit
    // and background samples weighed alike, so a surplus of background cannot give a constant map.
    bool shuffle = true;
    bool balance = true;
};

struct BpTrainResult {
    SampleResult samples;
    int inputs = 0;  // every band of every evidence raster
    int hidden = 0;
    BPTrainingSummary training;
};

// A network of the design's shape (each group mapped onto [-0.5, 0.5]) drawn from std::mt19937
// seeded with options.seed, trained by the core on samples (one output) with the presentation
// options ask for (BPTrainOrder seeded with seed + 1), every sample then classified.
BPTraining TrainBpOnSamples(const BPSampleSet& samples, const BpTrainOptions& options,
                            const Progress& progress = {});

// A network trained from rasters and deposit points in memory: the samples MakeBpSamples draws,
// an initial network of the design's shape (each group mapped onto [-0.5, 0.5]) drawn from
// std::mt19937 seeded with options.seed, trained by the core with the presentation options ask for. The
// network file is written whole to networkPath; the samples (the design's sample file) and the true and
// computed class of each (the design's result lines) to samplesPath and resultPath where not empty, as a
// record.
BpTrainResult TrainBpOnRasters(const std::vector<std::string>& evidence, const std::vector<Point>& deposits,
                               const SampleOptions& samples, const BpTrainOptions& options,
                               const std::string& networkPath, const std::string& samplesPath,
                               const std::string& resultPath, const Progress& progress = {});

}  // namespace quarnel::geo
