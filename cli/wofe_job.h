#pragma once
// quarnel wofe: weights of evidence through the GDAL door (geo/wofe.h), as the command and the
// workflow run it. The options' words are the parameter declarations' (quarnel/requests.h,
// params::wofe); comma lists give one value per evidence raster or one for all.
#include <string>
#include <vector>

#include "cli/job_output.h"
#include "geo/points.h"
#include "geo/raster_writer.h"
#include "quarnel/progress.h"

namespace quarnel::cli {

struct WofeArgs {
    std::vector<std::string> evidence;
    std::vector<std::string> names;  // the layers' names; empty: the rasters' file stems
    std::string deposits;
    geo::PointOptions points;
    std::string output;
    std::string types;                // categorical|ascending|descending[,...]; empty: categorical
    std::string unitArea;             // KM2 or "cell"; empty: 1
    std::string count;                // points|cells; empty: points
    std::string missing;              // V[,...]; empty: none
    std::vector<std::string> breaks;  // NAME=B1,B2,...
    std::string generalize;           // RULE[,...]; empty: max-significant-contrast
    double minStudentized = 2;
    std::string mask;
    bool weightsOnly = false;
    geo::WriteOptions write;
    bool json = false;
};

// The run as the command emits it: results as docs/commands/wofe.md's keys, validation of the
// posterior against the deposits given (unless weightsOnly). Failures become ok false with
// the cause.
JobOutput WofeOutput(const WofeArgs& args, const Progress& progress = {});

}  // namespace quarnel::cli
