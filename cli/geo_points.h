#pragma once
// The options that say how a point file is read (geo/points.h), shared by the commands that
// take points, and how every such command reports the points it left out.
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "cli/job_output.h"
#include "geo/points.h"

namespace CLI {
class App;
}  // namespace CLI

namespace quarnel::cli {

void AddPointOptions(CLI::App* command, geo::PointOptions& options);

// The features left out while the file was read, by reason, added to a results object:
// "no_geometry", "not_a_point", "bad_rows".
void PutReadingCounts(nlohmann::ordered_json& results, const geo::PointCount& count);
// Those reasons as summary text (", 1 without a geometry, 2 not points"), empty when none.
std::string ReadingLeftOut(const geo::PointCount& count);

// The counts of the commands that write the design's files from points: "points" (read), each
// reason of leaving out, and a summary line ("6 deposits read; left out: ...").
void PutPointCount(JobOutput& out, const geo::PointCount& count, const char* what);

}  // namespace quarnel::cli
