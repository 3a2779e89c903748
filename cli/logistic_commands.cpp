// logistic: logistic regression of deposits against background cells on evidence rasters, with
// the probability map and its standard error.
#include <CLI/CLI.hpp>
#include <memory>

#include "cli/commands.h"
#include "cli/declared_option.h"
#include "cli/fuzzy_job.h"
#include "cli/geo_door.h"
#include "cli/geo_points.h"
#include "cli/interrupt.h"
#include "cli/logistic_job.h"
#include "quarnel/requests.h"

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
    namespace decl = params::logistic;
    AddDeclared(*command, decl::kCategorical, args->request.categorical);
    AddDeclared(*command, decl::kSamples, args->request.allCells);
    AddDeclared(*command, decl::kBackground, args->request.samples.background);
    AddDeclared(*command, decl::kSeed, args->request.samples.seed);
    AddDeclared(*command, decl::kMinDistance, args->request.samples.minDistance);
    AddDeclared(*command, decl::kL2, args->request.fit.l2);
    AddDeclared(*command, decl::kMaxIterations, args->request.fit.maxIterations);
    AddPointOptions(command, args->points);
    AddRasterOutputOptions(command, args->write);
    AddJsonFlag(command, args->json);
    command->callback([args, &exitCode] { exitCode = RunLogistic(*args); });
}

}  // namespace quarnel::cli
