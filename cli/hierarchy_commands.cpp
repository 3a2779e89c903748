// hierarchy and report: the hierarchy job from the command line, its results taken from the
// job's own record of the run (never from the GBK report), and any GBK report shown as UTF-8.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/door_jobs.h"
#include "cli/gbk_text.h"
#include "cli/geo_door.h"
#include "cli/interrupt.h"
#include "cli/job_output.h"
#include "geo/analysis.h"
#include "jobs/hierarchy/decompos_run.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/level_texts.h"
#include "jobs/hierarchy/read_hierarchy_params.h"

namespace quarnel::cli {

namespace {

namespace status = hierarchy_status;

struct CliOptions {
    bool json = false;
    geo::WriteOptions write;
};
using nlohmann::ordered_json;

// Statuses the job returns before it creates the report: a file of that name is not this run's.
bool ReportCreated(int code) {
    switch (code) {
        case status::kParameterFileNotOpened:
        case status::kNotTheKeyword:
        case status::kReportNotCreated:
        case status::kMalformedParameterFile:
        case status::kBadImportance:
        case status::kOutputOverwritesInput:
            return false;
        default:
            return true;
    }
}

bool WritesResult(const HierarchyParams& params) {
    return params.target == kPredictRegularGrid || params.target == kPredictIrregularGrid;
}

bool ShowGbkFile(const std::string& path) {
    if (PrintGbkFile(path.c_str(), std::cout)) return true;
    std::cerr << "cannot read " << path << "\n";
    return false;
}

std::string Fixed(double value, int decimals = 3) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string MatrixName(const hierarchy::MatrixResult& matrix) {
    return matrix.level < 0 ? "main" : LevelName(matrix.level);
}

// The rows of a matrix: the present levels for the main one, else the level's elements.
std::vector<std::string> RowNames(const HierarchyParams& params, const hierarchy::MatrixResult& matrix) {
    std::vector<std::string> names;
    for (int level = 0; level < kLevelCount && matrix.level < 0; ++level) {
        if (params.LevelPresent(level)) names.emplace_back(LevelName(level));
    }
    for (int i = 0; matrix.level >= 0 && i < matrix.order; ++i)
        names.push_back(GbkToUtf8(params.elements[matrix.level][i].name));
    return names;
}

ordered_json MatrixJson(const HierarchyParams& params, const hierarchy::MatrixResult& matrix) {
    ordered_json object;
    object["matrix"] = MatrixName(matrix);
    object["rows"] = RowNames(params, matrix);
    object["order"] = matrix.order;
    ordered_json weights = ordered_json::array();
    for (int i = 0; i < matrix.order; ++i) weights.push_back(matrix.weights[i]);
    object["weights"] = weights;
    object["eigenvalue"] = matrix.lambdaMax;
    object["cr"] = matrix.consistencyRatio;
    if (matrix.level >= 0) object["combined_consistency"] = matrix.combinedConsistency;
    object["consistent"] = matrix.consistent;
    return object;
}

std::string MatrixLine(const HierarchyParams& params, const hierarchy::MatrixResult& matrix) {
    const std::vector<std::string> rows = RowNames(params, matrix);
    std::string line = MatrixName(matrix) + " matrix: weights";
    for (int i = 0; i < matrix.order; ++i)
        line += " " + rows[std::size_t(i)] + " " + Fixed(matrix.weights[i]);
    line += ", largest eigenvalue " + Fixed(matrix.lambdaMax) + ", CR " + Fixed(matrix.consistencyRatio);
    if (matrix.level >= 0) line += ", combined consistency " + Fixed(matrix.combinedConsistency);
    return line + (matrix.consistent ? ", consistent" : ", NOT consistent");
}

// Total weights by level, then by element name; only levels whose matrix was formed.
ordered_json TotalWeightsJson(const DecomposRun& run) {
    ordered_json totals = ordered_json::object();
    for (const hierarchy::MatrixResult& matrix : run.weights.matrices) {
        if (matrix.level < 0) continue;
        ordered_json level = ordered_json::object();
        for (int i = 0; i < matrix.order; ++i) {
            level[GbkToUtf8(run.params.elements[matrix.level][i].name)] =
                run.weights.totalWeights[matrix.level][i];
        }
        totals[LevelName(matrix.level)] = level;
    }
    return totals;
}

void AddWeights(const DecomposRun& run, JobOutput& output) {
    ordered_json matrices = ordered_json::array();
    for (const hierarchy::MatrixResult& matrix : run.weights.matrices) {
        matrices.push_back(MatrixJson(run.params, matrix));
        output.summary.push_back(MatrixLine(run.params, matrix));
    }
    output.results["matrices"] = matrices;
    output.results["consistent"] = run.weights.consistent;
    output.results["combined_consistency"] = run.weights.combinedConsistency;
    output.results["total_weights"] = TotalWeightsJson(run);
    for (const auto& [level, elements] : output.results["total_weights"].items()) {
        std::string line = "total weights (" + level + "), percent:";
        for (const auto& [name, weight] : elements.items())
            line += " " + name + " " + Fixed(weight.get<double>());
        output.summary.push_back(line);
    }
}

void AddTargetResults(const DecomposRun& run, JobOutput& output) {
    if (run.params.target == kRankAnomalies) {
        output.results["rows_scored"] = run.rowsScored;
        ordered_json ranking = ordered_json::array();
        output.summary.push_back("ranking of " + std::to_string(run.rowsScored) + " anomalies (top " +
                                 std::to_string(run.ranking.size()) + "):");
        for (const RankedRow& row : run.ranking) {
            const std::string name = GbkToUtf8(row.name);
            ranking.push_back({{"rank", row.rank}, {"name", name}, {"score", row.score}});
            output.summary.push_back("  " + std::to_string(row.rank) + ". " + name + " " +
                                     Fixed(row.score, 2));
        }
        output.results["ranking"] = ranking;
    } else if (run.params.target == kPredictIrregularGrid) {
        output.results["rows_scored"] = run.rowsScored;
        output.summary.push_back("predicted " + std::to_string(run.rowsScored) + " irregular cells");
    } else if (run.params.target == kPredictRegularGrid && run.gridRows > 0) {
        // (No rows: the GDAL door predicts the grid after the job and gives its size then.)
        output.results["grid"] = {{"rows", run.gridRows}, {"cols", run.gridCols}};
        output.summary.push_back("predicted a grid of " + std::to_string(run.gridRows) + " x " +
                                 std::to_string(run.gridCols) + " cells");
    }
}

JobOutput OutputOf(const DecomposRun& run) {
    JobOutput output;
    output.command = "hierarchy";
    output.status = run.status;
    output.ok = run.status == status::kSuccess;
    output.meaning =
        run.paramsRead ? status::Meaning(run.status, run.params.target) : status::Meaning(run.status);
    output.cause = run.cause;
    if (!run.paramsRead) return output;
    output.results["target"] = run.params.target;
    if (ReportCreated(run.status)) output.outputs.emplace_back(run.params.reportFile);
    if (output.ok && WritesResult(run.params)) output.outputs.emplace_back(run.params.outputFile);
    if (output.ok) {
        output.summary.push_back(std::string("report: ") + run.params.reportFile);
        if (WritesResult(run.params))
            output.summary.push_back(std::string("result: ") + run.params.outputFile);
    }
    if (run.weightsComputed) AddWeights(run, output);
    if (output.ok) AddTargetResults(run, output);
    return output;
}

// The parameter file with its target replaced by the weights-only one: through the GDAL door the
// job computes the weights and writes its report, and the door predicts the grid.
std::string WeightsOnlyParameters(const std::string& parameterFile) {
    std::ifstream in(parameterFile, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::size_t at = 0;
    for (int token = 0; token < 2; ++token) {
        while (at < text.size() && blank(text[at])) ++at;
        if (token == 1) break;
        while (at < text.size() && !blank(text[at])) ++at;
    }
    std::size_t end = at;
    while (end < text.size() && !blank(text[end])) ++end;
    text.replace(at, end - at, "3");
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("quarnel-hierarchy-" + std::to_string(getpid()) + ".params");
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

JobOutput HierarchyRasterOutput(const std::string& parameterFile, const HierarchyParams& params,
                                const geo::WriteOptions& write) {
    std::vector<std::string> rasters;
    for (int level = 0; level < kLevelCount; ++level)
        for (int i = 0; i < params.ElementsInUse(level); ++i)
            rasters.emplace_back(params.elements[level][i].file);
    // The weights-only run reads a copy of the parameter file, so the design's own guard cannot
    // see it: the outputs are checked against every input here, before the report is written.
    std::vector<std::string> inputs = rasters;
    inputs.push_back(parameterFile);
    try {
        geo::RefuseOutputsOverInputs({params.outputFile, params.reportFile}, inputs);
    } catch (const geo::GeoError& error) {
        const int refused = hierarchy_status::kOutputOverwritesInput;
        return StatusOutput("hierarchy", false, refused, status::Meaning(refused, params.target).c_str(),
                            error.what());
    }
    const std::string weightsOnly = WeightsOnlyParameters(parameterFile);
    DecomposRun run = RunDecompos(weightsOnly.c_str());
    std::filesystem::remove(weightsOnly);
    run.params = params;
    JobOutput output = OutputOf(run);
    if (run.status != status::kSuccess) return output;
    std::vector<float> weights;
    for (int level = 0; level < kLevelCount; ++level)
        for (int i = 0; i < params.ElementsInUse(level); ++i)
            weights.push_back(run.weights.totalWeights[std::size_t(level)][std::size_t(i)]);
    try {
        const geo::PredictionResult prediction =
            geo::PredictHierarchyRaster(rasters, weights, params.outputFile, write, StopOnInterrupt());
        output.results["grid"] = {{"rows", prediction.rows}, {"cols", prediction.cols}};
        output.results["prediction"] = {{"cells", prediction.predicted},
                                        {"blank", prediction.blank},
                                        {"min", prediction.min},
                                        {"max", prediction.max}};
        output.summary.push_back("predicted a grid of " + std::to_string(prediction.rows) + " x " +
                                 std::to_string(prediction.cols) + " cells");
    } catch (const Stopped&) {
        throw;
    } catch (const std::exception& error) {
        output.ok = false;
        output.status = status::kMalformedInput;
        output.meaning = status::Meaning(output.status, params.target);
        output.cause = error.what();
    }
    return output;
}

bool TakesGdalDoor(const HierarchyParams& params, const geo::WriteOptions& write) {
    if (params.target != kPredictRegularGrid) return false;
    std::vector<std::string> grids;
    for (int level = 0; level < kLevelCount; ++level)
        for (int i = 0; i < params.ElementsInUse(level); ++i)
            grids.emplace_back(params.elements[level][i].file);
    return cli::TakesGdalDoor(grids, {params.outputFile}, write);
}

int RunHierarchy(const std::string& parameterFile, bool showReport, const CliOptions& options) {
    if (HierarchyParams params{}; ReadHierarchyParams(parameterFile.c_str(), params) == status::kSuccess &&
                                  TakesGdalDoor(params, options.write)) {
        JobOutput output = HierarchyRasterOutput(parameterFile, params, options.write);
        if (showReport && !options.json && ReportCreated(output.status)) ShowGbkFile(params.reportFile);
        return Emit(output, options.json);
    }
    const bool json = options.json;
    const DecomposRun run = RunDecompos(parameterFile.c_str());
    if (showReport && !json && run.paramsRead && ReportCreated(run.status))
        ShowGbkFile(run.params.reportFile);
    return Emit(OutputOf(run), json);
}

}  // namespace

void AddHierarchyCommands(CLI::App& app, int& exitCode) {
    auto* hierarchy = app.add_subcommand(
        "hierarchy", "Hierarchy analysis (qelDecompos): weights, consistency, anomaly ranking or prediction");
    auto parameterFile = std::make_shared<std::string>();
    auto showReport = std::make_shared<bool>(false);
    auto options = std::make_shared<CliOptions>();
    hierarchy->add_option("PARAMFILE", *parameterFile, "parameter file (keyword QELFrmDECOMPOSE)")
        ->required();
    hierarchy->add_flag("--show-report", *showReport, "print the report, converted from GBK to UTF-8");
    AddRasterOutputOptions(hierarchy, options->write);
    AddJsonFlag(hierarchy, options->json);
    hierarchy->callback([parameterFile, showReport, options, &exitCode] {
        exitCode = RunHierarchy(*parameterFile, *showReport, *options);
    });

    auto* report = app.add_subcommand("report", "Print a GBK report converted to UTF-8");
    auto reportFile = std::make_shared<std::string>();
    report->add_option("FILE", *reportFile, "report file")->required();
    report->callback([reportFile, &exitCode] {
        if (!ShowGbkFile(*reportFile)) exitCode = 1;
    });
}

}  // namespace quarnel::cli
