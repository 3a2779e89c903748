// logistic: logistic regression of deposits against background cells on evidence rasters, with
// the probability map and its standard error.
#include <filesystem>
#include <memory>

#include "cli/commands.h"
#include "cli/door_jobs.h"
#include "cli/fuzzy_job.h"
#include "cli/geo_door.h"
#include "cli/geo_points.h"
#include "cli/interrupt.h"
#include "geo/logistic.h"

namespace quarnel::cli {

namespace {

using nlohmann::ordered_json;

struct LogisticArgs {
    geo::LogisticRasterRequest request;
    std::string deposits;
    geo::PointOptions points;
    geo::WriteOptions write;
    bool json = false;
};

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

int RunLogistic(LogisticArgs& a) {
    return Emit(GdalDoorOutput("logistic", kMethodWritten, MethodStatusText, kMethodFailed,
                               [&](JobOutput& out) {
                                   geo::LogisticRasterRequest& request = a.request;
                                   request.depositsName = a.deposits;
                                   request.stdErrorOutput = StdErrorPath(request.output);
                                   request.deposits = geo::ReadPoints(
                                       a.deposits, geo::Raster::Open(request.evidence.front()).frame().crsWkt,
                                       a.points);
                                   const geo::LogisticRasterResult found =
                                       geo::FitLogisticRasters(request, a.write, StopOnInterrupt());
                                   out.outputs = {request.output, request.stdErrorOutput};
                                   out.results["samples"] = {{"deposits", found.samples.deposits.cells},
                                                             {"background", found.samples.background},
                                                             {"background_cells", found.backgroundCells}};
                                   out.results["coefficients"] = CoefficientsJson(found.fit);
                                   out.results["intercept_correction"] = found.interceptCorrection;
                                   out.results["log_likelihood"] = found.fit.logLikelihood;
                                   out.results["deviance"] = found.fit.deviance;
                                   out.results["aic"] = found.fit.aic;
                                   out.results["iterations"] = found.fit.iterations;
                                   out.results["converged"] = found.fit.converged;
                                   out.results["output"] = request.output;
                                   out.results["std_error_output"] = request.stdErrorOutput;
                                   out.summary.push_back("wrote " + request.output + " and " +
                                                         request.stdErrorOutput);
                                   const JobOutput judged = EvaluateOutput(request.output, a.deposits, a.points, {});
                                   if (!judged.ok) throw geo::GeoError("validation: " + judged.cause);
                                   out.results["validation"] = judged.results;
                                   out.summary.insert(out.summary.end(), judged.summary.begin(),
                                                      judged.summary.end());
                               }),
                a.json);
}

}  // namespace

void AddLogisticCommands(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<LogisticArgs>();
    CLI::App* command = app.add_subcommand(
        "logistic", "Logistic regression of deposits against background cells: probability and its error");
    command->add_option("EVIDENCE", args->request.evidence, "evidence rasters on one grid")->required();
    command->add_option("--deposits", args->deposits, "deposit points (CSV, GeoPackage, shapefile...)")->required();
    command->add_option("-o,--output", args->request.output,
                        "the probability raster to write (its standard error beside it as NAME.std_error.EXT)")
        ->required();
    command->add_option("--background", args->request.samples.background,
                        "background cells (default: as many as deposit cells)")
        ->check(CLI::NonNegativeNumber);
    command->add_option("--seed", args->request.samples.seed, "seed of the background draw")->capture_default_str();
    command
        ->add_option("--min-distance", args->request.samples.minDistance,
                     "least distance of a background cell's centre from every deposit (map units)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    command->add_option("--l2", args->request.fit.l2, "L2 penalty on the slopes")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    command->add_option("--max-iterations", args->request.fit.maxIterations, "the most Newton steps")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    AddPointOptions(command, args->points);
    AddRasterOutputOptions(command, args->write);
    AddJsonFlag(command, args->json);
    command->callback([args, &exitCode] { exitCode = RunLogistic(*args); });
}

}  // namespace quarnel::cli
