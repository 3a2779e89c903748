// plot and plot-curves: pictures of a raster with its deposits, and of the curves that evaluate
// wrote as JSON.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/evaluation_report.h"
#include "cli/job_output.h"
#include "plot/plot.h"

namespace quarnel::cli {
namespace {

struct CurveOptions {
    std::vector<std::string> evaluations;
    std::vector<std::string> names;
    std::string output;
    std::string kind = "roc";
    std::string title;
    bool json = false;
};

// Where a kind of curve sits in the results of evaluate --json, and the key of its area.
struct CurvePlace {
    std::vector<const char*> path;
    const char* area;
};

CurvePlace PlaceOf(const std::string& kind) {
    if (kind == "roc") return {{"roc"}, "auc"};
    if (kind == "success-rate") return {{"success_rate"}, "area"};
    return {{"holdout", "held_out", "success_rate"}, "area"};
}

// One curve from an evaluate --json file, or the cause why not.
std::string ReadCurve(const std::string& file, const std::string& kind, plot::CurveSeries& series) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return file + ": cannot open the file";
    const nlohmann::json object = nlohmann::json::parse(in, nullptr, false);
    if (object.is_discarded()) return file + ": not JSON";
    if (!object.is_object() || object.value("command", "") != "evaluate" || !object.value("ok", false) ||
        !object.contains("results"))
        return file + ": not the output of a successful quarnel evaluate --json";
    const CurvePlace place = PlaceOf(kind);
    const nlohmann::json* curve = &object["results"];
    for (const char* key : place.path) {
        if (!curve->is_object() || !curve->contains(key)) return file + ": holds no " + kind + " curve";
        curve = &(*curve)[key];
    }
    if (!curve->value("formed", false)) return file + ": its " + kind + " curve was not formed";
    try {
        series.area = (*curve)[place.area].get<double>();
        for (const auto& point : (*curve)["points"]) series.points.push_back({point.at(0), point.at(1)});
    } catch (const nlohmann::json::exception&) {
        return file + ": the " + kind + " curve is not a list of [x, y] points with its area";
    }
    const std::string map = object["results"].value("map", "");
    series.name = std::filesystem::path(map.empty() ? file : map).stem().string();
    return "";
}

int PlotCurves(const CurveOptions& options) {
    std::vector<plot::CurveSeries> series(options.evaluations.size());
    for (std::size_t i = 0; i < series.size(); ++i) {
        const std::string cause = ReadCurve(options.evaluations[i], options.kind, series[i]);
        if (!cause.empty()) {
            const int status =
                cause.find("curve") != std::string::npos ? kEvaluateInputsUnfit : kEvaluateInputUnread;
            return Emit(StatusOutput("plot-curves", false, status, EvaluateStatusText(status), cause),
                        options.json);
        }
        if (i < options.names.size()) series[i].name = options.names[i];
    }
    const plot::CurveKind kind = options.kind == "roc" ? plot::CurveKind::Roc : plot::CurveKind::SuccessRate;
    const plot::PlotOutcome drawn = plot::PlotCurves(series, kind, options.title, options.output);
    const int status = drawn.ok ? kEvaluateOk : kEvaluateOutputUnwritten;
    JobOutput output = StatusOutput("plot-curves", drawn.ok, status, EvaluateStatusText(status), drawn.cause);
    if (drawn.ok) {
        output.outputs = {options.output};
        output.results = {{"width", drawn.width}, {"height", drawn.height}, {"kind", options.kind}};
        output.results["curves"] = nlohmann::ordered_json::array();
        for (const plot::CurveSeries& one : series)
            output.results["curves"].push_back({{"name", one.name}, {"area", one.area}});
        output.summary.push_back("wrote " + options.output + ": " + std::to_string(series.size()) + " " +
                                 options.kind + " curves, " + std::to_string(drawn.width) + " x " +
                                 std::to_string(drawn.height) + " pixels");
    }
    return Emit(output, options.json);
}

void AddPlotCurvesCommand(CLI::App& app, int& exitCode) {
    auto* command = app.add_subcommand("plot-curves",
                                       "ROC, success-rate or prediction-rate curves of evaluations "
                                       "(evaluate --json files) in one picture");
    auto options = std::make_shared<CurveOptions>();
    command->add_option("EVALUATION", options->evaluations, "files written by quarnel evaluate --json")
        ->required();
    command->add_option("-o,--output", options->output, "the picture: NAME.png or NAME.svg")->required();
    command
        ->add_option("--kind", options->kind,
                     "roc (default), success-rate, or prediction-rate (the held-out "
                     "deposits of a --holdout run)")
        ->check(CLI::IsMember({"roc", "success-rate", "prediction-rate"}));
    command->add_option("--name", options->names,
                        "the legend's name of each evaluation in turn (default: the "
                        "map's file name)");
    command->add_option("--title", options->title, "the picture's title");
    AddJsonFlag(command, options->json);
    command->callback([options, &exitCode] { exitCode = PlotCurves(*options); });
}

}  // namespace

void AddPlotCommands(CLI::App& app, int& exitCode) {
    AddPlotCurvesCommand(app, exitCode);
}

}  // namespace quarnel::cli
