#pragma once
// The job commands' runs as results, for the workflow (quarnel run), which runs several jobs and
// gathers what each found. Each returns the JobOutput its command would emit.
#include <optional>
#include <string>
#include <vector>

#include "cli/evaluation_report.h"
#include "cli/job_output.h"
#include "geo/phase_seconds.h"
#include "geo/points.h"
#include "geo/raster_writer.h"
#include "plot/plot.h"

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

// evaluate: a map against deposit points.
JobOutput EvaluateOutput(const std::string& map, const std::string& deposits, const geo::PointOptions& points,
                         const EvaluationRequest& request);
// A method's map judged against deposit points into out's results ("validation") and summary; a
// map that cannot be judged is withdrawn with out's other outputs (whole or absent) and the
// cause thrown as GeoError.
void JudgeMapOrWithdraw(const std::string& map, const std::string& deposits, const geo::PointOptions& points,
                        JobOutput& out);
// A method's processor seconds per phase, as results' "processor_seconds" {samples, fit, map}.
nlohmann::ordered_json PhaseSecondsJson(const geo::PhaseSeconds& seconds);
// What a map picture shows besides the raster and the training deposits: the held-out deposits
// (a CSV of x and y in the raster's CRS; none when empty), the classes' names and colours, and
// the legend's title.
struct MapExtras {
    std::string heldOut;
    std::vector<plot::ClassName> classNames;
    std::string legendTitle;
};
// plot: a picture of band 1 of a raster with the deposits (none when deposits is empty).
JobOutput PlotMapOutput(const std::string& raster, const std::string& output, const std::string& deposits,
                        const std::string& title, bool classes, const MapExtras& extras = {});
// plot-curves: one kind of curve ("roc", "success-rate", "prediction-rate") of evaluate --json
// files, named by names where given.
JobOutput PlotCurvesOutput(const std::vector<std::string>& evaluations, const std::vector<std::string>& names,
                           const std::string& kind, const std::string& title, const std::string& output);

}  // namespace quarnel::cli
