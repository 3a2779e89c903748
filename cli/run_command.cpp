// quarnel run: a workflow file taken from evidence rasters and deposits to prospectivity maps.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/door_jobs.h"
#include "cli/run_report.h"
#include "cli/workflow.h"
#include "geo/align.h"
#include "geo/analysis.h"
#include "geo/point_files.h"
#include "geo/prep.h"
#include "grid/text_sink.h"
#include "quarnel/evaluate.h"

namespace quarnel::cli {

namespace {

namespace fs = std::filesystem;

const char* const kLevelNames[] = {"geology", "geophysics", "geochemistry", "remote-sensing"};

// What one run wrote and found, step by step, for summary.json and the closing lines.
struct RunMap {
    std::string method;
    std::string path;
    bool classes = false;
    std::size_t section = 0;  // the method's section of the report
};

struct RunRecord {
    nlohmann::ordered_json summary = nlohmann::ordered_json::object();
    std::vector<std::string> lines;
    bool ok = true;
    RunReport report;
    std::vector<RunMap> maps;

    void Add(const std::string& step, const JobOutput& output) {
        nlohmann::ordered_json entry = {
            {"ok", output.ok}, {"status", output.status}, {"meaning", output.meaning}};
        if (!output.ok && !output.cause.empty()) entry["cause"] = output.cause;
        entry["outputs"] = output.outputs;
        entry["results"] = output.results;
        summary[step] = entry;
        if (!output.ok) {
            ok = false;
            lines.push_back(step + ": failed: " + output.meaning +
                            (output.cause.empty() ? "" : ": " + output.cause));
            return;
        }
        for (const std::string& path : output.outputs) lines.push_back(step + ": " + path);
    }
};

// The raster each layer is taken from once prepared, all on the first layer's grid.
std::vector<std::string> PrepareLayers(const Workflow& workflow, const fs::path& folder, RunRecord& record) {
    const geo::WriteOptions tiff;
    std::vector<std::string> prepared;
    nlohmann::ordered_json layers = nlohmann::ordered_json::array();
    for (const WorkflowLayer& layer : workflow.layers) {
        const std::string input = layer.raster.string();
        const std::string output = (folder / (layer.name + ".tif")).string();
        switch (layer.prepare) {
            case Preparation::classes:
                prepared.push_back(input);
                break;
            case Preparation::normalize:
                geo::NormalizeRaster(input, output, tiff);
                prepared.push_back(output);
                break;
            case Preparation::code:
                geo::CodeRaster(input, {layer.lower, layer.upper}, layer.invert, output, tiff);
                prepared.push_back(output);
                break;
            case Preparation::windowMean:
            case Preparation::windowDeviation: {
                // Window statistics give one cell per block; they return to the evidence grid
                // by nearest neighbour, each cell taking its block's value.
                const std::string mean = (folder / (layer.name + ".blocks-mean.tif")).string();
                const std::string deviation = (folder / (layer.name + ".blocks-deviation.tif")).string();
                geo::WindowStatisticsRaster(input, mean, deviation, layer.window, tiff);
                const std::string& blocks = layer.prepare == Preparation::windowMean ? mean : deviation;
                geo::AlignRaster(blocks, geo::Raster::Open(workflow.layers.front().raster.string()).frame(),
                                 output, geo::Resampling::nearest, tiff);
                prepared.push_back(output);
                break;
            }
        }
        layers.push_back({{"name", layer.name}, {"raster", prepared.back()}});
        record.lines.push_back("layer " + layer.name + ": " + prepared.back());
    }
    const geo::Raster reference = geo::Raster::Open(prepared.front());
    for (const std::string& path : prepared)
        geo::RequireSameFrame(prepared.front(), reference.frame(), path, geo::Raster::Open(path).frame());
    record.summary["layers"] = layers;
    return prepared;
}

std::string PreparedPath(const Workflow& workflow, const std::vector<std::string>& prepared,
                         const std::string& name) {
    for (std::size_t i = 0; i < workflow.layers.size(); ++i)
        if (workflow.layers[i].name == name) return prepared[i];
    return workflow.Layer(name).raster.string();
}

// The deposits the methods learn from, and those kept back for the prediction rate.
struct DepositSets {
    std::string training;
    geo::PointOptions trainingOptions;
    std::string heldOut;  // empty: none kept back
};

geo::PointOptions PointOptionsOf(const WorkflowDeposits& deposits) {
    geo::PointOptions options;
    options.xColumn = deposits.xColumn;
    options.yColumn = deposits.yColumn;
    options.crs = deposits.crs;
    return options;
}

// Writes points as a CSV file of x and y in the rasters' CRS.
void WritePoints(const std::vector<geo::Point>& points, std::span<const std::int64_t> chosen,
                 const fs::path& path) {
    TextSink sink;
    if (!sink.Open(path.string().c_str())) throw WorkflowError(path.string() + ": cannot be created");
    sink.Put("x,y\n");
    for (const std::int64_t k : chosen)
        sink.Print("%.6f,%.6f\n", points[std::size_t(k)].x, points[std::size_t(k)].y);
    if (!sink.Close()) throw WorkflowError(path.string() + ": cannot be written");
}

DepositSets SplitDeposits(const Workflow& workflow, const std::string& reference, const fs::path& folder,
                          RunRecord& record) {
    DepositSets sets;
    if (!workflow.deposits) return sets;
    sets.training = workflow.deposits->path.string();
    sets.trainingOptions = PointOptionsOf(*workflow.deposits);
    if (!workflow.validation.holdout) return sets;
    const std::vector<geo::Point> points =
        geo::ReadPoints(sets.training, geo::Raster::Open(reference).frame().crsWkt, sets.trainingOptions);
    const evaluate::DepositSplit split = evaluate::HoldoutSplit(
        std::int64_t(points.size()), *workflow.validation.holdout, workflow.validation.seed);
    const fs::path training = folder / "training_deposits.csv";
    const fs::path heldOut = folder / "held_out_deposits.csv";
    WritePoints(points, split.training, training);
    WritePoints(points, split.heldOut, heldOut);
    sets.training = training.string();
    sets.trainingOptions = {};
    sets.heldOut = heldOut.string();
    record.summary["deposit_split"] = {{"fraction_held_out", *workflow.validation.holdout},
                                       {"seed", workflow.validation.seed},
                                       {"training", split.training.size()},
                                       {"held_out", split.heldOut.size()}};
    record.lines.push_back("deposits: " + std::to_string(split.training.size()) + " for training (" +
                           training.string() + "), " + std::to_string(split.heldOut.size()) + " kept back (" +
                           heldOut.string() + ")");
    return sets;
}

void RunBp(const Workflow& workflow, const std::vector<std::string>& prepared, const DepositSets& deposits,
           const fs::path& folder, RunRecord& record) {
    const WorkflowBp& bp = *workflow.bp;
    std::vector<std::string> inputs;
    if (bp.layers.empty())
        inputs = prepared;
    else
        for (const std::string& name : bp.layers) inputs.push_back(PreparedPath(workflow, prepared, name));
    TrainArgs train;
    train.samples = (folder / "samples.txt").string();
    train.network = (folder / "network.txt").string();
    train.result = (folder / "training_result.txt").string();
    geo::SampleOptions options;
    options.background = bp.background;
    options.seed = bp.seed;
    options.minDistance = bp.minDistance;
    const geo::SampleResult samples =
        geo::WriteBpSamples(inputs, deposits.training, deposits.trainingOptions, train.samples, options);
    record.summary["bp_samples"] = {{"deposit_points", samples.deposits.read},
                                    {"outside", samples.deposits.outside},
                                    {"on_no_data", samples.deposits.onNoData},
                                    {"deposit_cells", samples.deposits.cells},
                                    {"background", samples.background}};
    record.lines.push_back("bp samples: " + train.samples + " (" + std::to_string(samples.deposits.cells) +
                           " deposit cells, " + std::to_string(samples.background) + " background cells)");
    train.count = samples.deposits.cells + samples.background;
    train.inputs = int(inputs.size());
    train.outputs = 1;
    train.hidden = bp.hidden > 0 ? bp.hidden : train.inputs + 1;
    train.maxIterations = bp.maxIterations;
    train.errorLimit = bp.errorLimit;
    train.seed = bp.seed;
    train.quiet = true;
    const JobOutput trained = TrainOutput(train);
    record.Add("bp_train", trained);
    ReportSection section{
        "BP network",
        "A three-layer back-propagation network trained on the deposit cells (target 1) and "
        "background cells (target 0), then applied to every cell.",
        {{"inputs", inputs},
         {"hidden", train.hidden},
         {"max_iterations", bp.maxIterations},
         {"error_limit", bp.errorLimit},
         {"background", bp.background},
         {"seed", bp.seed},
         {"min_distance", bp.minDistance}},
        {{"samples", record.summary["bp_samples"]}, {"training", trained.results}},
        {},
        {folder / "training_result.txt"}};
    if (trained.ok) {
        const std::string classes = (folder / "classes.tif").string();
        const JobOutput classified =
            ClassifyRastersOutput(train.network, inputs, classes, geo::WriteOptions{});
        record.Add("bp_classify", classified);
        section.results["classification"] = classified.results;
        if (classified.ok) record.maps.push_back({"bp", classes, true, record.report.methods.size()});
    }
    record.report.methods.push_back(section);
}

// A token of the design's parameter files: no white space, at most `limit` bytes.
std::string Token(const std::string& text, std::size_t limit, const std::string& what) {
    if (text.empty() || text.size() > limit || text.find_first_of(" \t\r\n") != std::string::npos)
        throw WorkflowError(what + " \"" + text + "\" must be one word of at most " + std::to_string(limit) +
                            " bytes");
    return text;
}

void RunHierarchy(const Workflow& workflow, const std::vector<std::string>& prepared, const fs::path& folder,
                  RunRecord& record) {
    const fs::path params = folder / "hierarchy.params";
    TextSink sink;
    if (!sink.Open(params.string().c_str())) throw WorkflowError(params.string() + ": cannot be created");
    sink.Put("QELFrmDECOMPOSE\n1\n");
    const WorkflowLevel* levels[4] = {};
    for (const WorkflowLevel& level : workflow.hierarchy->levels) levels[level.level] = &level;
    for (const WorkflowLevel* level : levels) sink.Put(level != nullptr ? "1 " : "0 ");
    sink.Put("\n");
    for (const WorkflowLevel* level : levels) {
        if (level == nullptr) continue;
        sink.Print("%.9f %d\n", double(level->importance), int(level->elements.size()));
        for (const WorkflowElement& element : level->elements)
            sink.Print("%s %.9f %s\n", Token(element.layer, 99, "layer name"), double(element.importance),
                       Token(PreparedPath(workflow, prepared, element.layer), 199, "raster path"));
    }
    sink.Print("%s\n%s\n", Token((folder / "prospectivity.tif").string(), 199, "output path"),
               Token((folder / "report.txt").string(), 199, "report path"));
    if (!sink.Close()) throw WorkflowError(params.string() + ": cannot be written");
    const JobOutput found = HierarchyRastersOutput(params.string(), geo::WriteOptions{});
    record.Add("hierarchy", found);
    nlohmann::ordered_json levelImportances = nlohmann::ordered_json::array();
    for (const WorkflowLevel& level : workflow.hierarchy->levels) {
        nlohmann::ordered_json elements = nlohmann::ordered_json::object();
        for (const WorkflowElement& element : level.elements) elements[element.layer] = element.importance;
        levelImportances.push_back(
            {{"level", kLevelNames[level.level]}, {"importance", level.importance}, {"elements", elements}});
    }
    record.report.methods.push_back(
        {"Hierarchy analysis",
         "Judgement matrices from the importances, their weights and consistency, and "
         "the weighted sum of the layers at every cell.",
         {{"levels", levelImportances}},
         found.results,
         {},
         {folder / "report.txt"}});
    if (found.ok)
        record.maps.push_back(
            {"hierarchy", (folder / "prospectivity.tif").string(), false, record.report.methods.size() - 1});
}

void RunFeature(const Workflow& workflow, const std::vector<std::string>& prepared,
                const DepositSets& deposits, const fs::path& folder, RunRecord& record) {
    const WorkflowFeature& feature = *workflow.feature;
    const fs::path units = folder / "model_units.txt";
    const std::string first = PreparedPath(workflow, prepared, feature.variables.front().layer);
    if (feature.modelUnits) {
        const geo::ModelUnitResult made =
            geo::WriteModelUnits(first, deposits.training, deposits.trainingOptions, units.string(), "");
        record.summary["feature_model_units"] = {{"deposit_points", made.deposits.read},
                                                 {"outside", made.deposits.outside},
                                                 {"on_no_data", made.deposits.onNoData},
                                                 {"cells", made.deposits.cells}};
    }
    const fs::path params = folder / "feature.params";
    TextSink sink;
    if (!sink.Open(params.string().c_str())) throw WorkflowError(params.string() + ": cannot be created");
    sink.Print("QelFrmFeater\n%d\n", int(feature.variables.size()));
    for (const WorkflowVariable& variable : feature.variables)
        sink.Print("%s %.9f %.9f %s\n", Token(variable.layer, 99, "layer name"), double(variable.lower),
                   double(variable.upper),
                   Token(PreparedPath(workflow, prepared, variable.layer), 199, "raster path"));
    sink.Print("%d %s\n%d %s %s\n", feature.modelUnits ? 1 : 0, Token(units.string(), 199, "model-unit path"),
               feature.method, Token((folder / "score.tif").string(), 199, "score path"),
               Token((folder / "report.txt").string(), 199, "report path"));
    if (!sink.Close()) throw WorkflowError(params.string() + ": cannot be written");
    const JobOutput found = FeatureRastersOutput(params.string(), geo::WriteOptions{});
    record.Add("feature", found);
    nlohmann::ordered_json variables = nlohmann::ordered_json::array();
    for (const WorkflowVariable& variable : feature.variables)
        variables.push_back(
            {{"layer", variable.layer}, {"lower", variable.lower}, {"upper", variable.upper}});
    record.report.methods.push_back(
        {"Feature analysis",
         "Each layer coded +1, 0 or -1 by its bounds, the product matrix of the codes" +
             std::string(feature.modelUnits ? " at the deposit cells" : "") +
             ", weights from it, and every cell's score.",
         {{"method", feature.method == 0 ? "vector length" : "principal component"},
          {"model_units", feature.modelUnits},
          {"variables", variables}},
         found.results,
         {},
         {}});
    if (found.ok)
        record.maps.push_back(
            {"feature", (folder / "score.tif").string(), false, record.report.methods.size() - 1});
}

// An evaluation as evaluate --json prints it (plot-curves reads it); returns its path.
std::string WriteEvaluation(const JobOutput& found, const fs::path& path) {
    TextSink sink;
    if (!sink.Open(path.string().c_str())) throw WorkflowError(path.string() + ": cannot be created");
    sink.Put(JsonOf(found).dump(1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    if (!sink.Close()) throw WorkflowError(path.string() + ": cannot be written");
    return path.string();
}

// "validation METHOD: ROC AUC ... (95 % ... to ...), success-rate area ...[, prediction-rate area ...]"
std::string ValidationLine(const std::string& method, const nlohmann::ordered_json& found) {
    const auto number = [&](const char* part, const char* key) {
        if (!found.contains(part) || !found[part].contains(key) || !found[part][key].is_number())
            return std::string("-");
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", found[part][key].get<double>());
        return std::string(text);
    };
    std::string line = "validation " + method + ": ROC AUC " + number("roc", "auc") + " (95 % " +
                       number("roc", "auc_low") + " to " + number("roc", "auc_high") +
                       "), success-rate area " + number("success_rate", "area");
    if (found.contains("prediction_rate"))
        line += ", prediction-rate area " + number("prediction_rate", "area");
    return line;
}

// Every method's map judged against the training deposits (ROC, success rate) and the deposits
// kept back (prediction rate), drawn, and its curves plotted side by side.
void Validate(const DepositSets& deposits, const fs::path& folder, RunRecord& record) {
    std::vector<std::string> judged;
    std::vector<std::string> predicted;
    std::vector<std::string> names;
    nlohmann::ordered_json validation = nlohmann::ordered_json::object();
    for (const RunMap& map : record.maps) {
        EvaluationRequest request;
        request.classes = map.classes;
        const JobOutput found =
            EvaluateOutput(map.path, deposits.training, deposits.trainingOptions, request);
        record.Add("validation_" + map.method, found);
        if (!found.ok) continue;
        judged.push_back(WriteEvaluation(found, folder / (map.method + ".json")));
        names.push_back(map.method);
        nlohmann::ordered_json& entry = validation[map.method];
        entry["roc"] = found.results["roc"];
        entry["success_rate"] = found.results["success_rate"];
        entry["roc"].erase("points");
        entry["success_rate"].erase("points");
        if (!deposits.heldOut.empty()) {
            const JobOutput kept = EvaluateOutput(map.path, deposits.heldOut, {}, request);
            record.Add("prediction_" + map.method, kept);
            if (kept.ok) {
                predicted.push_back(WriteEvaluation(kept, folder / (map.method + ".held_out.json")));
                entry["prediction_rate"] = kept.results["success_rate"];
                entry["prediction_rate"].erase("points");
            }
        }
        const fs::path picture = folder / (map.method + ".png");
        if (PlotMapOutput(map.path, picture.string(), deposits.training, map.method + " map", map.classes).ok)
            record.report.methods[map.section].pictures.push_back(
                {map.method + " map with the training deposits", picture});
    }
    for (const auto& [method, found] : validation.items())
        record.lines.push_back(ValidationLine(method, found));
    record.summary["validation"] = validation;
    record.report.validation = validation;
    if (judged.empty()) return;
    const std::pair<const char*, const char*> kinds[] = {{"roc", "ROC"}, {"success-rate", "Success rate"}};
    for (const auto& [kind, title] : kinds) {
        const fs::path picture = folder / (std::string(kind) + ".png");
        if (PlotCurvesOutput(judged, names, kind, title, picture.string()).ok)
            record.report.curves.push_back({title, picture});
    }
    if (!predicted.empty()) {
        const fs::path picture = folder / "prediction-rate.png";
        if (PlotCurvesOutput(predicted, names, "success-rate", "Prediction rate (deposits kept back)",
                             picture.string())
                .ok)
            record.report.curves.push_back({"Prediction rate", picture});
    }
    record.lines.push_back("validation: " + folder.string());
}

// The inputs' part of the report: each prepared layer drawn, and the deposits.
void ReportInputs(const Workflow& workflow, const std::vector<std::string>& prepared,
                  const DepositSets& deposits, const fs::path& folder, RunRecord& record) {
    ReportSection layers{
        "Evidence layers", "Each layer as the methods take it, with the training deposits.", {}, {}, {}, {}};
    for (std::size_t i = 0; i < workflow.layers.size(); ++i) {
        const WorkflowLayer& layer = workflow.layers[i];
        layers.parameters[layer.name] = {{"raster", layer.raster.string()}, {"prepared", prepared[i]}};
        const fs::path picture = folder / (layer.name + ".png");
        if (PlotMapOutput(prepared[i], picture.string(), deposits.training, layer.name, false).ok)
            layers.pictures.push_back({layer.name, picture});
    }
    record.report.inputs.push_back(layers);
    if (workflow.deposits) {
        nlohmann::ordered_json found = nlohmann::ordered_json::object();
        for (const char* key : {"deposit_split", "bp_samples", "feature_model_units"})
            if (record.summary.contains(key)) found[key] = record.summary[key];
        record.report.inputs.push_back(
            {"Deposits",
             "The known deposits, the cells they fall on and how many fell outside "
             "the rasters or on no data.",
             {{"file", workflow.deposits->path.string()}},
             found,
             {},
             {}});
    }
}

fs::path MakeFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw WorkflowError(folder.string() + ": cannot be created (" + error.message() + ")");
    return folder;
}

int RunWorkflow(const std::string& file, const std::string& output, bool json) {
    RunRecord record;
    try {
        const Workflow workflow = ReadWorkflow(file);
        const fs::path out =
            MakeFolder((output.empty() ? workflow.output : fs::path(output)).lexically_normal());
        record.summary["workflow"] = file;
        record.summary["output"] = out.string();
        const std::vector<std::string> prepared = PrepareLayers(workflow, MakeFolder(out / "layers"), record);
        const fs::path validation = MakeFolder(out / "validation");
        const DepositSets deposits = SplitDeposits(workflow, prepared.front(), validation, record);
        if (workflow.bp) RunBp(workflow, prepared, deposits, MakeFolder(out / "bp"), record);
        if (workflow.hierarchy) RunHierarchy(workflow, prepared, MakeFolder(out / "hierarchy"), record);
        if (workflow.feature) RunFeature(workflow, prepared, deposits, MakeFolder(out / "feature"), record);
        if (workflow.deposits) Validate(deposits, validation, record);
        ReportInputs(workflow, prepared, deposits, out / "layers", record);
        record.report.workflow = file;
        const fs::path page = out / "report.html";
        if (!WriteRunReport(record.report, page)) throw WorkflowError(page.string() + ": cannot be written");
        record.lines.push_back("report: " + page.string());
        const fs::path summary = out / "summary.json";
        TextSink sink;
        const std::string text =
            record.summary.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        if (!sink.Open(summary.string().c_str()) || (sink.Put(text), sink.Put("\n"), !sink.Close()))
            throw WorkflowError(summary.string() + ": cannot be written");
        record.lines.push_back("summary: " + summary.string());
    } catch (const std::exception& error) {
        std::cerr << "quarnel run: " << error.what() << "\n";
        return 1;
    }
    if (json)
        std::cout << record.summary.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    else
        for (const std::string& line : record.lines) (record.ok ? std::cout : std::cerr) << line << "\n";
    return record.ok ? 0 : 1;
}

}  // namespace

void AddRunCommand(CLI::App& app, int& exitCode) {
    auto* run = app.add_subcommand("run",
                                   "Run a workflow file (TOML): prepare the evidence layers, then every "
                                   "method it names, writing GeoTIFF maps, reports and summary.json");
    auto file = std::make_shared<std::string>();
    auto output = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    run->add_option("WORKFLOW", *file, "workflow file (.toml)")->required();
    run->add_option("-o,--output", *output, "output folder (default: the workflow's `output`)");
    run->add_flag("--json", *json, "print summary.json instead of the list of results");
    run->callback([file, output, json, &exitCode] { exitCode = RunWorkflow(*file, *output, *json); });
}

}  // namespace quarnel::cli
