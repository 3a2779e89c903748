// trees: gradient-boosted trees or a random forest of deposits against background cells on
// evidence rasters, with the probability map.
#include <CLI/CLI.hpp>
#include <memory>

#include "cli/commands.h"
#include "cli/declared_option.h"
#include "cli/fuzzy_job.h"
#include "cli/geo_door.h"
#include "cli/geo_points.h"
#include "cli/interrupt.h"
#include "cli/trees_job.h"
#include "quarnel/requests.h"

namespace quarnel::cli {

namespace {

struct TreesArgs {
    geo::TreesRasterRequest request;
    std::string kind{params::trees::kKindChoices[std::size_t(params::trees::kKind.value)]};
    int folds = 0;
    std::string deposits;
    geo::PointOptions points;
    geo::WriteOptions write;
    bool json = false;
};

int RunTrees(TreesArgs& a) {
    geo::TreesRasterRequest& request = a.request;
    request.depositsName = a.deposits;
    request.model.kind = a.kind == "forest" ? trees::Kind::forest : trees::Kind::boosting;
    if (a.folds > 0) request.folds = a.folds;
    JobOutput out = GdalDoorOutput("trees", kMethodWritten, MethodStatusText, kMethodFailed, [&](JobOutput&) {
        request.deposits =
            geo::ReadPoints(a.deposits, geo::Raster::Open(request.evidence.front()).frame().crsWkt, a.points);
    });
    if (out.ok) out = TreesOutput(request, a.deposits, a.points, a.write, StopOnInterrupt());
    return Emit(out, a.json);
}

}  // namespace

void AddTreesCommands(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<TreesArgs>();
    CLI::App* command = app.add_subcommand(
        "trees",
        "Gradient-boosted trees or a random forest of deposits against background cells: probability");
    command->add_option("EVIDENCE", args->request.evidence, "evidence rasters on one grid")->required();
    command->add_option("--deposits", args->deposits, "deposit points (CSV, GeoPackage, shapefile...)")
        ->required();
    command->add_option("-o,--output", args->request.output, "the probability raster to write")->required();
    namespace decl = params::trees;
    AddDeclared(*command, decl::kKind, args->kind);
    AddDeclared(*command, decl::kTrees, args->request.model.trees);
    AddDeclared(*command, decl::kDepth, args->request.model.depth);
    AddDeclared(*command, decl::kLearningRate, args->request.model.learningRate);
    AddDeclared(*command, decl::kSubsample, args->request.model.subsample);
    AddDeclared(*command, decl::kBackground, args->request.samples.background);
    AddDeclared(*command, decl::kSeed, args->request.samples.seed);
    AddDeclared(*command, decl::kMinDistance, args->request.samples.minDistance);
    AddDeclared(*command, decl::kFolds, args->folds);
    AddPointOptions(command, args->points);
    AddRasterOutputOptions(command, args->write);
    AddJsonFlag(command, args->json);
    command->callback([args, &exitCode] {
        args->request.model.seed = args->request.samples.seed;
        exitCode = RunTrees(*args);
    });
}

}  // namespace quarnel::cli
