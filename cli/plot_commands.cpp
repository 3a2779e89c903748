// plot and plot-curves: pictures of a raster with its deposits, and of the curves that evaluate
// wrote as JSON.
#include <ogr_spatialref.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
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
#include "plot/plot.h"

namespace quarnel::cli {
namespace {

struct MapOptions {
    std::string raster;
    std::string output;
    std::string deposits;
    std::string heldOut;
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

// The raster's values and the picture's two images (the map's and the whole picture's, 4 bytes
// a pixel each), asked of the memory free before the raster is read.
bool PictureFitsMemory(const geo::GridFrame& frame, const plot::MapOptions& picture) {
    const std::int64_t side = picture.mapPixels + plot::kMarginLeft + plot::kLegendWidth;
    MemoryBudget budget;
    budget.Add(frame.rows, frame.cols, sizeof(double)).Add(2 * side, side, 4);
    return budget.Fits();
}

void DrawMap(const MapOptions& options, JobOutput& output) {
    geo::RasterData raster;
    geo::PointFile deposits;
    geo::PlacedPoints placed;
    geo::PlacedPoints heldOut;
    const auto unread = [&](const std::string& cause) {
        output = StatusOutput("plot", false, kEvaluateInputUnread, EvaluateStatusText(kEvaluateInputUnread),
                              cause);
    };
    try {
        const geo::GridFrame frame = geo::Raster::Open(options.raster).frame();
        if (!PictureFitsMemory(frame, options.picture))
            return unread(options.raster + ": its " + std::to_string(frame.rows) + " x " +
                          std::to_string(frame.cols) + " cells need more memory than is free");
        raster = geo::ReadRaster(options.raster, options.band);
        if (!options.deposits.empty()) {
            deposits = geo::ReadPointFile(options.deposits, raster.frame.crsWkt, options.points);
            placed = geo::PlacePoints(deposits.points, raster.frame);
        }
        if (!options.heldOut.empty())
            heldOut = geo::PlacePoints(
                geo::ReadPointFile(options.heldOut, raster.frame.crsWkt, options.points).points,
                raster.frame);
    } catch (const geo::GeoError& error) {
        return unread(error.what());
    }
    plot::MapOptions picture = options.picture;
    if (picture.title.empty()) picture.title = std::filesystem::path(options.raster).filename().string();
    picture.units = MapUnits(raster.frame.crsWkt);
    for (const std::string& text : options.classNames) {
        plot::ClassName name;
        if (ParseClassName(text, name)) picture.classNames.push_back(name);
    }
    for (const geo::Point& point : placed.points) picture.deposits.push_back({point.x, point.y});
    for (const geo::Point& point : heldOut.points) picture.heldOut.push_back({point.x, point.y});
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
                      {"deposits_read", deposits.count.read},
                      {"deposits_drawn", placed.points.size()},
                      {"deposits_outside", placed.outside},
                      {"held_out_drawn", heldOut.points.size()}};
    PutReadingCounts(output.results["deposits_left_out"], deposits.count);
    output.summary.push_back(
        "wrote " + options.output + ": " + std::to_string(drawn.width) + " x " +
        std::to_string(drawn.height) + " pixels, " + std::to_string(placed.points.size()) +
        " deposits drawn" +
        (placed.outside > 0 ? ", " + std::to_string(placed.outside) + " outside the map" : "") +
        ReadingLeftOut(deposits.count));
}

JobOutput PlotOf(const MapOptions& options) {
    JobOutput output = StatusOutput("plot", true, kEvaluateOk, EvaluateStatusText(kEvaluateOk), "");
    try {
        DrawMap(options, output);
    } catch (const std::bad_alloc&) {
        output = StatusOutput("plot", false, kEvaluateInputUnread, EvaluateStatusText(kEvaluateInputUnread),
                              "out of memory");
    }
    return output;
}

int RunPlot(const MapOptions& options) {
    return Emit(PlotOf(options), options.json);
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
    command->add_option("--held-out", options->heldOut,
                        "deposits kept back from training, drawn as white triangles (read as --deposits)");
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
    if (kind == "precision-recall") return {{"precision_recall"}, "average_precision"};
    if (kind == "prediction-area") return {{"prediction_area"}, "crossing"};
    return {{"holdout", "held_out", "success_rate"}, "area"};
}

// Why a curve could not be read: the status and the cause, naming the file and the key.
struct CurveFault {
    int status = kEvaluateOk;
    std::string cause;
};

// The member key of value, or null when value is no object or has none.
const nlohmann::json* Member(const nlohmann::json& value, const std::string& key) {
    if (!value.is_object()) return nullptr;
    const auto found = value.find(key);
    return found == value.end() ? nullptr : &*found;
}

bool IsFiniteNumber(const nlohmann::json* value) {
    return value != nullptr && value->is_number() && std::isfinite(value->get<double>());
}

// The curve's points, each a list of `width` finite numbers ([x, y]; [threshold, a, b] for the
// precision-recall and prediction-area curves); false at the first that is not.
template <typename Point, typename Make>
bool ReadPoints(const nlohmann::json& points, std::size_t width, Make make, std::vector<Point>& out) {
    if (!points.is_array() || points.empty()) return false;
    for (const nlohmann::json& point : points) {
        if (!point.is_array() || point.size() != width) return false;
        for (const nlohmann::json& number : point)
            if (!IsFiniteNumber(&number)) return false;
        out.push_back(make(point));
    }
    return true;
}

// A curve found in an evaluate --json file: its object, where it sits, and the series' name.
struct FoundCurve {
    nlohmann::json curve;
    std::string where;
    std::string name;
};

// The curve of kind from an evaluate --json file, checked to be formed; every key checked for
// its kind of value.
CurveFault FindCurve(const std::string& file, const std::string& kind, FoundCurve& found) {
    const auto unread = [&](const std::string& what) {
        return CurveFault{kEvaluateInputUnread, file + ": " + what};
    };
    try {
        geo::RefuseSpecialFile(file);
    } catch (const geo::GeoError& error) {
        return {kEvaluateInputUnread, error.what()};
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) return unread("cannot open the file");
    const nlohmann::json object = nlohmann::json::parse(in, nullptr, false);
    if (object.is_discarded()) return unread("not JSON");
    const nlohmann::json* command = Member(object, "command");
    const nlohmann::json* ok = Member(object, "ok");
    const nlohmann::json* results = Member(object, "results");
    if (command == nullptr || *command != "evaluate" || ok == nullptr || *ok != true || results == nullptr ||
        !results->is_object())
        return unread("not the output of a successful quarnel evaluate --json");
    const CurvePlace place = PlaceOf(kind);
    const nlohmann::json* curve = results;
    std::string where = "results";
    for (const char* key : place.path) {
        curve = Member(*curve, key);
        where += std::string(".") + key;
        if (curve == nullptr)
            return {kEvaluateInputsUnfit, file + ": holds no " + kind + " curve (no " + where + ")"};
        if (!curve->is_object()) return unread(where + " is not an object");
    }
    const nlohmann::json* formed = Member(*curve, "formed");
    if (formed == nullptr || !formed->is_boolean()) return unread(where + ".formed is not true or false");
    if (!formed->get<bool>()) return {kEvaluateInputsUnfit, file + ": its " + kind + " curve was not formed"};
    const nlohmann::json* map = Member(*results, "map");
    if (map != nullptr && !map->is_string()) return unread("results.map is not a file name");
    const std::string name = map != nullptr ? map->get<std::string>() : "";
    found = {*curve, where, std::filesystem::path(name.empty() ? file : name).stem().string()};
    return {};
}

// One curve of x and y from 0 to 1 (ROC, success or prediction rate, precision-recall).
CurveFault ReadCurve(const std::string& file, const std::string& kind, plot::CurveSeries& series) {
    FoundCurve found;
    if (CurveFault fault = FindCurve(file, kind, found); fault.status != kEvaluateOk) return fault;
    const auto unread = [&](const std::string& what) {
        return CurveFault{kEvaluateInputUnread, file + ": " + found.where + what};
    };
    const char* areaKey = PlaceOf(kind).area;
    const nlohmann::json* area = Member(found.curve, areaKey);
    if (!IsFiniteNumber(area)) return unread(std::string(".") + areaKey + " is not a number");
    series.area = area->get<double>();
    series.name = found.name;
    const nlohmann::json* points = Member(found.curve, "points");
    const bool triples = kind == "precision-recall";
    const auto make = [&](const nlohmann::json& point) {
        return triples ? evaluate::CurvePoint{point[1].get<double>(), point[2].get<double>()}
                       : evaluate::CurvePoint{point[0].get<double>(), point[1].get<double>()};
    };
    if (points == nullptr || !ReadPoints(*points, triples ? 3 : 2, make, series.points))
        return unread(triples ? ".points is not a list of [threshold, recall, precision] numbers"
                              : ".points is not a list of [x, y] pairs of numbers");
    return {};
}

// One prediction-area curve with its crossing.
CurveFault ReadPredictionArea(const std::string& file, plot::PredictionAreaSeries& series) {
    FoundCurve found;
    if (CurveFault fault = FindCurve(file, "prediction-area", found); fault.status != kEvaluateOk)
        return fault;
    const auto unread = [&](const std::string& what) {
        return CurveFault{kEvaluateInputUnread, file + ": " + found.where + what};
    };
    const nlohmann::json* crossing = Member(found.curve, "crossing");
    const char* keys[] = {"threshold", "prediction_rate", "area_share"};
    double numbers[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const nlohmann::json* number = crossing == nullptr ? nullptr : Member(*crossing, keys[i]);
        if (!IsFiniteNumber(number)) return unread(std::string(".crossing.") + keys[i] + " is not a number");
        numbers[i] = number->get<double>();
    }
    series.crossing = {numbers[0], numbers[1], numbers[2]};
    series.name = found.name;
    const nlohmann::json* points = Member(found.curve, "points");
    const auto make = [](const nlohmann::json& point) {
        return evaluate::PredictionAreaPoint{point[0].get<double>(), point[1].get<double>(),
                                             point[2].get<double>()};
    };
    if (points == nullptr || !ReadPoints(*points, 3, make, series.points))
        return unread(".points is not a list of [threshold, prediction rate, area share] numbers");
    return {};
}

// The prediction-area plot of every evaluation; the drawing's outcome, or the fault reading one.
CurveFault DrawPredictionArea(const CurveOptions& options, plot::PlotOutcome& drawn,
                              nlohmann::ordered_json& curves) {
    std::vector<plot::PredictionAreaSeries> series(options.evaluations.size());
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (CurveFault fault = ReadPredictionArea(options.evaluations[i], series[i]);
            fault.status != kEvaluateOk)
            return fault;
        if (i < options.names.size()) series[i].name = options.names[i];
    }
    drawn = plot::PlotPredictionArea(series, options.title, options.output);
    for (const plot::PredictionAreaSeries& one : series) {
        curves.push_back({{"name", one.name},
                          {"crossing",
                           {{"threshold", one.crossing.threshold},
                            {"prediction_rate", one.crossing.predictionRate},
                            {"area_share", one.crossing.areaShare}}}});
    }
    return {};
}

// The plot of x-y curves of every evaluation; the drawing's outcome, or the fault reading one.
CurveFault DrawCurves(const CurveOptions& options, plot::PlotOutcome& drawn, nlohmann::ordered_json& curves) {
    std::vector<plot::CurveSeries> series(options.evaluations.size());
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (CurveFault fault = ReadCurve(options.evaluations[i], options.kind, series[i]);
            fault.status != kEvaluateOk)
            return fault;
        if (i < options.names.size()) series[i].name = options.names[i];
    }
    const plot::CurveKind kind = options.kind == "roc"                ? plot::CurveKind::Roc
                                 : options.kind == "precision-recall" ? plot::CurveKind::PrecisionRecall
                                                                      : plot::CurveKind::SuccessRate;
    drawn = plot::PlotCurves(series, kind, options.title, options.output);
    for (const plot::CurveSeries& one : series) curves.push_back({{"name", one.name}, {"area", one.area}});
    return {};
}

