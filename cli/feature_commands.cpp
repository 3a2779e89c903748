#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "cli/commands.h"
#include "cli/door_jobs.h"
#include "cli/gbk_text.h"
#include "cli/geo_door.h"
#include "cli/interrupt.h"
#include "cli/job_output.h"
#include "jobs/feature/feature_job.h"
#include "jobs/feature/feature_params.h"
#include "jobs/feature/feature_status.h"
#include "jobs/feature/model_units.h"
#include "geo/analysis.h"
#include "quarnel/feature.h"

namespace quarnel::cli {

namespace {

struct FeatureOptions {
    std::string parameterFile;
    bool showReport = false;
    bool json = false;
    geo::WriteOptions write;
};

// Statuses the job returns before it creates the report, once its parameter file has been read:
// a report file of that name is not this run's.
bool ReportCreated(int code) {
    return code != kFeatureParamsRefused && code != kFeatureReportUnwritten;
}

const char* MethodName(int method) {
    return method == 0 ? "vector length" : "principal component of the product matrix";
}

std::string Fixed(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

nlohmann::ordered_json Units(const feature::AnalysisResults& found) {
    nlohmann::ordered_json units = nlohmann::ordered_json::array();
    for (const feature::UnitJudgement& unit : found.units) {
        units.push_back({{"row", unit.row}, {"col", unit.col}, {"size", unit.size}, {"score", unit.score}});
    }
    return units;
}

nlohmann::ordered_json Variables(const FeatureParams& params, const feature::AnalysisResults& found) {
    nlohmann::ordered_json variables = nlohmann::ordered_json::array();
    for (int i = 0; i < params.varCount; ++i) {
        const EvidenceVariable& var = params.vars[i];
        nlohmann::ordered_json variable = {{"name", var.name},
                                           {"lower", var.lower},
                                           {"upper", var.upper},
                                           {"weight", found.weights[static_cast<std::size_t>(i)]}};
        if (found.method == 0) variable["vector_length"] = found.lengths[static_cast<std::size_t>(i)];
        if (found.method == 1) variable["first_component"] = found.component[static_cast<std::size_t>(i)];
        variables.push_back(variable);
    }
    return variables;
}

nlohmann::ordered_json ProductMatrix(const feature::AnalysisResults& found) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    const auto n = static_cast<std::size_t>(found.variables);
    for (std::size_t row = 0; row < n; ++row) {
        rows.push_back(
            std::vector<float>(found.productMatrix.begin() + static_cast<std::ptrdiff_t>(row * n),
                               found.productMatrix.begin() + static_cast<std::ptrdiff_t>((row + 1) * n)));
    }
    return rows;
}

nlohmann::ordered_json Results(const FeatureParams& params, const feature::AnalysisResults& found) {
    nlohmann::ordered_json results;
    results["method"] = found.method;
    results["method_name"] = MethodName(found.method);
    results["variables"] = Variables(params, found);
    if (found.method == 1) results["jacobi_sweeps"] = found.sweeps;
    results["product_matrix_size"] = found.variables;
    results["product_matrix"] = ProductMatrix(found);
    const feature::ScoreStatistics& scores = found.scores;
    results["scores"] = {{"cells", scores.scored},
                         {"blank", scores.blank},
                         {"min", scores.min},
                         {"max", scores.max},
                         {"mean", scores.Mean()}};
    results["model_units_matched"] = found.units.size();
    results["model_units"] = Units(found);
    return results;
}

std::vector<std::string> Summary(const FeatureParams& params, const feature::AnalysisResults& found) {
    std::vector<std::string> lines;
    lines.push_back(std::string("method ") + std::to_string(found.method) + ": " + MethodName(found.method));
    for (int i = 0; i < params.varCount; ++i) {
        lines.push_back(std::string("weight of ") + params.vars[i].name + ": " +
                        Fixed(found.weights[static_cast<std::size_t>(i)]));
    }
    if (found.method == 1) lines.push_back("Jacobi sweeps: " + std::to_string(found.sweeps));
    const std::string n = std::to_string(found.variables);
    lines.push_back("product matrix: " + n + " x " + n);
    const feature::ScoreStatistics& scores = found.scores;
    lines.push_back("scores of " + std::to_string(scores.scored) + " cells: min " + Fixed(scores.min) +
                    ", max " + Fixed(scores.max) + ", mean " + Fixed(scores.Mean()) +
                    "; blank cells: " + std::to_string(scores.blank));
    lines.push_back("model units matched: " + std::to_string(found.units.size()));
    return lines;
}

bool ParamsTakeGdalDoor(const FeatureParams& params, const geo::WriteOptions& write) {
    std::vector<std::string> grids;
    grids.reserve(std::size_t(std::max(params.varCount, 0)));
    for (int i = 0; i < params.varCount; ++i) grids.emplace_back(params.vars[i].gridPath);
    return TakesGdalDoor(grids, {params.scoreGridPath}, write);
}

// Model-unit rows count from the first row of values, which in the design's text grids is the
// southern one; the GDAL door counts rows from the north.
std::vector<geo::ModelUnit> ModelUnitsOf(const FeatureParams& params, int rows) {
    ModelUnitList list;
    std::string cause;
    if (ReadModelUnits(params.modelUnitPath, list, &cause) != kFeatureOk)
        throw geo::GeoError(cause.empty() ? std::string(params.modelUnitPath) + ": cannot be read" : cause);
    std::vector<geo::ModelUnit> units;
    units.reserve(std::size_t(std::max(list.unitCount, 0)));
    for (std::int32_t u = 0; u < list.unitCount; ++u)
        units.push_back({{rows - 1 - list.unitRows[u], list.unitCols[u]}, list.unitSizes[u]});
    return units;
}

// Back-judged units named as the model-unit file names them, in its row order.
void ToFileRows(std::vector<feature::UnitJudgement>& units, int rows) {
    for (feature::UnitJudgement& unit : units) unit.row = rows - 1 - unit.row;
    std::stable_sort(units.begin(), units.end(), [](const auto& a, const auto& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    });
}

// The score grid may name none of the job's inputs, as the design's job refuses (its status).
JobOutput RefusedScoreOutput(const std::string& parameterFile, const FeatureParams& params) {
    std::vector<std::string> inputs = {parameterFile};
    if (params.hasModelUnits == 1) inputs.emplace_back(params.modelUnitPath);
    for (int i = 0; i < params.varCount; ++i) inputs.emplace_back(params.vars[i].gridPath);
    try {
        geo::RefuseOutputsOverInputs({params.scoreGridPath}, inputs);
    } catch (const geo::GeoError& error) {
        return StatusOutput("feature", false, kFeatureParamsRefused, FeatureStatusText(kFeatureParamsRefused),
                            error.what());
    }
    return StatusOutput("feature", true, kFeatureOk, FeatureStatusText(kFeatureOk), {});
}

JobOutput FeatureRasterOutput(const std::string& parameterFile, const FeatureParams& params,
                              const geo::WriteOptions& write) {
    if (JobOutput refused = RefusedScoreOutput(parameterFile, params); !refused.ok) return refused;
    return GdalDoorOutput("feature", kFeatureOk, FeatureStatusText, kFeatureMalformedInput,
                          [&](JobOutput& out) {
                              geo::FeatureRequest request;
                              for (int i = 0; i < params.varCount; ++i) {
                                  const EvidenceVariable& var = params.vars[i];
                                  request.variables.push_back({var.name, var.gridPath, var.lower, var.upper});
                              }
                              request.method = params.method;
                              request.scoreOutput = params.scoreGridPath;
                              request.useModelUnits = params.hasModelUnits == 1;
                              const int rows = geo::Raster::Open(params.vars[0].gridPath).frame().rows;
                              if (request.useModelUnits) request.modelUnits = ModelUnitsOf(params, rows);
                              feature::AnalysisResults found =
                                  geo::AnalyseFeatures(request, write, StopOnInterrupt());
                              ToFileRows(found.units, rows);
                              out.outputs = {params.scoreGridPath};
                              out.results = Results(params, found);
                              out.summary.push_back("score grid: " + std::string(params.scoreGridPath));
                              for (const std::string& line : Summary(params, found))
                                  out.summary.push_back(line);
                          });
}

void RunFeature(const FeatureOptions& options, int& exitCode) {
    if (const auto params = std::make_unique<FeatureParams>();
        ReadFeatureParams(options.parameterFile.c_str(), *params) == kFeatureOk &&
        ParamsTakeGdalDoor(*params, options.write)) {
        exitCode = Emit(FeatureRasterOutput(options.parameterFile, *params, options.write), options.json);
        return;
    }
    const FeatureOutcome outcome = RunFeatureJob(options.parameterFile.c_str());
    const int code = outcome.status;
    const FeatureParams* params = outcome.params.get();
    if (options.showReport && params != nullptr && ReportCreated(code)) {
        // Under --json the report goes to standard error, so standard output stays one object.
        if (!PrintGbkFile(params->reportPath, options.json ? std::cerr : std::cout)) {
            std::cerr << "cannot read " << params->reportPath << "\n";
        }
    }
    JobOutput output =
        StatusOutput("feature", code == kFeatureOk, code, FeatureStatusText(code), outcome.cause);
    if (output.ok) {
        output.outputs = {params->reportPath, params->scoreGridPath};
        output.results = Results(*params, outcome.results);
        output.summary = {std::string("report: ") + params->reportPath,
                          std::string("score grid: ") + params->scoreGridPath};
        for (std::string& line : Summary(*params, outcome.results)) output.summary.push_back(std::move(line));
    }
    exitCode = Emit(output, options.json);
}

}  // namespace

void AddFeatureCommands(CLI::App& app, int& exitCode) {
    auto* feature = app.add_subcommand(
        "feature",
        "Characteristic analysis (qelFeater): coded evidence, product matrix, weights, score grid");
    auto options = std::make_shared<FeatureOptions>();
    feature->add_option("PARAMFILE", options->parameterFile, "parameter file (keyword QelFrmFeater)")
        ->required();
    feature->add_flag("--show-report", options->showReport, "print the report, converted from GBK to UTF-8");
    AddRasterOutputOptions(feature, options->write);
    AddJsonFlag(feature, options->json);
    feature->callback([options, &exitCode] { RunFeature(*options, exitCode); });
}

}  // namespace quarnel::cli
