// plot and plot-curves: pictures of a raster with its deposits, and of the curves that evaluate
// wrote as JSON.
#include <ogr_spatialref.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/evaluation_report.h"
#include "cli/geo_points.h"
#include "cli/job_output.h"
#include "geo/points.h"
#include "geo/raster.h"
#include "plot/plot.h"

namespace quarnel::cli {
namespace {

struct MapOptions {
    std::string raster;
    std::string output;
    std::string deposits;
    geo::PointOptions points;
    plot::MapOptions picture;
    std::vector<std::string> classNames;
    int band = 1;
    bool json = false;
};

// The unit of the raster's coordinates for the scale bar: "degree" for a geographic CRS, the
// linear unit's name ("metre") for a projected one, empty without a CRS.
std::string MapUnits(const std::string& crsWkt) {
    if (crsWkt.empty()) return "";
    OGRSpatialReference crs;
    if (crs.importFromWkt(crsWkt.c_str()) != OGRERR_NONE) return "";
    if (crs.IsGeographic()) return "degree";
    const char* name = nullptr;
    crs.GetLinearUnits(&name);
    return name != nullptr ? name : "";
}

// VALUE=NAME, as --class-name takes it; false when VALUE is not a number.
bool ParseClassName(const std::string& text, plot::ClassName& name) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    const std::string value = text.substr(0, equals);
    char* end = nullptr;
    name.value = std::strtod(value.c_str(), &end);
    name.name = text.substr(equals + 1);
    return end == value.c_str() + value.size();
}

void DrawMap(const MapOptions& options, JobOutput& output) {
    geo::RasterData raster;
    geo::PlacedPoints placed;
    try {
        raster = geo::ReadRaster(options.raster, options.band);
        if (!options.deposits.empty()) {
            placed = geo::PlacePoints(geo::ReadPoints(options.deposits, raster.frame.crsWkt, options.points),
                                      raster.frame);
        }
    } catch (const geo::GeoError& error) {
        output = StatusOutput("plot", false, kEvaluateInputUnread, EvaluateStatusText(kEvaluateInputUnread),
                              error.what());
        return;
    }
    plot::MapOptions picture = options.picture;
    if (picture.title.empty()) picture.title = std::filesystem::path(options.raster).filename().string();
    picture.units = MapUnits(raster.frame.crsWkt);
    for (const std::string& text : options.classNames) {
        plot::ClassName name;
        if (ParseClassName(text, name)) picture.classNames.push_back(name);
    }
    for (const geo::Point& point : placed.points) picture.deposits.push_back({point.x, point.y});
    const plot::MapRaster map{raster.frame.rows, raster.frame.cols, raster.values, raster.frame.geoTransform,
                              std::nullopt};
    const plot::PlotOutcome drawn = plot::PlotMap(map, picture, options.output);
    if (!drawn.ok) {
        // A raster the picture cannot show is an input that does not fit; otherwise the file failed.
        const int status =
            drawn.cause.rfind(options.output, 0) == 0 ? kEvaluateOutputUnwritten : kEvaluateInputsUnfit;
        const std::string cause =
            status == kEvaluateInputsUnfit ? options.raster + ": " + drawn.cause : drawn.cause;
        output = StatusOutput("plot", false, status, EvaluateStatusText(status), cause);
        return;
    }
    output.outputs = {options.output};
    output.results = {{"width", drawn.width},
                      {"height", drawn.height},
                      {"rows", raster.frame.rows},
                      {"cols", raster.frame.cols},
                      {"classes", picture.classes},
                      {"deposits_drawn", placed.points.size()},
                      {"deposits_outside", placed.outside}};
    output.summary.push_back(
        "wrote " + options.output + ": " + std::to_string(drawn.width) + " x " +
        std::to_string(drawn.height) + " pixels, " + std::to_string(placed.points.size()) +
        " deposits drawn" +
        (placed.outside > 0 ? ", " + std::to_string(placed.outside) + " outside the map" : ""));
}

int RunPlot(const MapOptions& options) {
    JobOutput output = StatusOutput("plot", true, kEvaluateOk, EvaluateStatusText(kEvaluateOk), "");
    try {
        DrawMap(options, output);
    } catch (const std::bad_alloc&) {
        output = StatusOutput("plot", false, kEvaluateInputUnread, EvaluateStatusText(kEvaluateInputUnread),
                              "out of memory");
    }
    return Emit(output, options.json);
}

void AddPlotCommand(CLI::App& app, int& exitCode) {
    auto* command =
        app.add_subcommand("plot", "A north-up picture of a raster (scores or classes) with deposits");
    auto options = std::make_shared<MapOptions>();
    command->add_option("RASTER", options->raster, "the raster (any GDAL raster or design grid)")->required();
    command->add_option("-o,--output", options->output, "the picture: NAME.png or NAME.svg")->required();
    command->add_option("--deposits", options->deposits,
                        "points drawn over the raster (CSV with x and y, "
                        "GeoPackage, shapefile...)");
    command->add_option("--title", options->picture.title, "the title (default: the raster's file name)");
    command->add_flag("--classes", options->picture.classes,
                      "the raster holds classes: a colour and a legend "
                      "row each");
    command->add_option("--class-name", options->classNames, "VALUE=NAME: the legend's name of a class value")
        ->check([](const std::string& text) {
            plot::ClassName name;
            return ParseClassName(text, name) ? std::string()
                                              : "expected VALUE=NAME, VALUE a number: " + text;
        });
    command->add_option("--band", options->band, "the band to draw (default 1)")->check(CLI::PositiveNumber);
    command->add_option("--size", options->picture.mapPixels, "the map's longer side in pixels (default 720)")
        ->check(CLI::Range(64, 8192));
    AddPointOptions(command, options->points);
    AddJsonFlag(command, options->json);
    command->callback([options, &exitCode] { exitCode = RunPlot(*options); });
}

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
    try {
        geo::RefuseSpecialFile(file);
    } catch (const geo::GeoError& error) {
        return error.what();
    }
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
    AddPlotCommand(app, exitCode);
    AddPlotCurvesCommand(app, exitCode);
}

}  // namespace quarnel::cli
