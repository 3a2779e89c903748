// quarnel run: a workflow file taken from evidence rasters and deposits to prospectivity maps.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/door_jobs.h"
#include "cli/workflow.h"
#include "geo/align.h"
#include "geo/analysis.h"
#include "geo/point_files.h"
#include "geo/prep.h"
#include "grid/text_sink.h"

namespace quarnel::cli {

namespace {

namespace fs = std::filesystem;

const char* const kLevelNames[] = {"geology", "geophysics", "geochemistry", "remote-sensing"};

// What one run wrote and found, step by step, for summary.json and the closing lines.
struct RunRecord {
    nlohmann::ordered_json summary = nlohmann::ordered_json::object();
    std::vector<std::string> lines;
    bool ok = true;

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

geo::PointOptions PointOptionsOf(const WorkflowDeposits& deposits) {
    geo::PointOptions options;
    options.xColumn = deposits.xColumn;
    options.yColumn = deposits.yColumn;
    options.crs = deposits.crs;
    return options;
}

void RunBp(const Workflow& workflow, const std::vector<std::string>& prepared, const fs::path& folder,
           RunRecord& record) {
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
    const geo::SampleResult samples = geo::WriteBpSamples(
        inputs, workflow.deposits->path.string(), PointOptionsOf(*workflow.deposits), train.samples, options);
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
    if (!trained.ok) return;
    record.Add("bp_classify", ClassifyRastersOutput(train.network, inputs, (folder / "classes.tif").string(),
                                                    geo::WriteOptions{}));
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
    record.Add("hierarchy", HierarchyRastersOutput(params.string(), geo::WriteOptions{}));
}

void RunFeature(const Workflow& workflow, const std::vector<std::string>& prepared, const fs::path& folder,
                RunRecord& record) {
    const WorkflowFeature& feature = *workflow.feature;
    const fs::path units = folder / "model_units.txt";
    const std::string first = PreparedPath(workflow, prepared, feature.variables.front().layer);
    if (feature.modelUnits) {
        const geo::ModelUnitResult made = geo::WriteModelUnits(
            first, workflow.deposits->path.string(), PointOptionsOf(*workflow.deposits), units.string(), "");
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
    record.Add("feature", FeatureRastersOutput(params.string(), geo::WriteOptions{}));
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
        if (workflow.bp) RunBp(workflow, prepared, MakeFolder(out / "bp"), record);
        if (workflow.hierarchy) RunHierarchy(workflow, prepared, MakeFolder(out / "hierarchy"), record);
        if (workflow.feature) RunFeature(workflow, prepared, MakeFolder(out / "feature"), record);
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
