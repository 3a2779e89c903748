#include "cli/trees_job.h"

#include "cli/door_jobs.h"
#include "cli/fuzzy_job.h"
#include "cli/geo_door.h"

namespace quarnel::cli {

namespace {

using nlohmann::ordered_json;

ordered_json ScoresJson(const trees::Scores& scores) {
    return {{"samples", scores.samples},
            {"log_loss", scores.logLoss},
            {"auc", scores.auc ? ordered_json(*scores.auc) : ordered_json()}};
}

ordered_json ParametersJson(const trees::Model& model) {
    ordered_json parameters = ordered_json::object();
    for (const auto& [name, value] : model.parameters()) parameters[name] = value;
    parameters["rounds"] = model.rounds();
    return parameters;
}

ordered_json ImportanceJson(const trees::Model& model) {
    ordered_json importance = ordered_json::array();
    for (const trees::Importance& input : model.Importances())
        importance.push_back({{"name", input.name}, {"gain", input.gain}, {"cover", input.cover}});
    return importance;
}

}  // namespace

JobOutput TreesOutput(const geo::TreesRasterRequest& request, const std::string& judgeAgainst,
                      const geo::PointOptions& points, const geo::WriteOptions& write,
                      const Progress& progress) {
    return GdalDoorOutput("trees", kMethodWritten, MethodStatusText, kMethodFailed, [&](JobOutput& out) {
        out.outputs = {request.output};
        const geo::TreesRasterResult found = geo::FitTreesRasters(request, write, progress);
        out.results["samples"] = {{"deposits", found.samples.deposits.cells},
                                  {"background", found.samples.background},
                                  {"background_cells", found.backgroundCells}};
        out.results["kind"] = request.model.kind == trees::Kind::forest ? "forest" : "boosting";
        out.results["trees"] = request.model.trees;
        out.results["parameters"] = ParametersJson(found.model);
        out.results["importance"] = ImportanceJson(found.model);
        out.results["intercept_correction"] = found.interceptCorrection;
        out.results["training"] = ScoresJson(found.training);
        if (request.folds) {
            ordered_json folds = ordered_json::array();
            for (const trees::Scores& fold : found.folds) folds.push_back(ScoresJson(fold));
            out.results["folds"] = folds;
        }
        out.results["output"] = request.output;
        out.results["processor_seconds"] = PhaseSecondsJson(found.seconds);
        out.summary.push_back("wrote " + request.output);
        if (judgeAgainst.empty()) return;
        JudgeMapOrWithdraw(request.output, judgeAgainst, points, out);
    });
}

}  // namespace quarnel::cli
