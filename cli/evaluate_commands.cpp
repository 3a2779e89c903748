// evaluate: a prospectivity map (or class map) against known deposits: ROC and AUC, success
// rate, class table, and prediction rates of held-out deposits.
#include <cmath>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/evaluation_report.h"
#include "cli/geo_points.h"
#include "cli/job_output.h"
#include "geo/points.h"
#include "geo/raster.h"
#include "quarnel/evaluate.h"

namespace quarnel::cli {
namespace {

struct EvaluateOptions {
    std::string map;
    std::string deposits;
    std::string mask;
    geo::PointOptions points;
    EvaluationRequest request;
    bool json = false;
};

// The raster cell (row-major) of every point in file order; -1 for a point outside the frame.
std::vector<std::int64_t> DepositCells(const std::vector<geo::Point>& points, const geo::GridFrame& frame) {
    std::vector<std::int64_t> cells;
    for (const geo::Point& point : points) {
        geo::Cell cell;
        cells.push_back(geo::CellOf(frame, point.x, point.y, cell)
                            ? static_cast<std::int64_t>(cell.row) * frame.cols + cell.col
                            : -1);
    }
    return cells;
}

// A mask cell lets its map cell take part when it holds a value other than 0.
std::vector<std::uint8_t> MaskOf(const geo::RasterData& mask) {
    std::vector<std::uint8_t> keep(mask.values.size());
    for (std::size_t i = 0; i < keep.size(); ++i)
        keep[i] = !std::isnan(mask.values[i]) && mask.values[i] != 0;
    return keep;
}

void Fail(JobOutput& output, int status, std::string cause) {
    output.ok = false;
    output.status = status;
    output.meaning = EvaluateStatusText(status);
    output.cause = std::move(cause);
}

void Evaluate(const EvaluateOptions& options, JobOutput& output) {
    geo::RasterData map;
    std::vector<std::uint8_t> mask;
    std::vector<geo::Point> points;
    try {
        map = geo::ReadRaster(options.map);
        if (!options.mask.empty()) {
            const geo::RasterData maskRaster = geo::ReadRaster(options.mask);
            try {
                geo::RequireSameFrame(options.map, map.frame, options.mask, maskRaster.frame);
            } catch (const geo::GeoError& error) {
                return Fail(output, kEvaluateInputsUnfit, error.what());
            }
            mask = MaskOf(maskRaster);
        }
        points = geo::ReadPoints(options.deposits, map.frame.crsWkt, options.points);
    } catch (const geo::GeoError& error) {
        return Fail(output, kEvaluateInputUnread, error.what());
    }
    const std::vector<std::int64_t> cells = DepositCells(points, map.frame);
    const evaluate::CellSample sample = evaluate::SampleCells(map.values, std::nullopt, mask, cells);
    std::int64_t outside = 0;
    for (const std::int64_t cell : cells) outside += cell < 0;
    output.results["map"] = options.map;
    output.results["mask"] =
        options.mask.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(options.mask);
    output.results["deposits_file"] = options.deposits;
    output.results["rows"] = map.frame.rows;
    output.results["cols"] = map.frame.cols;
    output.results["deposits"] = {{"read", points.size()},
                                  {"outside", outside},
                                  {"on_invalid_cells", sample.depositsOnInvalid - outside}};
    output.summary.push_back("map " + options.map + ": " + std::to_string(map.frame.rows) + " x " +
                             std::to_string(map.frame.cols) + " cells, " +
                             std::to_string(sample.scores.size()) + " valid" +
                             (options.mask.empty() ? "" : " within the mask"));
    output.summary.push_back("deposits " + options.deposits + ": " + std::to_string(points.size()) +
                             " read, " + std::to_string(sample.validDeposits.size()) + " on valid cells, " +
                             std::to_string(outside) + " outside the map, " +
                             std::to_string(sample.depositsOnInvalid - outside) +
                             " on no-data or masked cells");
    if (!options.request.csvFolder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.request.csvFolder, error);
        if (error)
            return Fail(output, kEvaluateOutputUnwritten, options.request.csvFolder + ": " + error.message());
    }
    ReportEvaluation(sample, cells, options.request, output);
}

int RunEvaluate(const EvaluateOptions& options) {
    JobOutput output = StatusOutput("evaluate", true, kEvaluateOk, EvaluateStatusText(kEvaluateOk), "");
    try {
        Evaluate(options, output);
    } catch (const std::bad_alloc&) {
        Fail(output, kEvaluateInputUnread, "out of memory");
    }
    return Emit(output, options.json);
}

}  // namespace

void AddEvaluateCommands(CLI::App& app, int& exitCode) {
    auto* command = app.add_subcommand(
        "evaluate",
        "Validate a prospectivity map against deposits: ROC and AUC, success rate, prediction rate");
    auto options = std::make_shared<EvaluateOptions>();
    command->add_option("MAP", options->map, "the map: scores, or classes with --classes (any GDAL raster)")
        ->required();
    command
        ->add_option("DEPOSITS", options->deposits,
                     "the deposits: CSV with x and y, GeoPackage, shapefile...")
        ->required();
    command->add_option("--mask", options->mask,
                        "a raster of the map's grid: only cells where it is not 0 count");
    auto* holdout = command
                        ->add_option("--holdout", options->request.holdout,
                                     "hold out this share of the deposits (0..1) for the prediction rate")
                        ->check(CLI::Range(0.0, 1.0));
    auto* folds = command
                      ->add_option("--folds", options->request.folds,
                                   "deal the deposits into K folds, a prediction rate each")
                      ->check(CLI::Range(2, 1000));
    holdout->excludes(folds);
    command->add_option("--seed", options->request.seed, "the seed of the holdout or fold split (default 0)");
    command->add_flag("--classes", options->request.classes, "the map holds classes: add the class table");
    command->add_option("--csv", options->request.csvFolder,
                        "write every curve's points as CSV files into DIR");
    AddPointOptions(command, options->points);
    AddJsonFlag(command, options->json);
    command->callback([options, &exitCode] { exitCode = RunEvaluate(*options); });
}

}  // namespace quarnel::cli
