// convert, align, samples, model-units and anomaly-table: rasters moved between formats and
// grids, and the design's input files made from points, all through the GDAL door.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/declared_option.h"
#include "cli/geo_door.h"
#include "cli/geo_points.h"
#include "cli/interrupt.h"
#include "cli/job_output.h"
#include "formats/grid/same_file.h"
#include "geo/align.h"
#include "geo/convert.h"
#include "geo/point_files.h"
#include "quarnel/requests.h"

namespace quarnel::cli {
namespace {

// The statuses of these commands, which are the host's own and no design job's.
constexpr int kWritten = 0;
constexpr int kFailed = 1;

const char* GeoStatusText(int status) {
    return status == kWritten ? "written"
                              : "failed: an input cannot be read or lies on another grid, the points do not "
                                "fit the request, or an output cannot be written";
}

struct GeoArgs {
    std::string input;
    std::string output;
    std::vector<std::string> inputs;
    std::string points;
    geo::PointOptions pointOptions;
    geo::WriteOptions write;
    int band = 0;
    std::string resampling = "nearest";
    geo::SampleOptions samples;
    std::string title;
    bool json = false;
};

int Run(const char* command, bool json, const std::function<void(JobOutput&)>& run) {
    return RunGdalDoor(command, json, kWritten, GeoStatusText, kFailed, run);
}

// An output that is one of the inputs is refused before anything is read.
void RefuseInputAsOutput(const std::string& output, const std::vector<std::string>& inputs) {
    geo::RefuseOutputsOverInputs({output}, inputs);
}

int Convert(const GeoArgs& a) {
    return Run("convert", a.json, [&](JobOutput& out) {
        RefuseInputAsOutput(a.output, {a.input});
        const geo::ConvertResult result =
            geo::ConvertRaster(a.input, a.output, a.write, a.band, StopOnInterrupt());
        out.outputs = {a.output};
        out.results["input_format"] = result.inputFormat;
        out.results["bands"] = result.bands;
        out.results["rows"] = result.rows;
        out.results["cols"] = result.cols;
        out.summary.push_back("wrote " + a.output + ": " + std::to_string(result.bands) +
                              (result.bands == 1 ? " band of " : " bands of ") + std::to_string(result.rows) +
                              " rows x " + std::to_string(result.cols) + " cols from " + result.inputFormat);
    });
}

// Every input's output path, refused when two inputs would share one or one would be an input.
std::vector<std::string> AlignedPaths(const GeoArgs& a) {
    std::vector<std::string> outputs;
    std::vector<std::string> everyInput = a.inputs;
    everyInput.push_back(a.input);
    for (const std::string& input : a.inputs) {
        outputs.push_back(geo::AlignedPath(a.output, input, a.write));
        RefuseInputAsOutput(outputs.back(), everyInput);
        for (std::size_t k = 0; k + 1 < outputs.size(); ++k)
            if (SameOutputFile(outputs[k].c_str(), outputs.back().c_str()))
                throw geo::GeoError(input + " and " + a.inputs[k] + " would both be written to " +
                                    outputs.back());
    }
    return outputs;
}

int Align(const GeoArgs& a) {
    return Run("align", a.json, [&](JobOutput& out) {
        const geo::Resampling resampling = geo::ResamplingNamed(a.resampling);
        const geo::GridFrame target = geo::Raster::Open(a.input).frame();
        for (const std::string& input : a.inputs) geo::Raster::Open(input);  // before DIR is made
        std::error_code error;
        std::filesystem::create_directories(a.output, error);
        if (error) throw geo::GeoError(a.output + ": the folder cannot be created (" + error.message() + ")");
        const std::vector<std::string> outputs = AlignedPaths(a);
        out.results["rows"] = target.rows;
        out.results["cols"] = target.cols;
        out.results["resampling"] = a.resampling;
        out.results["aligned"] = nlohmann::ordered_json::array();
        for (std::size_t k = 0; k < a.inputs.size(); ++k) {
            const geo::AlignResult result =
                geo::AlignRaster(a.inputs[k], target, outputs[k], resampling, a.write, StopOnInterrupt());
            out.outputs.push_back(outputs[k]);
            out.results["aligned"].push_back({{"input", a.inputs[k]},
                                              {"output", outputs[k]},
                                              {"bands", result.bands},
                                              {"reprojected", result.reprojected}});
            out.summary.push_back("wrote " + outputs[k] + (result.reprojected ? " (reprojected)" : ""));
        }
    });
}

int Samples(const GeoArgs& a) {
    return Run("samples", a.json, [&](JobOutput& out) {
        std::vector<std::string> inputs = a.inputs;
        inputs.push_back(a.points);
        RefuseInputAsOutput(a.output, inputs);
        const geo::SampleResult result =
            geo::WriteBpSamples(a.inputs, a.points, a.pointOptions, a.output, a.samples, StopOnInterrupt());
        out.outputs = {a.output};
        out.summary.push_back("wrote " + a.output + ": " + std::to_string(result.deposits.cells) +
                              " deposit cells and " + std::to_string(result.background) +
                              " background cells, " + std::to_string(result.inputs) + " inputs each");
        PutPointCount(out, result.deposits, "deposits");
        out.results["deposit_cells"] = result.deposits.cells;
        out.results["background_cells"] = result.background;
        out.results["inputs"] = result.inputs;
    });
}

int ModelUnits(const GeoArgs& a) {
    return Run("model-units", a.json, [&](JobOutput& out) {
        RefuseInputAsOutput(a.output, {a.input, a.points});
        const geo::ModelUnitResult result =
            geo::WriteModelUnits(a.input, a.points, a.pointOptions, a.output, a.title);
        out.outputs = {a.output};
        out.summary.push_back("wrote " + a.output + ": " + std::to_string(result.deposits.cells) +
                              " model units of total size " + std::to_string(result.size));
        PutPointCount(out, result.deposits, "deposits");
        out.results["units"] = result.deposits.cells;
        out.results["size"] = result.size;
    });
}

int AnomalyTable(const GeoArgs& a) {
    return Run("anomaly-table", a.json, [&](JobOutput& out) {
        std::vector<std::string> inputs = a.inputs;
        inputs.push_back(a.points);
        RefuseInputAsOutput(a.output, inputs);
        const geo::AnomalyTableResult result =
            geo::WriteAnomalyTable(a.inputs, a.points, a.pointOptions, a.output);
        const int rows = result.candidates.read - result.candidates.LeftOut();
        out.outputs = {a.output};
        out.summary.push_back("wrote " + a.output + ": " + std::to_string(rows) + " candidates of " +
                              std::to_string(result.variables) + " variables");
        PutPointCount(out, result.candidates, "candidates");
        out.results["rows"] = rows;
        out.results["variables"] = result.variables;
    });
}

}  // namespace

void AddGeoCommands(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<GeoArgs>();

    CLI::App* convert = app.add_subcommand(
        "convert",
        "Copy a raster into another format (any GDAL raster, DSAA, KVSGDA01, HXF), map coordinates kept");
    convert->add_option("IN", args->input, "raster or design grid to read")->required();
    convert->add_option("OUT", args->output, "file to write")->required();
    convert->add_option("--band", args->band, "copy this band only (default: every band)")
        ->check(CLI::NonNegativeNumber);
    AddRasterOutputOptions(convert, args->write);
    AddJsonFlag(convert, args->json);
    convert->callback([args, &exitCode] { exitCode = Convert(*args); });

    CLI::App* align = app.add_subcommand(
        "align", "Resample rasters onto a reference raster's grid (size, cells, CRS) with GDAL's warper");
    align->add_option("REF", args->input, "raster whose grid the others are put on")->required();
    align->add_option("IN", args->inputs, "rasters to resample")->required();
    align->add_option("-o,--output", args->output, "folder of the results (DIR/NAME.tif)")->required();
    align->add_option("--resampling", args->resampling, "nearest (classes), bilinear, average or mode")
        ->check(CLI::IsMember({"nearest", "bilinear", "average", "mode"}))
        ->capture_default_str();
    AddRasterOutputOptions(align, args->write);
    AddJsonFlag(align, args->json);
    align->callback([args, &exitCode] { exitCode = Align(*args); });

    CLI::App* samples = app.add_subcommand(
        "samples",
        "Write a BP sample file: evidence values at deposit cells (1) and drawn background cells (0)");
    samples->add_option("EVIDENCE", args->inputs, "evidence rasters on one grid, in network input order")
        ->required();
    samples->add_option("--deposits", args->points, "deposit points (CSV, GeoPackage, shapefile...)")
        ->required();
    samples->add_option("-o,--output", args->output, "sample file to write")->required();
    AddDeclared(*samples, params::bp::kBackground, args->samples.background);
    AddDeclared(*samples, params::bp::kSeed, args->samples.seed);
    AddDeclared(*samples, params::bp::kMinDistance, args->samples.minDistance);
    AddPointOptions(samples, args->pointOptions);
    AddJsonFlag(samples, args->json);
    samples->callback([args, &exitCode] { exitCode = Samples(*args); });

    CLI::App* units =
        app.add_subcommand("model-units", "Write a feature analysis model-unit file from deposit points");
    units->add_option("EVIDENCE", args->input, "a raster of the analysis' grid")->required();
    units->add_option("--deposits", args->points, "deposit points (CSV, GeoPackage, shapefile...)")
        ->required();
    units->add_option("-o,--output", args->output, "model-unit file to write")->required();
    units->add_option("--title", args->title,
                      "title, one word of at most 51 characters (default: the points file's name)");
    units->add_option("--size-field", args->pointOptions.valueField,
                      "field of whole numbers added up as each cell's size (default: 1 a point)");
    AddPointOptions(units, args->pointOptions);
    AddJsonFlag(units, args->json);
    units->callback([args, &exitCode] { exitCode = ModelUnits(*args); });

    CLI::App* table = app.add_subcommand(
        "anomaly-table", "Write a hierarchy analysis anomaly table: evidence values at candidate points");
    table->add_option("EVIDENCE", args->inputs, "evidence rasters on one grid, in element order")->required();
    table->add_option("--points", args->points, "candidate points (CSV, GeoPackage, shapefile...)")
        ->required();
    table->add_option("-o,--output", args->output, "anomaly table to write")->required();
    table->add_option("--name-field", args->pointOptions.nameField,
                      "field naming each row (default: the first text field)");
    AddPointOptions(table, args->pointOptions);
    AddJsonFlag(table, args->json);
    table->callback([args, &exitCode] { exitCode = AnomalyTable(*args); });
}

}  // namespace quarnel::cli
