// fuzzy: knowledge-driven overlay of evidence rasters, each turned into a membership and the
// memberships combined by a fuzzy operator.
#include <CLI/CLI.hpp>
#include <memory>

#include "cli/commands.h"
#include "cli/fuzzy_job.h"
#include "cli/geo_door.h"
#include "cli/geo_points.h"
#include "cli/interrupt.h"

namespace quarnel::cli {

void AddFuzzyCommands(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<FuzzyArgs>();
    CLI::App* command = app.add_subcommand(
        "fuzzy", "Fuzzy overlay: each evidence raster turned into a membership, the memberships combined");
    command->add_option("EVIDENCE", args->evidence, "evidence rasters on one grid")->required();
    command->add_option("-o,--output", args->output, "the overlay raster to write")->required();
    command
        ->add_option("--membership", args->memberships,
                     "one per input, in order: linear:LOW,HIGH, large:MID[,SPREAD], small:MID[,SPREAD], "
                     "gaussian:MID[,SPREAD], classes:V=M,... or as-is")
        ->required();
    command->add_option("--operator", args->op, "and, or, product, sum or gamma")
        ->check(CLI::IsMember({"and", "or", "product", "sum", "gamma"}))
        ->capture_default_str();
    command->add_option("--gamma", args->gamma, "gamma of the gamma operator, 0..1")->capture_default_str();
    command->add_option("--memberships", args->membershipFolder, "folder to write each membership raster in");
    command->add_option("--deposits", args->deposits, "deposit points to judge the overlay against");
    AddPointOptions(command, args->points);
    AddRasterOutputOptions(command, args->write);
    AddJsonFlag(command, args->json);
    command->callback(
        [args, &exitCode] { exitCode = Emit(FuzzyOutput(*args, StopOnInterrupt()), args->json); });
}

}  // namespace quarnel::cli
