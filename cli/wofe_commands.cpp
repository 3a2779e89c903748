// wofe: weights of evidence of class rasters against deposits, their posterior and the
// conditional-independence tests, through the GDAL door (the job: cli/wofe_job.h).
#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/declared_option.h"
#include "cli/geo_door.h"
#include "cli/geo_points.h"
#include "cli/interrupt.h"
#include "cli/wofe_job.h"
#include "quarnel/requests.h"

namespace quarnel::cli {

namespace decl = params::wofe;

void AddWofeCommand(CLI::App& app, int& exitCode) {
    auto* command = app.add_subcommand(
        "wofe",
        "Weights of evidence: weights tables, generalisation, posterior probability and its uncertainty, "
        "conditional-independence tests");
    auto a = std::make_shared<WofeArgs>();
    command
        ->add_option("EVIDENCE", a->evidence, "class rasters on one grid (band 1; named by the file's stem)")
        ->required();
    command->add_option("--deposits", a->deposits, "the deposits: CSV with x and y, GeoPackage, shapefile...")
        ->required();
    command->add_option("-o,--output", a->output, "the output folder")->required();
    command->add_option("--type", a->types, "categorical|ascending|descending[,...] (default categorical)");
    command->add_option("--unit-area", a->unitArea,
                        "KM2|cell: " + std::string(decl::kUnitArea.help) + " (default 1)");
    command->add_option("--count", a->count,
                        "points|cells: " + std::string(decl::kCount.help) + " (default points)");
    command->add_option("--missing", a->missing, "V[,...]: the class meaning unknown, per layer or for all");
    command->add_option("--breaks", a->breaks, "NAME=B1,B2,...: " + std::string(decl::kBreaks.help));
    command->add_option(
        "--generalize", a->generalize,
        "RULE[,...]: " + std::string(decl::kGeneralize.help) + " (default max-significant-contrast)");
    AddDeclared(*command, decl::kMinStudentized, a->minStudentized);
    command->add_option("--mask", a->mask, std::string(decl::kMask.help));
    command->add_flag("--weights-only", a->weightsOnly, "write the weights tables only (no posterior)");
    AddRasterOutputOptions(command, a->write);
    AddPointOptions(command, a->points);
    AddJsonFlag(command, a->json);
    command->callback([a, &exitCode] {
        const InterruptScope interruptible;
        exitCode = Emit(WofeOutput(*a, StopOnInterrupt()), a->json);
    });
}

}  // namespace quarnel::cli
