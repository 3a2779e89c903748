#include "workflow/runner.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>

#include "cli/door_jobs.h"
#include "cli/fuzzy_job.h"
#include "cli/logistic_job.h"
#include "cli/trees_job.h"
#include "cli/wofe_job.h"
#include "formats/grid/text_sink.h"
#include "geo/align.h"
#include "geo/analysis.h"
#include "geo/bp.h"
#include "geo/crs.h"
#include "geo/evidence.h"
#include "geo/point_files.h"
#include "geo/prep.h"
#include "geo/rows.h"
#include "jobs/feature/report_sections.h"
#include "jobs/hierarchy/hierarchy_params.h"
#include "jobs/hierarchy/report_opening.h"
#include "quarnel/evaluate.h"
#include "quarnel/hierarchy.h"
#include "workflow/output_folder.h"
#include "workflow/report.h"
#include "workflow/report_figures.h"

namespace quarnel::workflow {

namespace {

namespace fs = std::filesystem;
namespace key = params::result;
using Json = nlohmann::ordered_json;
using params::Preparation;

std::string Text(std::string_view view) {
    return std::string(view);
}

std::string Dump(const Json& json, int indent) {
    return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

bool Windowed(const params::LayerRequest& layer) {
    return layer.prepare == Preparation::windowMean || layer.prepare == Preparation::windowDeviation;
}

// The files a run may write, relative to its folder: every step's, for the layers it has.
std::vector<fs::path> PlannedOutputs(const Workflow& workflow) {
    std::vector<fs::path> files = {
        "bp/samples.txt", "bp/network.txt", "bp/training_result.txt", "bp/classes.tif",
        "bp/favourability.tif", "hierarchy/prospectivity.tif", "feature/score.tif",
        "validation/training_deposits.csv", "validation/held_out_deposits.csv", "validation/roc.png",
        "validation/success-rate.png", "validation/prediction-rate.png", "hierarchy/report.txt",
        "feature/report.txt",
        // Files of earlier versions of the run, which no step makes now.
        "hierarchy/hierarchy.params", "feature/feature.params", "feature/model_units.txt"};
    for (const char* name : {"posterior.tif", "posterior_std.tif", "confidence.tif", "posterior_std.png"})
        files.push_back(fs::path("wofe") / name);
    for (const params::LayerRequest& layer : workflow.layers)
        files.push_back(fs::path("wofe/weights") / (layer.name + ".csv"));
    for (const char* file : {"fuzzy/overlay.tif", "logistic/probability.tif",
                             "logistic/probability.std_error.tif", "trees/probability.tif"})
        files.push_back(file);
    for (const char* method : {"bp", "hierarchy", "feature", "wofe", "fuzzy", "logistic", "trees"})
        for (const char* ending : {".json", ".held_out.json", ".png", ".targets.png"})
            files.push_back(fs::path("validation") / (std::string(method) + ending));
    for (const params::LayerRequest& layer : workflow.layers)
        for (const char* ending : {".tif", ".blocks-mean.tif", ".blocks-deviation.tif", ".png"})
            files.push_back(fs::path("layers") / (layer.name + ending));
    for (const params::LayerRequest& layer : workflow.layers)
        for (const char* ending : {".tif", ".png"})
            files.push_back(fs::path("fuzzy/memberships") / (layer.name + ending));
    return files;
}

bool SamePlace(const fs::path& a, const fs::path& b) {
    if (fs::absolute(a).lexically_normal() == fs::absolute(b).lexically_normal()) return true;
    std::error_code error;
    return fs::equivalent(a, b, error);
}

// What the checks found out, for the steps.
struct Plan {
    fs::path folder;
    std::vector<fs::path> outputs;
    std::vector<int> bands;  // per layer
    geo::GridFrame frame;    // the first layer's: every layer's once prepared
    std::vector<geo::Point> deposits;
    geo::PointCount reading;  // what reading the deposit file left out, by reason
    std::vector<geo::Point> training;
    std::vector<geo::Point> heldOut;
    std::optional<evaluate::DepositSplit> split;
    Json nearness = Json::object();  // of the held-out deposits to the training ones
};

std::vector<std::string> BpLayers(const Workflow& workflow) {
    if (!workflow.bp->layers.empty()) return workflow.bp->layers;
    std::vector<std::string> names;
    for (const params::LayerRequest& layer : workflow.layers) names.push_back(layer.name);
    return names;
}

// The layers that must hold one band: those prepared, and those hierarchy or feature analysis
// take (each reads band 1).
std::vector<std::string> SingleBandLayers(const Workflow& workflow) {
    std::vector<std::string> names;
    for (const params::LayerRequest& layer : workflow.layers)
        if (layer.prepare != Preparation::classes) names.push_back(layer.name);
    if (workflow.hierarchy)
        for (const params::LevelRequest& level : workflow.hierarchy->levels)
            for (const params::ElementRequest& element : level.elements) names.push_back(element.layer);
    if (workflow.feature)
        for (const params::VariableRequest& variable : workflow.feature->variables)
            names.push_back(variable.layer);
    if (workflow.fuzzy)
        for (const params::FuzzyInputRequest& input : workflow.fuzzy->inputs) names.push_back(input.layer);
    return names;
}

void CheckOutputsAreNoInputs(const Workflow& workflow, Plan& plan) {
    std::vector<std::pair<std::string, fs::path>> inputs;
    for (std::size_t i = 0; i < workflow.layers.size(); ++i)
        inputs.emplace_back("layers[" + std::to_string(i + 1) + "].raster", workflow.layers[i].raster);
    if (workflow.deposits) inputs.emplace_back("deposits.path", workflow.deposits->path);
    for (const fs::path& output : plan.outputs)
        for (const auto& [where, input] : inputs)
            if (SamePlace(plan.folder / output, input))
                throw WorkflowError(workflow.Where(where) + "the run would write its output " +
                                    (plan.folder / output).string() +
                                    " over this input; choose another output folder or layer name");
    for (const char* whole : {"summary.json", "report.html"})
        for (const auto& [where, input] : inputs)
            if (SamePlace(plan.folder / whole, input))
                throw WorkflowError(workflow.Where(where) + "the run would write its " + whole +
                                    " over this input");
}

void CheckRasters(const Workflow& workflow, Plan& plan) {
    const std::vector<std::string> single = SingleBandLayers(workflow);
    for (std::size_t i = 0; i < workflow.layers.size(); ++i) {
        const params::LayerRequest& layer = workflow.layers[i];
        const std::string where = workflow.Where("layers[" + std::to_string(i + 1) + "].raster");
        try {
            const geo::Raster raster = geo::Raster::Open(layer.raster);
            plan.bands.push_back(raster.BandCount());
            if (i == 0) plan.frame = raster.frame();
            // Window statistics return to the first layer's grid; every other layer must lie on it.
            else if (!Windowed(layer))
                geo::RequireSameFrame(workflow.layers[0].raster, plan.frame, layer.raster, raster.frame());
        } catch (const std::exception& error) {
            throw WorkflowError(where + error.what());
        }
        if (Windowed(layer) && (layer.window > plan.frame.rows || layer.window > plan.frame.cols))
            throw WorkflowError(workflow.Where("layers[" + std::to_string(i + 1) + "].window") +
                                "a window of " + std::to_string(layer.window) +
                                " cells does not fit the grid of " + std::to_string(plan.frame.rows) + " x " +
                                std::to_string(plan.frame.cols) + " cells");
        if (plan.bands.back() > 1 && std::find(single.begin(), single.end(), layer.name) != single.end())
            throw WorkflowError(where + "has " + std::to_string(plan.bands.back()) +
                                " bands, but its preparation or a method that takes it reads one band; give "
                                "each band as a layer of its own (BP alone takes every band as an input)");
    }
}

// Each deposit's group for the holdout: its cell, or with blocks its square block of that side
// from the grid's corner; a deposit off the grid is a group of its own.
std::vector<std::int64_t> SplitGroups(const std::vector<geo::Point>& deposits, const geo::GridFrame& frame,
                                      std::optional<double> blocks) {
    std::vector<std::int64_t> groups;
    std::map<std::pair<double, double>, std::int64_t> blockNames;
    const geo::CellLocator locator(frame);
    for (std::size_t i = 0; i < deposits.size(); ++i) {
        const geo::Point& point = deposits[i];
        const std::int64_t cell = locator.Index(point.x, point.y);
        if (cell < 0) {
            groups.push_back(-1 - std::int64_t(i));
        } else if (!blocks) {
            groups.push_back(cell);
        } else {
            const std::pair<double, double> block{std::floor((point.x - frame.geoTransform[0]) / *blocks),
                                                  std::floor((frame.geoTransform[3] - point.y) / *blocks)};
            groups.push_back(blockNames.emplace(block, std::int64_t(blockNames.size())).first->second);
        }
    }
    return groups;
}

// How many held-out deposits share a cell with, or lie within 500 m and 2 km (map units) of, a
// training deposit: how far the prediction rate is from an independent test.
Json NearnessOf(const std::vector<geo::Point>& heldOut, const std::vector<geo::Point>& training,
                const geo::GridFrame& frame) {
    std::int64_t sharing = 0, within500 = 0, within2000 = 0;
    const geo::CellLocator locator(frame);
    for (const geo::Point& kept : heldOut) {
        const std::int64_t cell = locator.Index(kept.x, kept.y);
        double nearest = std::numeric_limits<double>::infinity();
        bool shares = false;
        for (const geo::Point& used : training) {
            nearest = std::min(nearest, std::hypot(kept.x - used.x, kept.y - used.y));
            if (cell >= 0 && locator.Index(used.x, used.y) == cell) shares = true;
        }
        sharing += shares ? 1 : 0;
        within500 += nearest <= 500 ? 1 : 0;
        within2000 += nearest <= 2000 ? 1 : 0;
    }
    return {{"sharing_a_cell", sharing}, {"within_500", within500}, {"within_2000", within2000}};
}

void ReadDeposits(const Workflow& workflow, Plan& plan) {
    if (!workflow.deposits) return;
    geo::PointOptions options;
    options.xColumn = workflow.deposits->xColumn;
    options.yColumn = workflow.deposits->yColumn;
    options.crs = workflow.deposits->crs;
    try {
        geo::PointFile file = geo::ReadPointFile(workflow.deposits->path, plan.frame.crsWkt, options);
        plan.deposits = std::move(file.points);
        plan.reading = file.count;
    } catch (const std::exception& error) {
        throw WorkflowError(workflow.Where("deposits.path") + error.what());
    }
    if (plan.deposits.empty()) throw WorkflowError(workflow.Where("deposits.path") + "holds no deposit");
    plan.training = plan.deposits;
    if (!workflow.validation.holdout) return;
    plan.split =
        evaluate::HoldoutSplitByGroup(SplitGroups(plan.deposits, plan.frame, workflow.validation.blocks),
                                      *workflow.validation.holdout, workflow.validation.seed);
    plan.training.clear();
    for (const std::int64_t k : plan.split->training) plan.training.push_back(plan.deposits[std::size_t(k)]);
    for (const std::int64_t k : plan.split->heldOut) plan.heldOut.push_back(plan.deposits[std::size_t(k)]);
    plan.nearness = NearnessOf(plan.heldOut, plan.training, plan.frame);
    if (plan.training.empty() || plan.heldOut.empty())
        throw WorkflowError(workflow.Where("validation.holdout") + "leaves " +
                            std::to_string(plan.training.size()) + " deposits for training and " +
                            std::to_string(plan.heldOut.size()) + " kept back; both need one at least");
}

geo::SampleOptions SampleOptionsOf(const params::BpRequest& bp) {
    geo::SampleOptions options;
    options.background = bp.background.value_or(-1);
    options.seed = bp.seed;
    options.minDistance = bp.minDistance;
    return options;
}

// The samples drawn from the rasters as given: the same cells hold data once a layer is coded or
// rescaled, so this finds what the BP step would meet (window statistics are judged when run).
void CheckSamples(const Workflow& workflow, const Plan& plan) {
    const auto windowed = [&](const std::string& name) { return Windowed(workflow.Layer(name)); };
    const std::vector<std::string> bpLayers = workflow.bp ? BpLayers(workflow) : std::vector<std::string>{};
    if (workflow.bp && std::none_of(bpLayers.begin(), bpLayers.end(), windowed)) {
        std::vector<std::string> rasters;
        rasters.reserve(bpLayers.size());
        for (const std::string& name : bpLayers) rasters.push_back(workflow.Layer(name).raster);
        const std::string background = workflow.Where(workflow.bp->background ? "bp.background" : "bp");
        const std::string deposits = workflow.Where("deposits.path");
        try {
            geo::MakeBpSamples(rasters, plan.training, SampleOptionsOf(*workflow.bp),
                               deposits.substr(0, deposits.size() - 2),
                               background.substr(0, background.size() - 2));
        } catch (const geo::GeoError& error) {
            throw WorkflowError(std::string(error.what()) +
                                (workflow.bp->background ? "" : " (as many as deposit cells)"));
        }
    }
    if (workflow.feature && workflow.feature->modelUnits &&
        std::none_of(workflow.feature->variables.begin(), workflow.feature->variables.end(),
                     [&](const params::VariableRequest& variable) { return windowed(variable.layer); })) {
        std::vector<std::string> rasters;
        for (const params::VariableRequest& variable : workflow.feature->variables)
            rasters.push_back(workflow.Layer(variable.layer).raster);
        geo::PointCount count;
        if (geo::ModelUnitsOf(rasters, plan.training, count).empty())
            throw WorkflowError(workflow.Where("deposits.path") +
                                "no deposit lies on a cell where every layer of feature analysis holds data, "
                                "so it has no model unit");
    }
}

Plan Check(const Workflow& workflow, const RunOptions& options) {
    Plan plan;
    plan.folder = fs::absolute(options.output.empty() ? workflow.output : options.output).lexically_normal();
    plan.outputs = PlannedOutputs(workflow);
    CheckOutputsAreNoInputs(workflow, plan);
    CheckRasters(workflow, plan);
    ReadDeposits(workflow, plan);
    CheckSamples(workflow, plan);
    return plan;
}

// What one run wrote and found, step by step.
struct RunMap {
    std::string method;
    std::string path;
    bool classes = false;
    std::size_t section = 0;  // the method's section of the report
};

struct Step {
    std::vector<std::string> outputs;
    Json results = Json::object();
};

// A door job's outcome taken into its step: the outputs it wrote (so a failure withdraws them),
// then its results, or its cause as the step's failure.
const Json& TakeJobOutput(const cli::JobOutput& found, Step& step) {
    step.outputs = found.outputs;
    if (!found.ok) throw WorkflowError(found.cause);
    step.results = found.results;
    return step.results;
}

struct Record {
    Json summary = Json::object();
    std::vector<std::string> lines;
    bool ok = true;
    bool stopped = false;
    RunReport report;
    std::vector<RunMap> maps;
    Progress progress;
    std::int64_t steps = 0;

    void Add(const std::string& name, bool succeeded, const std::string& cause, const Step& step) {
        Json entry = {{Text(key::kStepOk), succeeded}};
        if (!succeeded) entry[Text(key::kCause)] = cause;
        entry[Text(key::kOutputs)] = succeeded ? step.outputs : std::vector<std::string>{};
        entry[Text(key::kResults)] = step.results;
        summary[name] = entry;
        if (!succeeded) {
            ok = false;
            lines.push_back(name + ": failed: " + cause);
            return;
        }
        for (const std::string& path : step.outputs) lines.push_back(name + ": " + path);
    }

    // Runs body as the step name: recorded as done, failed with the exception's text (the files
    // it named in step.outputs removed), or stopped.
    template <class Body>
    bool Run(const std::string& name, Body body) {
        Step step;
        if (!stopped && progress && !progress({"step", ++steps, 0, 0})) stopped = true;
        if (stopped) {
            Add(name, false, "stopped before it began", step);
            return false;
        }
        try {
            body(step);
        } catch (const Stopped& error) {
            stopped = true;
            Withdraw(step);
            Add(name, false, error.what(), step);
            return false;
        } catch (const std::exception& error) {
            Withdraw(step);
            Add(name, false, error.what(), step);
            return false;
        }
        Add(name, true, "", step);
        return true;
    }

    // What a step had written goes with it: the folder holds only what succeeded.
    static void Withdraw(const Step& step) {
        for (const std::string& path : step.outputs) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }

    void Add(const std::string& name, const cli::JobOutput& output) {
        Step step{output.outputs, output.results};
        Add(name, output.ok, output.meaning + (output.cause.empty() ? "" : ": " + output.cause), step);
    }
};

// The causes of the named steps that failed, for their section of the report.
std::vector<std::string> FailuresOf(const Record& record, std::initializer_list<std::string_view> steps) {
    std::vector<std::string> failures;
    for (const std::string_view step : steps) {
        const std::string name(step);
        if (record.summary.contains(name) && !record.summary[name][Text(key::kStepOk)].get<bool>())
            failures.push_back(name + ": " + record.summary[name][Text(key::kCause)].get<std::string>());
    }
    return failures;
}

// The layers as the methods take them, all on the first layer's grid; empty where a layer
// could not be prepared.
std::vector<std::string> PrepareLayers(const Workflow& workflow, const Plan& plan, const OutputFolder& folder,
                                       Record& record) {
    const geo::WriteOptions tiff;
    std::vector<std::string> prepared;
    Json layers = Json::array();
    for (std::size_t i = 0; i < workflow.layers.size(); ++i) {
        const params::LayerRequest& layer = workflow.layers[i];
        const std::string output = folder.Place(fs::path("layers") / (layer.name + ".tif")).string();
        std::string made;
        const bool ok = record.Run("layer_" + layer.name, [&](Step& step) {
            switch (layer.prepare) {
                case Preparation::classes:
                    made = layer.raster;
                    return;
                case Preparation::normalize:
                    geo::NormalizeRaster(layer.raster, output, tiff, 1, record.progress);
                    break;
                case Preparation::code:
                    geo::CodeRaster(layer.raster, {layer.lower, layer.upper}, layer.invert, output, tiff,
                                    record.progress);
                    break;
                case Preparation::windowMean:
                case Preparation::windowDeviation: {
                    // One cell per block; back to the evidence grid by nearest neighbour, each
                    // cell taking its block's value.
                    const fs::path stem = folder.path() / "layers" / layer.name;
                    const std::string mean = stem.string() + ".blocks-mean.tif";
                    const std::string deviation = stem.string() + ".blocks-deviation.tif";
                    step.outputs = {mean, deviation};
                    geo::WindowStatisticsRaster(layer.raster, mean, deviation, layer.window, tiff, 1,
                                                record.progress);
                    geo::AlignRaster(layer.prepare == Preparation::windowMean ? mean : deviation, plan.frame,
                                     output, geo::Resampling::nearest, tiff, record.progress);
                    break;
                }
            }
            step.outputs.push_back(output);
            made = output;
        });
        prepared.push_back(ok ? made : std::string());
        layers.push_back({{"name", layer.name},
                          {"raster", layer.raster},
                          {"bands", plan.bands[i]},
                          {"prepared", ok ? Json(made) : Json(nullptr)}});
    }
    record.summary[Text(key::kLayers)] = layers;
    return prepared;
}

// The prepared raster of a layer, or a failure naming it.
std::string PreparedOf(const Workflow& workflow, const std::vector<std::string>& prepared,
                       const std::string& name) {
    for (std::size_t i = 0; i < workflow.layers.size(); ++i)
        if (workflow.layers[i].name == name) {
            if (prepared[i].empty()) throw WorkflowError("layer \"" + name + "\" could not be prepared");
            return prepared[i];
        }
    throw WorkflowError("no layer named \"" + name + "\"");
}

// The deposits as CSV files of x and y in the rasters' CRS, for the validation.
void WritePoints(const std::vector<geo::Point>& points, const fs::path& path) {
    std::string text = "x,y\n";
    char line[80];
    for (const geo::Point& point : points) {
        std::snprintf(line, sizeof line, "%.6f,%.6f\n", point.x, point.y);
        text += line;
    }
    WriteWhole(path, text);
}

// The deposits the maps are judged against: all of them, or the training and kept-back parts.
struct DepositSets {
    std::string training;
    geo::PointOptions trainingOptions;
    std::string heldOut;  // empty: none kept back
};

DepositSets SplitDeposits(const Workflow& workflow, const Plan& plan, const OutputFolder& folder,
                          Record& record) {
    DepositSets sets;
    if (!workflow.deposits) return sets;
    sets.training = workflow.deposits->path;
    sets.trainingOptions.xColumn = workflow.deposits->xColumn;
    sets.trainingOptions.yColumn = workflow.deposits->yColumn;
    sets.trainingOptions.crs = workflow.deposits->crs;
    if (!plan.split) return sets;
    const fs::path training = folder.Place("validation/training_deposits.csv");
    const fs::path heldOut = folder.Place("validation/held_out_deposits.csv");
    WritePoints(plan.training, training);
    WritePoints(plan.heldOut, heldOut);
    sets.training = training.string();
    sets.trainingOptions = {};
    sets.heldOut = heldOut.string();
    record.summary[Text(key::kDepositSplit)] = {
        {Text(params::validation::kHoldout.name), *workflow.validation.holdout},
        {Text(params::validation::kSeed.name), workflow.validation.seed},
        {Text(params::validation::kBlocks.name),
         workflow.validation.blocks ? Json(*workflow.validation.blocks) : Json(nullptr)},
        {"training", plan.training.size()},
        {"held_out", plan.heldOut.size()},
        {"held_out_near_training", plan.nearness}};
    record.lines.push_back("deposits: " + std::to_string(plan.training.size()) + " for training (" +
                           training.string() + "), " + std::to_string(plan.heldOut.size()) + " kept back (" +
                           heldOut.string() + ")");
    return sets;
}

Json CountOf(const geo::PointCount& count) {
    return {{"deposit_points", count.read},
            {"outside", count.outside},
            {"on_no_data", count.onNoData},
            {"deposit_cells", count.cells}};
}

// The cells of each class of the network's map, named: class 1 is no data, 2 an output at most
// 0.5, 3 above (one output).
Json BpClassTable(const std::map<int, std::int64_t>& counts) {
    Json rows = Json::array({Json::array({"class", "cells"})});
    for (const auto& [value, cells] : counts)
        rows.push_back({value == 1   ? std::string("no data")
                        : value == 2 ? std::string("unfavourable (output ≤ 0.5)")
                        : value == 3 ? std::string("favourable (output > 0.5)")
                                     : "class " + std::to_string(value),
                        cells});
    return rows;
}

void RunBp(const Workflow& workflow, const std::vector<std::string>& prepared, const Plan& plan,
           const OutputFolder& folder, Record& record) {
    const params::BpRequest& bp = *workflow.bp;
    std::vector<std::string> inputs;
    const fs::path network = folder.Place("bp/network.txt");
    const fs::path result = folder.path() / "bp/training_result.txt";
    geo::BpTrainResult trained;
    const bool ok = record.Run(Text(key::kBpTrain), [&](Step& step) {
        for (const std::string& name : BpLayers(workflow))
            inputs.push_back(PreparedOf(workflow, prepared, name));
        geo::BpTrainOptions options;
        options.hidden = bp.hidden.value_or(0);
        options.maxIterations = bp.maxIterations;
        options.errorLimit = bp.errorLimit;
        options.seed = bp.seed;
        options.shuffle = bp.shuffle;
        options.balance = bp.balance;
        const fs::path samples = folder.path() / "bp/samples.txt";
        step.outputs = {samples.string(), network.string(), result.string()};
        trained = geo::TrainBpOnRasters(inputs, plan.training, SampleOptionsOf(bp), options, network.string(),
                                        samples.string(), result.string(), record.progress);
        Json counts = CountOf(trained.samples.deposits);
        counts["background"] = trained.samples.background;
        record.summary[Text(key::kBpSamples)] = counts;
        record.lines.push_back("bp samples: " + samples.string() + " (" +
                               std::to_string(trained.samples.deposits.cells) + " deposit cells, " +
                               std::to_string(trained.samples.background) + " background cells)");
        step.results = {{"inputs", trained.inputs},
                        {"hidden", trained.hidden},
                        {"epochs", trained.training.epochs},
                        {"converged", trained.training.converged},
                        {"final_error", trained.training.finalError},
                        {"mean_squared_error", trained.training.meanSquaredError},
                        {"samples_matched", trained.training.samplesMatched},
                        {"training_accuracy", trained.training.trainingAccuracy},
                        {"error_per_epoch", trained.training.epochErrors}};
    });
    Json parameters = {{"inputs", inputs},
                       {Text(params::bp::kHidden.name),
                        bp.hidden ? Json(*bp.hidden) : Json(Text(params::bp::kHidden.fallback))},
                       {Text(params::bp::kMaxIterations.name), bp.maxIterations},
                       {Text(params::bp::kErrorLimit.name), bp.errorLimit},
                       {Text(params::bp::kBackground.name),
                        bp.background ? Json(*bp.background) : Json(Text(params::bp::kBackground.fallback))},
                       {Text(params::bp::kSeed.name), bp.seed},
                       {Text(params::bp::kMinDistance.name), bp.minDistance},
                       {Text(params::bp::kShuffle.name), bp.shuffle},
                       {Text(params::bp::kBalance.name), bp.balance}};
    ReportSection section{
        "BP network",
        "A three-layer back-propagation network trained on the deposit cells (target 1) and "
        "background cells (target 0), presented in a new seeded order every epoch (shuffle) and weighed so "
        "that both kinds count alike (balance), then applied to every cell: its output (0..1) is the "
        "favourability map judged below, and above 0.5 the favourable class. final_error is half "
        "the summed squared error over the samples; mean_squared_error is per sample.",
        parameters,
        {{"samples", record.summary.value(Text(key::kBpSamples), Json::object())},
         {"training", record.summary[Text(key::kBpTrain)][Text(key::kResults)]}},
        {},
        {},
        {}};
    if (ok) section.gbkReports.push_back(result);
    record.report.bpErrors = trained.training.epochErrors;
    const fs::path classes = folder.path() / "bp/classes.tif";
    const fs::path favourability = folder.path() / "bp/favourability.tif";
    const bool classified = ok && record.Run(Text(key::kBpClassify), [&](Step& step) {
        step.outputs = {classes.string(), favourability.string()};
        const geo::ClassifyResult found = geo::ClassifyRasters(network.string(), inputs, classes.string(), {},
                                                               record.progress, favourability.string());
        Json counts = Json::object();
        for (const auto& [value, cells] : found.classCounts) counts[std::to_string(value)] = cells;
        step.results = {{"rows", found.rows}, {"cols", found.cols}, {"class_counts", counts}};
        section.results["classification"] = BpClassTable(found.classCounts);
    });
    if (classified)
        record.maps.push_back({"bp", favourability.string(), false, record.report.methods.size()});
    section.failures = FailuresOf(record, {key::kBpTrain, key::kBpClassify});
    record.report.methods.push_back(section);
}

hierarchy::Importances ImportancesOf(const params::HierarchyRequest& request) {
    hierarchy::Importances importances;
    for (const params::LevelRequest& level : request.levels) {
        const std::size_t l = std::size_t(level.level);
        importances.present[l] = true;
        importances.level[l] = level.importance;
        importances.elementCount[l] = int(level.elements.size());
        for (std::size_t e = 0; e < level.elements.size(); ++e)
            importances.element[l][e] = level.elements[e].importance;
    }
    return importances;
}

std::string LevelName(int level) {
    return level < 0 ? "main" : Text(params::hierarchy::kLevelChoices[std::size_t(level)]);
}

Json WeightsOf(const params::HierarchyRequest& request, const hierarchy::HierarchyWeights& weights) {
    Json matrices = Json::array();
    for (const hierarchy::MatrixResult& matrix : weights.matrices) {
        std::vector<float> w(matrix.weights.begin(), matrix.weights.begin() + matrix.order);
        matrices.push_back({{"level", LevelName(matrix.level)},
                            {"order", matrix.order},
                            {"weights", w},
                            {"lambda_max", matrix.lambdaMax},
                            {"consistency_ratio", matrix.consistencyRatio},
                            {"consistent", matrix.consistent}});
    }
    Json total = Json::object();
    for (const params::LevelRequest& level : request.levels)
        for (std::size_t e = 0; e < level.elements.size(); ++e)
            total[level.elements[e].layer] = weights.totalWeights[std::size_t(level.level)][e];
    return {{"consistent", weights.consistent}, {"matrices", matrices}, {"total_weights_percent", total}};
}

// The hierarchy job's parameters for what the run asks: the regular-grid target, the levels and
// their elements named by their layers (plain names, well within the field).
HierarchyParams HierarchyParamsOf(const params::HierarchyRequest& request) {
    HierarchyParams params{};
    params.target = kPredictRegularGrid;
    for (const params::LevelRequest& level : request.levels) {
        const std::size_t l = std::size_t(level.level);
        params.levelOn[l] = 1;
        params.levelImportance[l] = level.importance;
        params.elementCount[l] = std::int32_t(level.elements.size());
        for (std::size_t e = 0; e < level.elements.size(); ++e) {
            params.elementImportance[l][e] = level.elements[e].importance;
            std::snprintf(params.elements[l][e].name, kNameField, "%s", level.elements[e].layer.c_str());
        }
    }
    return params;
}

// The hierarchy job's GBK report of the run, written whole by its own section writers: the
// matrices up to the first that fails, and the grid's size once the map is made.
void WriteHierarchyReport(const fs::path& path, const params::HierarchyRequest& request,
                          const hierarchy::HierarchyWeights& weights, const geo::PredictionResult* found) {
    const HierarchyParams params = HierarchyParamsOf(request);
    TextSink report;
    if (!report.Open(path.string().c_str(), kTextFileLineEnds))
        throw WorkflowError(path.string() + ": cannot be created");
    WriteReportOpening(params, report);
    WriteWeightSections(params, weights, report);
    if (found != nullptr) {
        WriteGridSize(std::int32_t(found->rows), std::int32_t(found->cols), report);
        report.Put("\n\n");
    }
    if (!report.Close()) throw WorkflowError(path.string() + ": could not be written completely");
}

void RunHierarchy(const Workflow& workflow, const std::vector<std::string>& prepared,
                  const OutputFolder& folder, Record& record) {
    const params::HierarchyRequest& request = *workflow.hierarchy;
    const fs::path map = folder.Place("hierarchy/prospectivity.tif");
    const fs::path reportFile = folder.Place("hierarchy/report.txt");
    Json results = Json::object();
    const bool ok = record.Run(Text(key::kHierarchy), [&](Step& step) {
        const hierarchy::HierarchyWeights weights =
            hierarchy::ComputeHierarchyWeights(ImportancesOf(request));
        results = WeightsOf(request, weights);
        step.results = results;
        if (!weights.consistent) {
            WriteHierarchyReport(reportFile, request, weights, nullptr);
            step.outputs = {reportFile.string()};
            const hierarchy::MatrixResult& last = weights.matrices.back();
            throw WorkflowError("the importances are not consistent: the " + LevelName(last.level) +
                                " matrix's consistency ratio is " +
                                params::PlainNumber(last.consistencyRatio) + " (at most 0.1 passes)");
        }
        std::vector<std::string> rasters;
        std::vector<float> total;
        for (const params::LevelRequest& level : request.levels)
            for (std::size_t e = 0; e < level.elements.size(); ++e) {
                rasters.push_back(PreparedOf(workflow, prepared, level.elements[e].layer));
                total.push_back(weights.totalWeights[std::size_t(level.level)][e]);
            }
        const geo::PredictionResult found =
            geo::PredictHierarchyRaster(rasters, total, map.string(), {}, record.progress);
        results["prediction"] = {{"rows", found.rows},   {"cols", found.cols}, {"cells", found.predicted},
                                 {"blank", found.blank}, {"min", found.min},   {"max", found.max}};
        WriteHierarchyReport(reportFile, request, weights, &found);
        step.outputs = {map.string(), reportFile.string()};
        step.results = results;
    });
    Json levels = Json::array();
    for (const params::LevelRequest& level : request.levels) {
        Json elements = Json::object();
        for (const params::ElementRequest& element : level.elements)
            elements[element.layer] = element.importance;
        levels.push_back(
            {{"level", LevelName(level.level)}, {"importance", level.importance}, {"elements", elements}});
    }
    ReportSection section{"Hierarchy analysis",
                          "Judgement matrices from the importances, their weights and consistency, and "
                          "the weighted sum of the layers at every cell.",
                          {{"levels", levels}},
                          results,
                          {},
                          {},
                          FailuresOf(record, {key::kHierarchy})};
    if (fs::exists(reportFile)) section.gbkReports.push_back(reportFile);
    record.report.methods.push_back(section);
    if (ok) record.maps.push_back({"hierarchy", map.string(), false, record.report.methods.size() - 1});
}

Json FeatureResultsOf(const params::FeatureRequest& request, const feature::AnalysisResults& found) {
    Json weights = Json::object();
    for (std::size_t i = 0; i < request.variables.size(); ++i)
        weights[request.variables[i].layer] = found.weights[i];
    Json results = {{"weights", weights}};
    if (request.method == params::FeatureMethod::vectorLength)
        results["vector_lengths"] = found.lengths;
    else
        results["principal_component"] = found.component;
    results["scores"] = {{"scored", found.scores.scored},
                         {"blank", found.scores.blank},
                         {"min", found.scores.min},
                         {"max", found.scores.max},
                         {"mean", found.scores.Mean()}};
    results["model_units_judged"] = found.units.size();
    return results;
}

// The feature job's parameters for what the run asks: each variable named by its layer, with
// its raster as the run's folder knows it (cut to the field, as the report only shows it).
FeatureParams FeatureParamsOf(const params::FeatureRequest& request, const std::vector<std::string>& rasters,
                              const fs::path& folder) {
    if (request.variables.size() > std::size_t(kMaxFeatureVars))
        throw WorkflowError("feature analysis takes at most " + std::to_string(kMaxFeatureVars) + " layers");
    FeatureParams params{};
    params.varCount = std::int32_t(request.variables.size());
    params.hasModelUnits = request.modelUnits ? 1 : 0;
    params.method = std::int32_t(request.method);
    for (std::size_t i = 0; i < request.variables.size(); ++i) {
        EvidenceVariable& variable = params.vars[i];
        std::snprintf(variable.name, sizeof variable.name, "%s", request.variables[i].layer.c_str());
        variable.lower = request.variables[i].lower;
        variable.upper = request.variables[i].upper;
        const fs::path relative = fs::path(rasters[i]).lexically_proximate(folder);
        std::snprintf(variable.gridPath, sizeof variable.gridPath, "%s", relative.string().c_str());
    }
    return params;
}

// The feature job's GBK report of the run, written whole by its own section writers from the
// core's results: product matrix, the method's weights and, with model units, their judgement.
void WriteFeatureReport(const fs::path& path, const FeatureParams& params,
                        const feature::AnalysisResults& found) {
    const int n = params.varCount;
    TextSink report;
    if (!report.Open(path.string().c_str(), kTextFileLineEnds))
        throw WorkflowError(path.string() + ": cannot be created");
    WriteFeatureReportOpening(params, report);
    WriteProductMatrix(found.productMatrix.data(), n, report);
    if (params.method == 0) {
        WriteVectorLengths(found.lengths.data(), n, report);
    } else {
        std::vector<float> normalised = found.productMatrix;
        feature::NormaliseProductMatrix(normalised, n);
        WriteNormalisedMatrix(normalised.data(), n, report);
        WriteFirstComponent(found.component.data(), n, report);
    }
    WriteVariableWeights(found.weights.data(), n, report);
    if (params.hasModelUnits == 1) {
        WriteUnitHeading(report);
        for (const feature::UnitJudgement& unit : found.units) WriteUnitRow(unit, report);
    }
    WriteFeatureReportEnd(report);
    if (!report.Close()) throw WorkflowError(path.string() + ": could not be written completely");
}

void RunFeature(const Workflow& workflow, const std::vector<std::string>& prepared, const Plan& plan,
                const OutputFolder& folder, Record& record) {
    const params::FeatureRequest& request = *workflow.feature;
    const fs::path map = folder.Place("feature/score.tif");
    const fs::path reportFile = folder.Place("feature/report.txt");
    Json results = Json::object();
    const bool ok = record.Run(Text(key::kFeature), [&](Step& step) {
        geo::FeatureRequest analysis;
        for (const params::VariableRequest& variable : request.variables)
            analysis.variables.push_back({variable.layer, PreparedOf(workflow, prepared, variable.layer),
                                          variable.lower, variable.upper});
        analysis.method = int(request.method);
        analysis.useModelUnits = request.modelUnits;
        analysis.scoreOutput = map.string();
        if (workflow.deposits) {
            geo::PointCount count;
            std::vector<std::string> rasters;
            for (const geo::FeatureVariable& variable : analysis.variables)
                rasters.push_back(variable.raster);
            analysis.modelUnits = geo::ModelUnitsOf(rasters, plan.training, count);
            record.summary[Text(key::kModelUnits)] = CountOf(count);
        }
        std::vector<std::string> rasters;
        for (const geo::FeatureVariable& variable : analysis.variables) rasters.push_back(variable.raster);
        const feature::AnalysisResults found = geo::AnalyseFeatures(analysis, {}, record.progress);
        results = FeatureResultsOf(request, found);
        WriteFeatureReport(reportFile, FeatureParamsOf(request, rasters, folder.path()), found);
        step.outputs = {map.string(), reportFile.string()};
        step.results = results;
    });
    Json variables = Json::array();
    for (const params::VariableRequest& variable : request.variables)
        variables.push_back(
            {{"layer", variable.layer}, {"lower", variable.lower}, {"upper", variable.upper}});
    ReportSection section{"Feature analysis",
                          "Each layer coded +1, 0 or -1 by its bounds, the product matrix of the codes" +
                              std::string(request.modelUnits ? " at the deposit cells" : "") +
                              ", weights from it, and every cell's score.",
                          {{Text(params::feature::kMethod.name),
                            Text(params::feature::kMethodChoices[std::size_t(request.method)])},
                           {Text(params::feature::kModelUnits.name), request.modelUnits},
                           {Text(params::feature::kVariables.name), variables}},
                          results,
                          {},
                          {},
                          FailuresOf(record, {key::kFeature})};
    if (ok) section.gbkReports.push_back(reportFile);
    record.report.methods.push_back(section);
    if (ok) record.maps.push_back({"feature", map.string(), false, record.report.methods.size() - 1});
}

std::vector<std::string> WofeLayers(const Workflow& workflow) {
    if (!workflow.wofe->layers.empty()) return workflow.wofe->layers;
    std::vector<std::string> names;
    for (const params::LayerRequest& layer : workflow.layers) names.push_back(layer.name);
    return names;
}

// The command's words for the layers, one per layer, from the [[wofe.evidence]] tables.
cli::WofeArgs WofeArgsOf(const Workflow& workflow, const std::vector<std::string>& prepared) {
    const params::WofeRequest& request = *workflow.wofe;
    cli::WofeArgs args;
    for (const std::string& name : WofeLayers(workflow)) {
        args.evidence.push_back(PreparedOf(workflow, prepared, name));
        args.names.push_back(name);
        params::WofeEvidenceRequest taken;
        for (const params::WofeEvidenceRequest& evidence : request.evidence)
            if (evidence.layer == name) taken = evidence;
        const auto append = [](std::string& list, const std::string& word) {
            list += (list.empty() ? "" : ",") + word;
        };
        append(args.types, Text(params::wofe::kTypeChoices[std::size_t(taken.type)]));
        append(args.missing, taken.missing ? std::to_string(*taken.missing) : std::string());
        if (!taken.breaks.empty()) args.breaks.push_back(name + "=" + taken.breaks);
    }
    if (args.missing.find_first_not_of(',') == std::string::npos) args.missing.clear();
    args.unitArea = request.unitArea;
    args.count = request.countCells ? "cells" : "points";
    args.generalize = request.generalize;
    args.minStudentized = request.minStudentized;
    args.mask = request.mask;
    return args;
}

// The weights tables as rows for the report: C and C/s(C) by class, the chosen row marked.
Json WofeReportOf(const Json& results) {
    Json shown = Json::object();
    const Json& test = results["conditional_independence"];
    if (test.is_object()) {
        char verdict[200];
        std::snprintf(
            verdict, sizeof verdict,
            "%s: the posterior expects %.1f deposits where %lld are known (n/T %.2f, z %.2f, p %.3g)",
            test["rejected_99"].get<bool>()   ? "conditional independence rejected at 99 %"
            : test["rejected_95"].get<bool>() ? "conditional independence rejected at 95 %"
                                              : "conditional independence not rejected",
            test["expected"].get<double>(), test["observed"].get<long long>(), test["ratio"].get<double>(),
            test["z"].get<double>(), test["p"].get<double>());
        shown["independence"] = verdict;
    }
    for (const Json& layer : results["layers"]) {
        Json grid = Json::array({Json::array({"class", "area (units)", "deposits", "W+", "W-", "C", "C/s(C)",
                                              "generalised class", "weight"})});
        for (const Json& row : layer["classes"]) {
            const bool chosen = row["class"] == layer["generalization"]["row"];
            grid.push_back({chosen ? Json(row["class"].dump() + " (chosen)") : row["class"],
                            row["area_units"], row["deposits"], row["w_plus"], row["w_minus"],
                            row["contrast"], row["studentized_contrast"], row["generalized_class"],
                            row["weight"]});
        }
        shown[layer["name"].get<std::string>() + " (" + layer["type"].get<std::string>() + ", " +
              layer["generalization"]["method"].get<std::string>() + ")"] = grid;
    }
    if (test.is_object()) {
        Json pairs = Json::array({Json::array({"layer", "layer", "chi-square (1 df)", "p"})});
        for (const Json& pair : test["pairwise"])
            pairs.push_back({pair["a"], pair["b"], pair["chi_square"], pair["p"]});
        shown["pairwise"] = pairs;
    }
    return shown;
}

void RunWofe(const Workflow& workflow, const std::vector<std::string>& prepared, const DepositSets& deposits,
             const OutputFolder& folder, Record& record) {
    const fs::path dir = folder.Place("wofe/x").parent_path();
    std::string posterior;
    Json shown = Json::object();
    std::vector<ReportPicture> pictures;
    record.Run(Text(key::kWofe), [&](Step& step) {
        cli::WofeArgs args = WofeArgsOf(workflow, prepared);
        args.deposits = deposits.training;
        args.points = deposits.trainingOptions;
        args.output = dir.string();
        const cli::JobOutput found = cli::WofeOutput(args);
        if (!found.ok) throw WorkflowError(found.meaning + ": " + found.cause);
        step.outputs = found.outputs;
        step.results = found.results;
        step.results.erase("validation");
        shown = WofeReportOf(found.results);
        posterior = found.results["posterior"]["path"].get<std::string>();
        const fs::path picture = dir / "posterior_std.png";
        if (cli::PlotMapOutput(found.results["posterior_std"]["path"].get<std::string>(), picture.string(),
                               "", "wofe posterior standard deviation", false)
                .ok)
            pictures.push_back({"wofe posterior standard deviation", picture});
    });
    const params::WofeRequest& request = *workflow.wofe;
    record.report.methods.push_back(
        {"Weights of evidence",
         "Each layer's weights by class, generalised by its rule; the posterior probability of a deposit "
         "at every cell with its standard deviation, and the tests of conditional independence.",
         {{Text(params::wofe::kLayers.name), WofeLayers(workflow)},
          {Text(params::wofe::kUnitArea.name), request.unitArea.empty() ? "1" : request.unitArea},
          {Text(params::wofe::kCount.name), request.countCells ? "cells" : "points"},
          {Text(params::wofe::kGeneralize.name),
           request.generalize.empty() ? Text(params::wofe::kGeneralize.fallback) : request.generalize},
          {Text(params::wofe::kMinStudentized.name), request.minStudentized}},
         shown,
         pictures,
         {},
         FailuresOf(record, {key::kWofe})});
    if (!posterior.empty())
        record.maps.push_back({"wofe", posterior, false, record.report.methods.size() - 1});
}

// Fuzzy overlay as the host's fuzzy runs it, each membership drawn for the report.
void RunFuzzy(const Workflow& workflow, const std::vector<std::string>& prepared, const OutputFolder& folder,
              Record& record) {
    const params::FuzzyRequest& request = *workflow.fuzzy;
    cli::FuzzyArgs args;
    args.op = Text(params::fuzzy::kOperatorChoices[std::size_t(request.op)]);
    args.gamma = request.gamma;
    args.output = folder.Place("fuzzy/overlay.tif").string();
    args.membershipFolder = (fs::path(args.output).parent_path() / "memberships").string();
    Json inputs = Json::array();
    for (const params::FuzzyInputRequest& input : request.inputs) {
        args.evidence.push_back(PreparedOf(workflow, prepared, input.layer));
        args.memberships.push_back(input.membership);
        inputs.push_back({{"layer", input.layer}, {"membership", input.membership}});
    }
    Json results = Json::object();
    std::vector<std::string> memberships;
    const bool ok = record.Run(Text(key::kFuzzy), [&](Step& step) {
        results = TakeJobOutput(cli::FuzzyOutput(args, record.progress), step);
        for (const Json& input : results["inputs"]) memberships.push_back(input["membership_raster"]);
    });
    ReportSection section{"Fuzzy overlay",
                          "Each layer turned into a membership in 0..1, and the memberships combined by the "
                          "fuzzy operator at every cell.",
                          {{Text(params::fuzzy::kOperator.name), args.op},
                           {Text(params::fuzzy::kGamma.name), args.gamma},
                           {Text(params::fuzzy::kInputs.name), inputs}},
                          results,
                          {},
                          {},
                          FailuresOf(record, {key::kFuzzy})};
    for (std::size_t k = 0; k < memberships.size(); ++k) {
        const fs::path picture = fs::path(memberships[k]).replace_extension(".png");
        if (cli::PlotMapOutput(memberships[k], picture.string(), "", request.inputs[k].layer + " membership",
                               false)
                .ok)
            section.pictures.push_back(
                {request.inputs[k].layer + " membership (" + request.inputs[k].membership + ")", picture});
    }
    record.report.methods.push_back(section);
    if (ok) record.maps.push_back({"fuzzy", args.output, false, record.report.methods.size() - 1});
}

// Logistic regression on the training deposits, as the host's logistic runs it.
void RunLogistic(const Workflow& workflow, const std::vector<std::string>& prepared, const Plan& plan,
                 const OutputFolder& folder, Record& record) {
    const params::LogisticRequest& request = *workflow.logistic;
    geo::LogisticRasterRequest run;
    std::vector<std::string> names = request.layers;
    if (names.empty())
        for (const params::LayerRequest& layer : workflow.layers) names.push_back(layer.name);
    for (const std::string& name : names) run.evidence.push_back(PreparedOf(workflow, prepared, name));
    run.deposits = plan.training;
    run.depositsName = workflow.deposits->path;
    // A class layer by the name the door gives its bands (the raster's), as the host's names it.
    for (const std::string& name : request.categorical) {
        const geo::Evidence layer({PreparedOf(workflow, prepared, name)});
        for (int band = 0; band < layer.LayerCount(); ++band)
            run.categorical.push_back(layer.LayerName(band));
    }
    run.allCells = request.allCells;
    run.samples.background = request.background.value_or(-1);
    run.samples.seed = request.seed;
    run.samples.minDistance = request.minDistance;
    run.fit.l2 = request.l2;
    run.fit.maxIterations = request.maxIterations;
    run.output = folder.Place("logistic/probability.tif").string();
    Json results = Json::object();
    const bool ok = record.Run(Text(key::kLogistic), [&](Step& step) {
        results = TakeJobOutput(cli::LogisticOutput(run, "", {}, {}, record.progress), step);
    });
    namespace l = params::logistic;
    record.report.methods.push_back(
        {"Logistic regression",
         "The training deposit cells against background cells, fitted by iteratively reweighted least "
         "squares; "
         "the coefficients with their standard errors, and the probability at every cell.",
         {{Text(l::kLayers.name), names},
          {Text(l::kCategorical.name), request.categorical},
          {Text(l::kSamples.name), Text(l::kSamplesChoices[request.allCells ? 1 : 0])},
          {Text(l::kBackground.name),
           request.background ? Json(*request.background) : Json(Text(l::kBackground.fallback))},
          {Text(l::kSeed.name), request.seed},
          {Text(l::kMinDistance.name), request.minDistance},
          {Text(l::kL2.name), request.l2},
          {Text(l::kMaxIterations.name), request.maxIterations}},
         results,
         {},
         {},
         FailuresOf(record, {key::kLogistic})});
    if (ok) record.maps.push_back({"logistic", run.output, false, record.report.methods.size() - 1});
}

// Trees on the training deposits, as the host's trees runs them.
void RunTrees(const Workflow& workflow, const std::vector<std::string>& prepared, const Plan& plan,
              const OutputFolder& folder, Record& record) {
    const params::TreesRequest& request = *workflow.trees;
    geo::TreesRasterRequest run;
    std::vector<std::string> names = request.layers;
    if (names.empty())
        for (const params::LayerRequest& layer : workflow.layers) names.push_back(layer.name);
    for (const std::string& name : names) run.evidence.push_back(PreparedOf(workflow, prepared, name));
    run.deposits = plan.training;
    run.depositsName = workflow.deposits->path;
    run.samples.background = request.background.value_or(-1);
    run.samples.seed = request.seed;
    run.samples.minDistance = request.minDistance;
    run.model = {request.kind == 1 ? trees::Kind::forest : trees::Kind::boosting,
                 request.trees,
                 request.depth,
                 request.learningRate,
                 request.subsample,
                 request.seed};
    run.folds = request.folds;
    run.output = folder.Place("trees/probability.tif").string();
    Json results = Json::object();
    const bool ok = record.Run(Text(key::kTrees), [&](Step& step) {
        results = TakeJobOutput(cli::TreesOutput(run, "", {}, {}, record.progress), step);
    });
    namespace t = params::trees;
    record.report.methods.push_back(
        {"Trees",
         "The training deposit cells against background cells, learnt by gradient-boosted trees or a random "
         "forest (XGBoost); each input's importance (the average gain and cover of the splits on it), and "
         "the probability at every cell.",
         {{Text(t::kLayers.name), names},
          {Text(t::kKind.name), Text(t::kKindChoices[std::size_t(request.kind)])},
          {Text(t::kTrees.name), request.trees},
          {Text(t::kDepth.name), request.depth},
          {Text(t::kLearningRate.name), request.learningRate},
          {Text(t::kSubsample.name), request.subsample},
          {Text(t::kBackground.name),
           request.background ? Json(*request.background) : Json(Text(t::kBackground.fallback))},
          {Text(t::kSeed.name), request.seed},
          {Text(t::kMinDistance.name), request.minDistance},
          {Text(t::kFolds.name), request.folds ? Json(*request.folds) : Json(Text(t::kFolds.fallback))}},
         results,
         {},
         {},
         FailuresOf(record, {key::kTrees})});
    if (ok) record.maps.push_back({"trees", run.output, false, record.report.methods.size() - 1});
}

// An evaluation as evaluate --json prints it (plot-curves reads it); returns its path.
std::string WriteEvaluation(const cli::JobOutput& found, const fs::path& path) {
    WriteWhole(path, Dump(cli::JsonOf(found), 1));
    return path.string();
}

// "validation METHOD: ROC AUC ... (95 % ... to ...), success-rate area ...[, prediction-rate area ...]"
std::string ValidationLine(const std::string& method, const Json& found) {
    const auto number = [&](const char* part, const char* name) {
        if (!found.contains(part) || !found[part].contains(name) || !found[part][name].is_number())
            return std::string("-");
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", found[part][name].get<double>());
        return std::string(text);
    };
    std::string line = "validation " + method + ": ROC AUC " + number("roc", "auc") + " (95 % " +
                       number("roc", "auc_low") + " to " + number("roc", "auc_high") +
                       "), success-rate area " + number("success_rate", "area");
    if (found.contains("prediction_rate"))
        line += ", prediction-rate area " + number("prediction_rate", "area");
    return line;
}

// True when the map's ROC has no point between (0, 0) and (1, 1): one value on every cell.
bool HoldsOneValue(const cli::JobOutput& found) {
    const Json& roc = found.results.value("roc", Json::object());
    return roc.contains("points") && roc["points"].is_array() && roc["points"].size() <= 2;
}

// Every cell's value of a map, NaN for no data (rows from the north).
std::vector<double> MapValues(const std::string& path) {
    const geo::Raster raster = geo::Raster::Open(path);
    std::vector<double> values;
    geo::RowStrip strip(raster, 1);
    while (strip.Next())
        for (const double v : strip.Values()) values.push_back(v == geo::kCoreBlank ? std::nan("") : v);
    return values;
}

// Each method's map against the best's by DeLong's paired test on the cells where both hold data,
// with the deposits judged (the held-out ones, or the training ones without a holdout).
Json PairedTests(const std::vector<RunMap>& maps, const std::string& best,
                 const std::vector<geo::Point>& judged) {
    std::map<std::string, std::string> paths;
    for (const RunMap& map : maps) paths[map.method] = map.path;
    const std::vector<double> bestValues = MapValues(paths.at(best));
    const geo::GridFrame frame = geo::Raster::Open(paths.at(best)).frame();
    std::vector<std::int32_t> depositsAt(bestValues.size(), 0);
    const geo::CellLocator locator(frame);
    for (const geo::Point& point : judged) {
        const std::int64_t cell = locator.Index(point.x, point.y);
        if (cell >= 0) ++depositsAt[std::size_t(cell)];
    }
    Json tests = Json::object();
    for (const auto& [method, path] : paths) {
        if (method == best) continue;
        const std::vector<double> other = MapValues(path);
        if (other.size() != bestValues.size()) continue;
        std::vector<double> a, b;
        std::vector<std::int32_t> deposits;
        for (std::size_t c = 0; c < other.size(); ++c)
            if (!std::isnan(bestValues[c]) && !std::isnan(other[c])) {
                a.push_back(bestValues[c]);
                b.push_back(other[c]);
                deposits.push_back(depositsAt[c]);
            }
        const evaluate::PairedDeLongResult found = evaluate::PairedDeLong(a, b, deposits);
        if (found.formed) tests[method] = found.p;
    }
    return tests;
}

// The verdict: the methods by AUC on the held-out deposits (the training ones without a holdout),
// best first, each with its interval, prediction-rate (or success-rate) area and areas holding
// 50 / 75 / 90 % of the deposits, and the p-value of its paired test against the best.
Json RankingOf(const Json& validation, const std::vector<RunMap>& maps,
               const std::vector<geo::Point>& judged) {
    std::vector<std::pair<double, std::string>> order;
    const auto rocOf = [](const Json& entry) -> const Json& {
        return entry.contains("held_out_roc") ? entry["held_out_roc"] : entry["roc"];
    };
    const auto rateOf = [](const Json& entry) -> const Json& {
        return entry.contains("prediction_rate") ? entry["prediction_rate"] : entry["success_rate"];
    };
    for (const auto& [method, entry] : validation.items())
        if (rocOf(entry).value("auc", Json()).is_number())
            order.emplace_back(rocOf(entry)["auc"].get<double>(), method);
    std::sort(order.begin(), order.end(), [](const auto& x, const auto& y) { return x.first > y.first; });
    Json ranking = Json::array();
    if (order.empty()) return ranking;
    Json tests = Json::object();
    try {
        tests = PairedTests(maps, order.front().second, judged);
    } catch (const std::exception&) {
        // The table stands without p-values when a map cannot be read again.
    }
    for (const auto& [auc, method] : order) {
        const Json& roc = rocOf(validation[method]);
        const Json& rate = rateOf(validation[method]);
        ranking.push_back(
            {{"method", method},
             {"auc", auc},
             {"auc_low", roc.value("auc_low", Json())},
             {"auc_high", roc.value("auc_high", Json())},
             {"prediction_rate_area", rate.value("area", Json())},
             {"area_for_50", rate.value("area_for_50", Json())},
             {"area_for_75", rate.value("area_for_75", Json())},
             {"area_for_90", rate.value("area_for_90", Json())},
             {"p_vs_best", method == order.front().second ? Json() : tests.value(method, Json())}});
    }
    return ranking;
}

// A method's map classed into its top 10, 20 and 30 % of the area, each class named with the
// share of the judged deposits (held-out ones, else training) it and the classes above it hold,
// drawn, with the table of area and deposits by class.
void ReportTargets(const RunMap& map, const Plan& plan, const fs::path& dir, ReportSection& section) {
    try {
        const geo::RasterData raster = geo::ReadRaster(map.path);
        Classing classing = TopAreas(raster.values);
        section.results["top areas"] = ShareTable(classing, raster.frame, plan.training, plan.heldOut);
        classing.classes =
            CumulativeNames(classing, raster.frame, plan.heldOut.empty() ? plan.training : plan.heldOut);
        const fs::path picture = dir / (map.method + ".targets.png");
        std::string cause;
        if (DrawClassedMap(classing, raster.frame, plan.training, plan.heldOut, map.method + " target areas",
                           plan.heldOut.empty() ? "area → deposits" : "area → held-out", picture.string(),
                           cause))
            section.pictures.push_back({map.method +
                                            " target areas: the top 10, 20 and 30 % of the area and the "
                                            "share of the " +
                                            std::string(plan.heldOut.empty() ? "training" : "held-out") +
                                            " deposits each holds with the classes above it",
                                        picture});
    } catch (const std::exception&) {
        // The map was judged above; a map that cannot be read again goes without its target areas.
    }
}

// Every method's map judged against the training deposits (ROC, success rate, precision-recall,
// prediction-area, log loss and Brier score) and the deposits kept back (prediction rate), drawn,
// and its curves plotted side by side (prediction-area: a plot a method).
void Validate(const DepositSets& deposits, const Plan& plan, const OutputFolder& folder, Record& record) {
    const std::vector<geo::Point>& ranked = plan.heldOut.empty() ? plan.training : plan.heldOut;
    const fs::path dir = folder.Place("validation");
    std::vector<std::string> judged;
    std::vector<std::string> predicted;
    std::vector<std::string> names;
    Json validation = Json::object();
    for (const RunMap& map : record.maps) {
        cli::EvaluationRequest request;
        request.classes = map.classes;
        cli::JobOutput found =
            cli::EvaluateOutput(map.path, deposits.training, deposits.trainingOptions, request);
        if (found.ok && HoldsOneValue(found)) {
            found.ok = false;
            found.meaning = "failed";
            found.cause = map.path + " holds one value on every cell, so it ranks nothing (no AUC)";
        }
        if (found.ok) {
            judged.push_back(WriteEvaluation(found, dir / (map.method + ".json")));
            found.outputs.push_back(judged.back());
        }
        record.Add("validation_" + map.method, found);
        if (!found.ok) continue;
        names.push_back(map.method);
        Json& entry = validation[map.method];
        entry["roc"] = found.results["roc"];
        entry["success_rate"] = found.results["success_rate"];
        entry["roc"].erase("points");
        entry["success_rate"].erase("points");
        for (const char* measure : {"precision_recall", "prediction_area", "probability"}) {
            entry[measure] = found.results[measure];
            entry[measure].erase("points");
        }
        if (!deposits.heldOut.empty()) {
            cli::JobOutput kept = cli::EvaluateOutput(map.path, deposits.heldOut, {}, request);
            if (kept.ok) {
                predicted.push_back(WriteEvaluation(kept, dir / (map.method + ".held_out.json")));
                kept.outputs.push_back(predicted.back());
                entry["prediction_rate"] = kept.results["success_rate"];
                entry["prediction_rate"].erase("points");
                entry["held_out_roc"] = kept.results["roc"];
                entry["held_out_roc"].erase("points");
                for (const char* measure : {"precision_recall", "prediction_area", "probability"}) {
                    const std::string name = std::string("held_out_") + measure;
                    entry[name] = kept.results[measure];
                    entry[name].erase("points");
                }
            }
            record.Add("prediction_" + map.method, kept);
        }
        const fs::path picture = dir / (map.method + ".png");
        if (cli::PlotMapOutput(map.path, picture.string(), deposits.training, map.method + " map",
                               map.classes, {deposits.heldOut, {}, ""})
                .ok)
            record.report.methods[map.section].pictures.push_back(
                {map.method + " map with the training and held-out deposits", picture});
        ReportTargets(map, plan, dir, record.report.methods[map.section]);
    }
    for (const auto& [method, found] : validation.items())
        record.lines.push_back(ValidationLine(method, found));
    validation["ranking"] = RankingOf(validation, record.maps, ranked);
    record.report.heldOut = !deposits.heldOut.empty();
    record.summary[Text(key::kValidation)] = validation;
    record.report.validation = validation;
    if (judged.empty()) return;
    const std::pair<const char*, const char*> kinds[] = {
        {"roc", "ROC"}, {"success-rate", "Success rate"}, {"precision-recall", "Precision-recall"}};
    for (const auto& [kind, title] : kinds) {
        const fs::path picture = dir / (std::string(kind) + ".png");
        if (cli::PlotCurvesOutput(judged, names, kind, title, picture.string()).ok)
            record.report.curves.push_back({title, picture});
    }
    // Each method's thresholds have a range of their own, so each gets its prediction-area plot.
    for (std::size_t i = 0; i < judged.size(); ++i) {
        const std::string title = "Prediction-area: " + names[i];
        const fs::path picture = dir / (names[i] + ".prediction-area.png");
        if (cli::PlotCurvesOutput({judged[i]}, {names[i]}, "prediction-area", title, picture.string()).ok)
            record.report.curves.push_back({title, picture});
    }
    if (!predicted.empty()) {
        const fs::path picture = dir / "prediction-rate.png";
        if (cli::PlotCurvesOutput(predicted, names, "success-rate", "Prediction rate (deposits kept back)",
                                  picture.string())
                .ok)
            record.report.curves.push_back({"Prediction rate", picture});
    }
    record.lines.push_back("validation: " + dir.string());
}

// A prepared layer's classes for its picture and its table of area and deposits: a coded
// layer's codes named by its bounds, a class layer's values, otherwise (scores) its top areas.
struct LayerFigure {
    Classing classing;
    geo::GridFrame frame;
    bool classes = false;  // drawn as classes, not on the ramp
};

LayerFigure LayerFigureOf(const params::LayerRequest& layer, const std::string& prepared) {
    geo::RasterData raster = geo::ReadRaster(prepared);
    LayerFigure figure;
    figure.frame = raster.frame;
    if (layer.prepare == Preparation::code)
        figure.classing.classes = CodedClasses(layer.lower, layer.upper, layer.invert);
    else if (layer.prepare == Preparation::classes)
        figure.classing.classes = ValueClasses(raster.values);
    figure.classes = !figure.classing.classes.empty();
    if (figure.classes)
        figure.classing.values = std::move(raster.values);
    else
        figure.classing = TopAreas(raster.values);
    return figure;
}

// A layer's picture with both sets of deposits and its table of area and deposits by class.
void ReportLayer(const params::LayerRequest& layer, const std::string& prepared, const Plan& plan,
                 const DepositSets& deposits, const OutputFolder& folder, ReportSection& section) {
    LayerFigure figure;
    try {
        figure = LayerFigureOf(layer, prepared);
    } catch (const std::exception&) {
        return;  // the picture below says why it cannot be drawn, if it cannot
    }
    if (!plan.training.empty() || !plan.heldOut.empty())
        section.results[layer.name] = ShareTable(figure.classing, figure.frame, plan.training, plan.heldOut);
    const fs::path picture = folder.Place(fs::path("layers") / (layer.name + ".png"));
    cli::MapExtras extras{deposits.heldOut,
                          figure.classes ? figure.classing.classes : std::vector<plot::ClassName>{},
                          figure.classes ? (layer.prepare == Preparation::code ? "code" : "class") : "value"};
    if (cli::PlotMapOutput(prepared, picture.string(), deposits.training, layer.name, figure.classes, extras)
            .ok)
        section.pictures.push_back({layer.name, picture});
}

// The inputs' part of the report: each prepared layer drawn, and the deposits.
void ReportInputs(const Workflow& workflow, const std::vector<std::string>& prepared, const Plan& plan,
                  const DepositSets& deposits, const OutputFolder& folder, Record& record) {
    ReportSection layers{"Evidence layers",
                         "Each layer as the methods take it, with the training deposits (red circles) and "
                         "the held-out ones (white triangles); per class its share of the area and of the "
                         "deposits, and their ratio (above 1: more deposits than its area would hold). "
                         "Layers of scores are classed by their top 10, 20 and 30 % of the area.",
                         {},
                         {},
                         {},
                         {},
                         {}};
    for (std::size_t i = 0; i < workflow.layers.size(); ++i) {
        const params::LayerRequest& layer = workflow.layers[i];
        layers.parameters[layer.name] = {
            {"raster", layer.raster},
            {"prepare", Text(params::layer::kPrepareChoices[std::size_t(layer.prepare)])},
            {"prepared", prepared[i].empty() ? Json("could not be prepared") : Json(prepared[i])}};
        if (prepared[i].empty()) {
            const std::vector<std::string> failed = FailuresOf(record, {"layer_" + layer.name});
            layers.failures.insert(layers.failures.end(), failed.begin(), failed.end());
            continue;
        }
        if (record.stopped) continue;  // told to stop: no more drawing
        ReportLayer(layer, prepared[i], plan, deposits, folder, layers);
    }
    record.report.inputs.push_back(layers);
    if (!workflow.deposits) return;
    Json found = Json::object();
    for (const std::string_view name : {key::kDepositSplit, key::kBpSamples, key::kModelUnits})
        if (record.summary.contains(Text(name))) found[Text(name)] = record.summary[Text(name)];
    record.report.inputs.push_back(
        {"Deposits",
         "The known deposits, the cells they fall on and how many fell outside the "
         "rasters or on no data.",
         {{"file", workflow.deposits->path}},
         found,
         {},
         {},
         {}});
}

// The grid for the page's heading: its CRS's name and EPSG code, extent, cell size and units.
ReportGrid GridOf(const geo::GridFrame& frame) {
    const geo::CrsDescription crs = geo::DescribeCrs(frame.crsWkt);
    const std::array<double, 6>& t = frame.geoTransform;
    return {crs.name,
            crs.epsg,
            crs.units,
            t[0],
            t[0] + t[1] * frame.cols,
            t[3] + t[5] * frame.rows,
            t[3],
            frame.CellWidth(),
            frame.CellHeight(),
            frame.rows,
            frame.cols};
}

}  // namespace

RunResult RunWorkflow(const fs::path& file, const RunOptions& options) {
    return RunWorkflow(ReadWorkflow(file), options);
}

RunResult RunWorkflow(const Workflow& workflow, const RunOptions& options) {
    const Plan plan = Check(workflow, options);
    const OutputFolder folder(plan.folder);
    // The summary and the page go first, so that no earlier summary outlives what follows.
    folder.Withdraw({"summary.json", "report.html"});
    folder.Withdraw(plan.outputs);
    Record record;
    record.progress = options.progress;
    record.summary[Text(key::kWorkflow)] = workflow.file.string();
    record.summary[Text(key::kOutput)] = plan.folder.string();
    const std::vector<std::string> prepared = PrepareLayers(workflow, plan, folder, record);
    if (workflow.deposits)
        record.summary[Text(key::kDepositsRead)] = {{"read", plan.reading.read},
                                                    {"no_geometry", plan.reading.noGeometry},
                                                    {"not_a_point", plan.reading.notAPoint},
                                                    {"bad_rows", plan.reading.badRows}};
    const DepositSets deposits = SplitDeposits(workflow, plan, folder, record);
    if (workflow.bp) RunBp(workflow, prepared, plan, folder, record);
    if (workflow.hierarchy) RunHierarchy(workflow, prepared, folder, record);
    if (workflow.feature) RunFeature(workflow, prepared, plan, folder, record);
    if (workflow.wofe) RunWofe(workflow, prepared, deposits, folder, record);
    if (workflow.fuzzy) RunFuzzy(workflow, prepared, folder, record);
    if (workflow.logistic) RunLogistic(workflow, prepared, plan, folder, record);
    if (workflow.trees) RunTrees(workflow, prepared, plan, folder, record);
    if (workflow.deposits && !record.stopped) Validate(deposits, plan, folder, record);
    ReportInputs(workflow, prepared, plan, deposits, folder, record);
    record.report.workflow = workflow.file.string();
    record.report.grid = GridOf(plan.frame);
    record.summary[Text(key::kOk)] = record.ok;
    const fs::path page = plan.folder / "report.html";
    if (!WriteRunReport(record.report, page)) throw WorkflowError(page.string() + ": cannot be written");
    record.lines.push_back("report: " + page.string());
    const fs::path summary = plan.folder / "summary.json";
    WriteWhole(summary, Dump(record.summary, 2) + "\n");
    record.lines.push_back("summary: " + summary.string());
    return {record.summary, record.lines, record.ok, record.stopped, plan.folder};
}

}  // namespace quarnel::workflow
