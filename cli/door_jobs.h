#pragma once
// The job commands' runs as results, for the workflow (quarnel run), which runs several jobs and
// gathers what each found. Each returns the JobOutput its command would emit.
#include <optional>
#include <string>
#include <vector>

#include "cli/job_output.h"
#include "geo/raster_writer.h"

namespace quarnel::cli {

struct TrainArgs {
    std::string samples;
    std::string network;
    std::string result;
    int count = -1;
    int inputs = -1;
    int hidden = -1;
    int outputs = 1;
    int maxIterations = 1000;
    double errorLimit = 0.01;
    std::optional<unsigned> seed;
    bool quiet = false;
    bool json = false;
};

// bp-train with every count given; progress on a terminal unless quiet.
JobOutput TrainOutput(const TrainArgs& a);
// bp-classify through the GDAL door.
JobOutput ClassifyRastersOutput(const std::string& network, const std::vector<std::string>& inputs,
                                const std::string& output, const geo::WriteOptions& write);
// hierarchy and feature on a parameter file whose grids are rasters.
JobOutput HierarchyRastersOutput(const std::string& parameterFile, const geo::WriteOptions& write);
JobOutput FeatureRastersOutput(const std::string& parameterFile, const geo::WriteOptions& write);

}  // namespace quarnel::cli