JobOutput CurvesOf(const CurveOptions& options) {
    plot::PlotOutcome drawn;
    nlohmann::ordered_json curves = nlohmann::ordered_json::array();
    const CurveFault fault = options.kind == "prediction-area" ? DrawPredictionArea(options, drawn, curves)
                                                               : DrawCurves(options, drawn, curves);
    if (fault.status != kEvaluateOk)
        return StatusOutput("plot-curves", false, fault.status, EvaluateStatusText(fault.status),
                            fault.cause);
    const int status = drawn.ok                                    ? kEvaluateOk
                       : drawn.cause.rfind(options.output, 0) == 0 ? kEvaluateOutputUnwritten
                                                                   : kEvaluateInputsUnfit;
    JobOutput output = StatusOutput("plot-curves", drawn.ok, status, EvaluateStatusText(status), drawn.cause);
    if (drawn.ok) {
        output.outputs = {options.output};
        output.results = {{"width", drawn.width}, {"height", drawn.height}, {"kind", options.kind}};
        output.results["curves"] = curves;
        output.summary.push_back("wrote " + options.output + ": " + std::to_string(curves.size()) + " " +
                                 options.kind + " curves, " + std::to_string(drawn.width) + " x " +
                                 std::to_string(drawn.height) + " pixels");
    }
    return output;
}

