#pragma once
// Pictures of prospectivity maps and of their validation curves, drawn with cairo and written as
// PNG or SVG (told by the path's extension, .png or .svg in any case). A file is written whole or
// not at all (formats/grid/output_file.h). The map is north-up: a raster whose geotransform rotates
// (geoTransform[2] or [4] not 0) or whose cells have no positive size is refused.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "quarnel/evaluate.h"

namespace quarnel::plot {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

// matplotlib's viridis at t in 0 .. 1 (clamped; NaN gives the low end), from its 256 colours.
Rgb ViridisColour(double t);
// The colour of class (or curve) index of count, each distinct: matplotlib's tab10 for up to ten,
// its tab20 for up to kMostClasses. Pictures of more are refused.
inline constexpr std::size_t kMostClasses = 20;
Rgb ClassColour(std::size_t index, std::size_t count);
// The deposit markers' fill, a red none of the ramps uses; held-out deposits are white triangles,
// a white no ramp or palette holds.
inline constexpr Rgb kDepositColour{255, 0, 0};
inline constexpr Rgb kHeldOutColour{255, 255, 255};

// A raster in memory: values row-major, row 0 the northern edge; GDAL's geotransform (x of the
// west edge, cell width, 0, y of the north edge, 0, negative cell height).
struct MapRaster {
    int rows = 0;
    int cols = 0;
    std::span<const double> values;
    std::array<double, 6> geoTransform{};
    std::optional<double> noData;
};

struct MapPoint {
    double x = 0;
    double y = 0;
};

// A class's legend name and, where given, its colour (otherwise the qualitative palette's).
struct ClassName {
    double value = 0;
    std::string name;
    std::optional<Rgb> colour;
};

struct MapOptions {
    std::string title;
    // Class values in a qualitative palette, a legend row each (named from classNames where one
    // is given), at most kMostClasses of them; otherwise scores on the viridis ramp from the
    // lowest value to the highest.
    bool classes = false;
    std::vector<ClassName> classNames;
    std::vector<MapPoint> deposits;  // map coordinates, drawn as markers over the raster
    std::vector<MapPoint> heldOut;   // deposits kept back from training, drawn as a second symbol
    std::string legendTitle;         // empty: "class" or "score"
    std::string units;               // the map unit for the scale bar ("metre": metres and km)
    int mapPixels = 720;             // the longer side of the map area
};

// Where the parts of a map picture go, in pixels: the whole picture, and the map area the
// raster fills (its west edge at mapLeft, its north edge at mapTop).
struct MapLayout {
    int width = 0;
    int height = 0;
    int mapLeft = 0;
    int mapTop = 0;
    int mapWidth = 0;
    int mapHeight = 0;
};
inline constexpr int kMarginLeft = 96;
inline constexpr int kMarginTop = 48;
inline constexpr int kMarginBottom = 44;
inline constexpr int kLegendWidth = 200;
// The north arrow stands in the top right corner, above the legend: its centre line this far
// from the picture's right edge, its filled head from its tip at kNorthArrowTop to kMarginTop - 4.
inline constexpr int kNorthArrowRight = 24;
inline constexpr int kNorthArrowTop = 4;
MapLayout LayoutMap(const MapRaster& raster, const MapOptions& options);

struct PlotOutcome {
    bool ok = false;
    std::string cause;  // on failure: what is wrong (the file, the raster)
    int width = 0;
    int height = 0;
};

// The raster (no-data and NaN cells transparent) with a legend (the value range, or the
// classes), map coordinates along the frame, a scale bar, a north arrow, a title and the deposits
// (training and held-out, each named in the legend). A class map
// of more than kMostClasses values is refused.
PlotOutcome PlotMap(const MapRaster& raster, const MapOptions& options, const std::string& path);

// Curves of several methods in one plot, x and y from 0 to 1, each named in the legend with its
// area ("AUC 0.812" for ROC curves, "area 0.801" for success-rate curves, "AP 0.412" for
// precision-recall curves, whose points are (recall, precision)); at most kMostClasses.
enum class CurveKind { Roc, SuccessRate, PrecisionRecall };
struct CurveSeries {
    std::string name;
    std::vector<evaluate::CurvePoint> points;
    double area = 0;
};
inline constexpr int kCurvePlotWidth = 500;
inline constexpr int kCurvePlotHeight = 520;
PlotOutcome PlotCurves(std::span<const CurveSeries> series, CurveKind kind, const std::string& title,
                       const std::string& path);

// Prediction-area plots of several methods: against the threshold (x, from the lowest to the
// highest threshold of all series), each method's prediction rate (solid) and 1 - its share of
// area (dashed, so that the two cross where the rate equals 1 - area), the crossing marked and
// given in the legend; at most kMostClasses.
struct PredictionAreaSeries {
    std::string name;
    std::vector<evaluate::PredictionAreaPoint> points;
    evaluate::PredictionAreaPoint crossing;
};
PlotOutcome PlotPredictionArea(std::span<const PredictionAreaSeries> series, const std::string& title,
                               const std::string& path);

}  // namespace quarnel::plot
