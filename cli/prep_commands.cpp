// normalize, hxf-dump and window-stats: the preparation jobs from the command line.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <utility>

#include "cli/commands.h"
#include "cli/geo_door.h"
#include "cli/interrupt.h"
#include "cli/job_output.h"
#include "jobs/frame/quarnel.h"
#include "geo/prep.h"
#include "formats/hxf/hxf_file.h"
#include "jobs/prep/normalize_hxf.h"
#include "jobs/prep/prep_jobs.h"
#include "jobs/prep/status_text.h"

namespace quarnel::cli {
namespace {

struct PrepArgs {
    std::string kind = "auto";
    std::string input;
    std::string output;
    std::string stdOutput;
    int window = 0;
    int band = 1;
    bool json = false;
    geo::WriteOptions write;
};

nlohmann::ordered_json RangeJson(const prep::ValueRange& range) {
    if (range.low > range.high) return nlohmann::ordered_json();
    return {{"low", range.low}, {"high", range.high}};
}

int NormalizeRaster(const PrepArgs& a) {
    return RunGdalDoor("normalize", a.json, 1, prep::Normalize2StatusText, 0, [&](JobOutput& out) {
        const geo::NormalizeResult result =
            geo::NormalizeRaster(a.input, a.output, a.write, a.band, StopOnInterrupt());
        out.outputs = {a.output};
        out.results["range"] = RangeJson(result.range);
        out.results["cells"] = static_cast<long long>(result.rows) * result.cols;
        out.results["blanks"] = result.blanks;
        out.results["non_finite"] = result.nonFinite;
        out.summary.push_back("wrote " + a.output);
        if (result.nonFinite > 0)
            out.summary.push_back(std::to_string(result.nonFinite) + " cells of +-inf taken as no data");
    });
}

int WindowStatsRaster(const PrepArgs& a) {
    return RunGdalDoor("window-stats", a.json, 1, prep::CalAvgVarStatusText, 0, [&](JobOutput& out) {
        const geo::WindowStatisticsResult result = geo::WindowStatisticsRaster(
            a.input, a.output, a.stdOutput, a.window, a.write, a.band, StopOnInterrupt());
        out.outputs = {a.output, a.stdOutput};
        out.results["window"] = result.window;
        out.results["rows"] = result.rows;
        out.results["cols"] = result.cols;
        out.summary.push_back("wrote " + a.output + " and " + a.stdOutput);
    });
}

// The dump's status is 0 whatever happens, so the command asks the job itself what happened.
int DumpHxf(const char* command, const std::string& input, const std::string& output, bool json) {
    const prep::HxfDumpResult result = prep::DumpHxf(input.c_str(), output.c_str());
    JobOutput out = StatusOutput(command, result.outcome == prep::HxfDumpOutcome::written, 0,
                                 prep::NormalizeHxfStatusText(0),
                                 input + ": " + prep::HxfDumpOutcomeText(result.outcome));
    if (result.outcome == prep::HxfDumpOutcome::grid_not_loaded)
        out.cause += " (grid " + std::to_string(result.grid) + ")";
    if (out.ok) {
        out.outputs = {output};
        out.results["grids"] = result.grids;
        out.results["rows"] = result.rows;
        out.results["cols"] = result.cols;
        out.summary.push_back("wrote " + output);
    }
    return Emit(out, json);
}

int Normalize(const PrepArgs& a) {
    const int kind = a.kind == "auto" ? (HxfFile(a.input.c_str()).IsOpen() ? 2 : 0) : std::stoi(a.kind);
    if (kind == 2) return DumpHxf("normalize", a.input, a.output, a.json);
    if (TakesGdalDoor({a.input}, {a.output}, a.write)) return NormalizeRaster(a);
    const prep::NormalizeReport report = prep::RunNormalize(a.input.c_str(), a.output.c_str());
    JobOutput out = StatusOutput("normalize", report.status == 1, report.status,
                                 prep::Normalize2StatusText(report.status), report.cause);
    if (out.ok) {
        out.outputs = {a.output};
        out.results["range"] = RangeJson(report.range);
        out.results["cells"] = static_cast<long long>(report.rows) * report.cols;
        out.results["blanks"] = report.blanks;
        out.summary.push_back("wrote " + a.output);
    }
    return Emit(out, a.json);
}

int WindowStats(const PrepArgs& a) {
    if (TakesGdalDoor({a.input}, {a.output, a.stdOutput}, a.write)) return WindowStatsRaster(a);
    const prep::WindowStatsReport report =
        prep::RunCalAvgVar(a.input.c_str(), a.output.c_str(), a.stdOutput.c_str(), a.window);
    JobOutput out = StatusOutput("window-stats", report.status == 1, report.status,
                                 prep::CalAvgVarStatusText(report.status), report.cause);
    if (out.ok) {
        out.outputs = {a.output, a.stdOutput};
        out.results["window"] = report.window;
        out.results["rows"] = report.rows;
        out.results["cols"] = report.cols;
        out.summary.push_back("wrote " + a.output + " and " + a.stdOutput);
    }
    return Emit(out, a.json);
}

}  // namespace

void AddPrepCommands(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<PrepArgs>();

    CLI::App* normalize = app.add_subcommand(
        "normalize",
        "Rescale a DSAA or KVSGDB01 grid to 0..1 (DSAA output), or dump a multi-grid file (kind 2)");
    normalize
        ->add_option("--kind", args->kind, "auto (by the file), 0 or 1 (a grid), 2 (an HXF multi-grid file)")
        ->check(CLI::IsMember({"auto", "0", "1", "2"}))
        ->capture_default_str();
    normalize->add_option("INPUT", args->input, "input grid or multi-grid file")->required();
    normalize->add_option("OUTPUT", args->output, "output DSAA grid (text dump for kind 2)")->required();
    normalize->add_option("--band", args->band, "band of a multi-band raster (GDAL door)")
        ->capture_default_str();
    AddRasterOutputOptions(normalize, args->write);
    AddJsonFlag(normalize, args->json);
    normalize->callback([args, &exitCode] { exitCode = Normalize(*args); });

    CLI::App* dump = app.add_subcommand("hxf-dump",
                                        "Write the values of every float grid of an HXF file as text, "
                                        "one line per grid column");
    dump->add_option("HXF", args->input, "multi-grid file")->required();
    dump->add_option("OUTPUT", args->output, "text file to write")->required();
    AddJsonFlag(dump, args->json);
    dump->callback(
        [args, &exitCode] { exitCode = DumpHxf("hxf-dump", args->input, args->output, args->json); });

    CLI::App* stats = app.add_subcommand(
        "window-stats",
        "Means and standard deviations of w x w windows of a grid, each rescaled to 0..1 (DSAA)");
    stats->add_option("INPUT", args->input, "input DSAA or KVSGDB01 grid")->required();
    stats->add_option("MEAN", args->output, "output grid of window means")->required();
    stats->add_option("DEVIATION", args->stdOutput, "output grid of window deviations (population standard deviation)")->required();
    stats->add_option("-w,--window", args->window, "window size in cells (1 or more)")->required();
    stats->add_option("--band", args->band, "band of a multi-band raster (GDAL door)")->capture_default_str();
    AddRasterOutputOptions(stats, args->write);
    AddJsonFlag(stats, args->json);
    stats->callback([args, &exitCode] { exitCode = WindowStats(*args); });
}

}  // namespace quarnel::cli
