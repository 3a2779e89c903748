#include "cli/logistic_job.h"

#include <filesystem>

#include "cli/door_jobs.h"
#include "cli/fuzzy_job.h"
#include "cli/geo_door.h"

namespace quarnel::cli {

namespace {

using nlohmann::ordered_json;

// OUT.std_error.EXT beside OUT.EXT.
std::string StdErrorPath(const std::string& output) {
    std::filesystem::path path(output);
    const std::string extension = path.extension().string();
    return path.replace_extension().string() + ".std_error" + extension;
}

ordered_json CoefficientsJson(const logistic::Fit& fit) {
    ordered_json coefficients = ordered_json::array();
    for (const logistic::Coefficient& c : fit.coefficients)
        coefficients.push_back(
            {{"name", c.name}, {"estimate", c.estimate}, {"std_error", c.stdError}, {"z", c.z}, {"p", c.p}});
    return coefficients;
}

}  // namespace

JobOutput LogisticOutput(geo::LogisticRasterRequest request, const std::string& judgeAgainst,
                         const geo::PointOptions& points, const geo::WriteOptions& write,
                         const Progress& progress) {
    return GdalDoorOutput("logistic", kMethodWritten, MethodStatusText, kMethodFailed, [&](JobOutput& out) {
        request.stdErrorOutput = StdErrorPath(request.output);
        out.outputs = {request.output, request.stdErrorOutput};
        const geo::LogisticRasterResult found = geo::FitLogisticRasters(request, write, progress);
        out.results["samples"] = {{"deposits", found.samples.deposits.cells},
                                  {"background", found.samples.background},
                                  {"background_cells", found.backgroundCells},
                                  {"conditions", found.conditions}};
        out.results["coefficients"] = CoefficientsJson(found.fit);
        out.results["intercept_correction"] = found.interceptCorrection;
        out.results["log_likelihood"] = found.fit.logLikelihood;
        out.results["deviance"] = found.fit.deviance;
        out.results["aic"] = found.fit.aic;
        out.results["iterations"] = found.fit.iterations;
        out.results["converged"] = found.fit.converged;
        out.results["unseen_class_cells"] = found.unseenClass;
        out.results["output"] = request.output;
        out.results["std_error_output"] = request.stdErrorOutput;
        out.results["processor_seconds"] = PhaseSecondsJson(found.seconds);
        out.summary.push_back("wrote " + request.output + " and " + request.stdErrorOutput);
        if (judgeAgainst.empty()) return;
        JudgeMapOrWithdraw(request.output, judgeAgainst, points, out);
    });
}

}  // namespace quarnel::cli
