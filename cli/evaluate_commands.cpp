// evaluate: a prospectivity map (or class map) against known deposits: ROC and AUC, success
// rate, class table, and prediction rates of held-out deposits.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/door_jobs.h"
#include "cli/evaluation_report.h"
#include "cli/geo_points.h"
#include "cli/job_output.h"
#include "geo/points.h"
#include "geo/raster.h"
#include "formats/grid/memory_budget.h"
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

// A mask cell lets its map cell take part when it holds a value other than 0: a byte a cell,
// read a block of rows at a time so the mask's values are never held whole.
std::vector<std::uint8_t> MaskOf(const geo::Raster& mask) {
    const geo::GridFrame& frame = mask.frame();
    const auto cols = static_cast<std::size_t>(frame.cols);
    std::vector<std::uint8_t> keep(static_cast<std::size_t>(frame.rows) * cols);
    const int step = std::max(1, mask.PreferredRowCount());
    std::vector<double> rows;
    for (int first = 0; first < frame.rows; first += step) {
        const int count = std::min(step, frame.rows - first);
        rows.resize(static_cast<std::size_t>(count) * cols);
        mask.ReadRows(1, first, count, rows.data());
        for (std::size_t i = 0; i < rows.size(); ++i)
            keep[static_cast<std::size_t>(first) * cols + i] = !std::isnan(rows[i]) && rows[i] != 0;
    }
    return keep;
}

// The map's values and a mask's bytes, asked of the memory free before any is read: the
// evaluation itself holds nothing more of a cell's size (quarnel/evaluate.h).
bool MapFitsMemory(const geo::GridFrame& frame, bool masked) {
    MemoryBudget budget;
    budget.Add(frame.rows, frame.cols, sizeof(double) + (masked ? 1 : 0));
    return budget.Fits();
}

void Fail(JobOutput& output, int status, std::string cause) {
    output.ok = false;
    output.status = status;
    output.meaning = EvaluateStatusText(status);
    output.cause = std::move(cause);
}

void Evaluate(const EvaluateOptions& options, JobOutput& output) {
    std::vector<double> values;
    std::vector<std::uint8_t> mask;
    geo::GridFrame frame;
    geo::PointFile points;
    try {
        const geo::Raster map = geo::Raster::Open(options.map);
        frame = map.frame();
        std::optional<geo::Raster> maskRaster;
        if (!options.mask.empty()) {
            maskRaster = geo::Raster::Open(options.mask);
            try {
                geo::RequireSameFrame(options.map, frame, options.mask, maskRaster->frame());
            } catch (const geo::GeoError& error) {
                return Fail(output, kEvaluateInputsUnfit, error.what());
            }
        }
        if (!MapFitsMemory(frame, maskRaster.has_value()))
            return Fail(output, kEvaluateInputUnread,
                        options.map + ": its " + std::to_string(frame.rows) + " x " +
                            std::to_string(frame.cols) + " cells need more memory than is free");
        if (maskRaster) {
            mask = MaskOf(*maskRaster);
            maskRaster.reset();  // and with it the mask's blocks in GDAL's cache
        }
        values.resize(static_cast<std::size_t>(frame.rows) * static_cast<std::size_t>(frame.cols));
        map.ReadRows(1, 0, frame.rows, values.data());
        points = geo::ReadPointFile(options.deposits, frame.crsWkt, options.points);
    } catch (const geo::GeoError& error) {
        return Fail(output, kEvaluateInputUnread, error.what());
    }
    const std::vector<std::int64_t> cells = geo::CellIndices(points.points, frame);
    const evaluate::RankedMap ranked = evaluate::RankMap(std::move(values), std::nullopt, mask, cells);
    mask = {};
    std::int64_t outside = 0;
    for (const std::int64_t cell : cells) outside += cell < 0;
    const std::int64_t onInvalid = ranked.depositsOnInvalid - outside;
    output.results["map"] = options.map;
    output.results["mask"] =
        options.mask.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(options.mask);
    output.results["deposits_file"] = options.deposits;
    output.results["rows"] = frame.rows;
    output.results["cols"] = frame.cols;
    nlohmann::ordered_json deposits = {{"read", points.count.read}};
    PutReadingCounts(deposits, points.count);
    deposits["outside"] = outside;
    deposits["on_invalid_cells"] = onInvalid;
    output.results["deposits"] = std::move(deposits);
    output.summary.push_back("map " + options.map + ": " + std::to_string(frame.rows) + " x " +
                             std::to_string(frame.cols) + " cells, " + std::to_string(ranked.scores.size()) +
                             " valid" + (options.mask.empty() ? "" : " within the mask"));
    output.summary.push_back("deposits " + options.deposits + ": " + std::to_string(points.count.read) +
                             " read, " + std::to_string(ranked.validDeposits.size()) + " on valid cells, " +
                             std::to_string(outside) + " outside the map, " + std::to_string(onInvalid) +
                             " on no-data or masked cells" + ReadingLeftOut(points.count));
    if (!options.request.csvFolder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.request.csvFolder, error);
        if (error)
            return Fail(output, kEvaluateOutputUnwritten, options.request.csvFolder + ": " + error.message());
    }
    ReportEvaluation(ranked, options.request, output);
}

JobOutput EvaluateOf(const EvaluateOptions& options) {
    JobOutput output = StatusOutput("evaluate", true, kEvaluateOk, EvaluateStatusText(kEvaluateOk), "");
    try {
        Evaluate(options, output);
    } catch (const std::bad_alloc&) {
        Fail(output, kEvaluateInputUnread, "out of memory");
    }
    return output;
}

int RunEvaluate(const EvaluateOptions& options) {
    return Emit(EvaluateOf(options), options.json);
}

}  // namespace

nlohmann::ordered_json PhaseSecondsJson(const geo::PhaseSeconds& seconds) {
    return {{"samples", seconds.samples}, {"fit", seconds.fit}, {"map", seconds.map}};
}

void JudgeMapOrWithdraw(const std::string& map, const std::string& deposits, const geo::PointOptions& points,
                        JobOutput& out) {
    const JobOutput judged = EvaluateOutput(map, deposits, points, {});
    if (!judged.ok) {
        for (const std::string& output : out.outputs) {
            std::error_code ignored;
            std::filesystem::remove(output, ignored);
        }
        throw geo::GeoError("validation: " + judged.cause);
    }
    out.results["validation"] = judged.results;
    out.summary.insert(out.summary.end(), judged.summary.begin(), judged.summary.end());
}

JobOutput EvaluateOutput(const std::string& map, const std::string& deposits, const geo::PointOptions& points,
                         const EvaluationRequest& request) {
    EvaluateOptions options;
    options.map = map;
    options.deposits = deposits;
    options.points = points;
    options.request = request;
    return EvaluateOf(options);
}

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