int PlotCurves(const CurveOptions& options) {
    return Emit(CurvesOf(options), options.json);
}

void AddPlotCurvesCommand(CLI::App& app, int& exitCode) {
    auto* command = app.add_subcommand("plot-curves",
                                       "ROC, success-rate, prediction-rate, precision-recall or "
                                       "prediction-area curves of evaluations (evaluate --json files) "
                                       "in one picture");
    auto options = std::make_shared<CurveOptions>();
    command->add_option("EVALUATION", options->evaluations, "files written by quarnel evaluate --json")
        ->required();
    command->add_option("-o,--output", options->output, "the picture: NAME.png or NAME.svg")->required();
    command
        ->add_option("--kind", options->kind,
                     "roc (default), success-rate, prediction-rate (the held-out "
                     "deposits of a --holdout run), precision-recall, or prediction-area "
                     "(prediction rate and area against the threshold, with their crossing)")
        ->check(
            CLI::IsMember({"roc", "success-rate", "prediction-rate", "precision-recall", "prediction-area"}));
    command->add_option("--name", options->names,
                        "the legend's name of each evaluation in turn (default: the "
                        "map's file name)");
    command->add_option("--title", options->title, "the picture's title");
    AddJsonFlag(command, options->json);
    command->callback([options, &exitCode] { exitCode = PlotCurves(*options); });
}

}  // namespace

JobOutput PlotMapOutput(const std::string& raster, const std::string& output, const std::string& deposits,
                        const std::string& title, bool classes, const MapExtras& extras) {
    MapOptions options;
    options.raster = raster;
    options.output = output;
    options.deposits = deposits;
    options.heldOut = extras.heldOut;
    options.picture.title = title;
    options.picture.classes = classes;
    options.picture.classNames = extras.classNames;
    options.picture.legendTitle = extras.legendTitle;
    return PlotOf(options);
}

JobOutput PlotCurvesOutput(const std::vector<std::string>& evaluations, const std::vector<std::string>& names,
                           const std::string& kind, const std::string& title, const std::string& output) {
    CurveOptions options;
    options.evaluations = evaluations;
    options.names = names;
    options.kind = kind;
    options.title = title;
    options.output = output;
    return CurvesOf(options);
}

void AddPlotCommands(CLI::App& app, int& exitCode) {
    AddPlotCommand(app, exitCode);
    AddPlotCurvesCommand(app, exitCode);
}

}  // namespace quarnel::cli
