// logistic: logistic regression of deposits against background cells on evidence rasters, with
// the probability map and its standard error.
#include <memory>

#include "cli/commands.h"
#include "cli/fuzzy_job.h"
#include "cli/geo_door.h"
#include "cli/geo_points.h"
#include "cli/interrupt.h"
#include "cli/logistic_job.h"

namespace quarnel::cli {

namespace {

struct LogisticArgs {
    geo::LogisticRasterRequest request;
    std::string deposits;
    geo::PointOptions points;
    geo::WriteOptions write;
    bool json = false;
};

int RunLogistic(LogisticArgs& a) {
    geo::LogisticRasterRequest& request = a.request;
    request.depositsName = a.deposits;
    JobOutput out =
        GdalDoorOutput("logistic", kMethodWritten, MethodStatusText, kMethodFailed, [&](JobOutput&) {
            request.deposits = geo::ReadPoints(
                a.deposits, geo::Raster::Open(request.evidence.front()).frame().crsWkt, a.points);
        });
    if (out.ok) out = LogisticOutput(request, a.deposits, a.points, a.write, StopOnInterrupt());
    return Emit(out, a.json);
}

}  // namespace

void AddLogisticCommands(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<LogisticArgs>();
    CLI::App* command = app.add_subcommand(
        "logistic", "Logistic regression of deposits against background cells: probability and its error");
    command->add_option("EVIDENCE", args->request.evidence, "evidence rasters on one grid")->required();
    command->add_option("--deposits", args->deposits, "deposit points (CSV, GeoPackage, shapefile...)")
        ->required();
    command
        ->add_option("-o,--output", args->request.output,
                     "the probability raster to write (its standard error beside it as NAME.std_error.EXT)")
        ->required();
    command
        ->add_option("--background", args->request.samples.background,
                     "background cells (default: as many as deposit cells)")
        ->check(CLI::NonNegativeNumber);
    command->add_option("--seed", args->request.samples.seed, "seed of the background draw")
        ->capture_default_str();
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
