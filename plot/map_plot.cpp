#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "plot/canvas.h"
#include "plot/plot.h"

namespace quarnel::plot {

namespace {

constexpr int kRampHeight = 180;
constexpr int kLegendRow = 22;
constexpr Rgb kBlack{0, 0, 0};

bool IsValue(const MapRaster& raster, double value) {
    return !std::isnan(value) && !(raster.noData && value == *raster.noData);
}

double ExtentWidth(const MapRaster& raster) {
    return raster.cols * raster.geoTransform[1];
}

double ExtentHeight(const MapRaster& raster) {
    return raster.rows * -raster.geoTransform[5];
}

// Empty when the raster can be drawn north-up; otherwise what is wrong with it.
std::string RasterFault(const MapRaster& raster) {
    const auto& gt = raster.geoTransform;
    if (raster.rows <= 0 || raster.cols <= 0) return "the raster has no cells";
    if (raster.values.size() != static_cast<std::size_t>(raster.rows) * static_cast<std::size_t>(raster.cols))
        return "the raster's values do not fill its rows and columns";
    if (gt[2] != 0 || gt[4] != 0) return "the raster is rotated (its geotransform has terms 2 and 4 not 0)";
    if (!(gt[1] > 0) || !(gt[5] < 0) || !std::isfinite(ExtentWidth(raster)) ||
        !std::isfinite(ExtentHeight(raster)) || !std::isfinite(gt[0]) || !std::isfinite(gt[3]))
        return "the raster is not north-up with cells of positive size";
    return "";
}

// The class values, ascending; one more than kMostClasses at most (enough to refuse the map),
// so a raster of scores drawn as classes is not copied into a set.
std::vector<double> ClassValues(const MapRaster& raster) {
    std::set<double> values;
    for (const double value : raster.values) {
        if (IsValue(raster, value)) values.insert(value);
        if (values.size() > kMostClasses) break;
    }
    return {values.begin(), values.end()};
}

struct ValueRange {
    double low = 0;
    double high = 0;
    bool any = false;
};

ValueRange RangeOf(const MapRaster& raster) {
    ValueRange range;
    for (const double value : raster.values) {
        if (!IsValue(raster, value)) continue;
        range.low = range.any ? std::min(range.low, value) : value;
        range.high = range.any ? std::max(range.high, value) : value;
        range.any = true;
    }
    return range;
}

int LegendHeight(const MapOptions& options, std::size_t classCount) {
    const std::size_t rows = options.classes ? classCount + 1 : 0;
    const int body = options.classes ? static_cast<int>(rows) * kLegendRow : kRampHeight;
    return 40 + body + (options.heldOut.empty() ? 2 : 3) * kLegendRow + 70;
}

// The colour a class is given by name, if any.
std::optional<Rgb> NamedColour(const MapOptions& options, double value) {
    for (const ClassName& name : options.classNames)
        if (name.value == value) return name.colour;
    return std::nullopt;
}

// What a cell shows: its colour, or nothing for no-data.
class CellColours {
  public:
    CellColours(const MapRaster& raster, const MapOptions& options)
        : raster_(raster),
          classes_(options.classes ? ClassValues(raster) : std::vector<double>()),
          range_(RangeOf(raster)),
          byClass_(options.classes),
          options_(options) {}

    std::optional<Rgb> Of(double value) const {
        if (!IsValue(raster_, value)) return std::nullopt;
        if (byClass_) {
            if (const std::optional<Rgb> named = NamedColour(options_, value)) return named;
            const auto place = std::lower_bound(classes_.begin(), classes_.end(), value);
            return ClassColour(static_cast<std::size_t>(place - classes_.begin()), classes_.size());
        }
        const double span = range_.high - range_.low;
        return ViridisColour(span > 0 ? (value - range_.low) / span : 0.5);
    }
    const std::vector<double>& classes() const { return classes_; }
    const ValueRange& range() const { return range_; }

  private:
    const MapRaster& raster_;
    std::vector<double> classes_;
    ValueRange range_;
    bool byClass_;
    const MapOptions& options_;
};

// The raster as an image of at most one pixel per map-area pixel (larger rasters are sampled at
// the image pixels' centres), no-data fully transparent.
cairo_surface_t* RasterImage(const MapRaster& raster, const CellColours& colours, const MapLayout& layout) {
    const int cols = std::min(raster.cols, layout.mapWidth);
    const int rows = std::min(raster.rows, layout.mapHeight);
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cols, rows);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) return image;
    cairo_surface_flush(image);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int i = 0; i < rows; ++i) {
        const auto row = static_cast<std::size_t>((i + 0.5) * raster.rows / rows);
        auto* pixels = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(i) * stride);
        for (int j = 0; j < cols; ++j) {
            const auto col = static_cast<std::size_t>((j + 0.5) * raster.cols / cols);
            const std::optional<Rgb> colour =
                colours.Of(raster.values[row * static_cast<std::size_t>(raster.cols) + col]);
            pixels[j] = colour ? 0xff000000u | std::uint32_t{colour->r} << 16 |
                                     std::uint32_t{colour->g} << 8 | colour->b
                               : 0u;
        }
    }
    cairo_surface_mark_dirty(image);
    return image;
}

// White everywhere but the map area, so no-data cells stay transparent.
void PaintBackground(cairo_t* cr, const MapLayout& layout) {
    cairo_rectangle(cr, 0, 0, layout.width, layout.height);
    cairo_rectangle(cr, layout.mapLeft, layout.mapTop, layout.mapWidth, layout.mapHeight);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

void PaintRaster(cairo_t* cr, cairo_surface_t* image, const MapLayout& layout) {
    cairo_save(cr);
    cairo_rectangle(cr, layout.mapLeft, layout.mapTop, layout.mapWidth, layout.mapHeight);
    cairo_clip(cr);
    cairo_translate(cr, layout.mapLeft, layout.mapTop);
    cairo_scale(cr, static_cast<double>(layout.mapWidth) / cairo_image_surface_get_width(image),
                static_cast<double>(layout.mapHeight) / cairo_image_surface_get_height(image));
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
}

// Map coordinates to picture pixels.
struct MapToPixels {
    double west, north, scaleX, scaleY;
    MapLayout layout;
    double X(double x) const { return layout.mapLeft + (x - west) * scaleX; }
    double Y(double y) const { return layout.mapTop + (north - y) * scaleY; }
};

MapToPixels Projection(const MapRaster& raster, const MapLayout& layout) {
    return {raster.geoTransform[0], raster.geoTransform[3], layout.mapWidth / ExtentWidth(raster),
            layout.mapHeight / ExtentHeight(raster), layout};
}

// Round values from low to high, about five; none where the span is too small for the numbers'
// precision to step through.
std::vector<double> Ticks(double low, double high) {
    const double step = NiceStep(high - low, 4);
    std::vector<double> ticks;
    for (double k = std::ceil(low / step); k * step <= high && ticks.size() < 12; ++k) {
        if (!ticks.empty() && k * step == ticks.back()) break;
        ticks.push_back(k * step);
    }
    return ticks;
}

// The frame round the map with ticks and labels in map coordinates on the south and west sides.
void DrawFrame(cairo_t* cr, const MapRaster& raster, const MapToPixels& to) {
    const MapLayout& layout = to.layout;
    SetColour(cr, kBlack);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, layout.mapLeft - 0.5, layout.mapTop - 0.5, layout.mapWidth + 1, layout.mapHeight + 1);
    cairo_stroke(cr);
    const double west = raster.geoTransform[0], north = raster.geoTransform[3];
    const double east = west + ExtentWidth(raster), south = north - ExtentHeight(raster);
    for (const double x : Ticks(west, east)) {
        const double px = std::round(to.X(x)) + 0.5;
        const double bottom = layout.mapTop + layout.mapHeight;
        cairo_move_to(cr, px, bottom);
        cairo_line_to(cr, px, bottom + 5);
        cairo_stroke(cr);
        DrawText(cr, px, bottom + 8, TickLabel(x), 11, Align::Middle, Align::Start);
    }
    for (const double y : Ticks(south, north)) {
        const double py = std::round(to.Y(y)) + 0.5;
        cairo_move_to(cr, layout.mapLeft - 5, py);
        cairo_line_to(cr, layout.mapLeft, py);
        cairo_stroke(cr);
        DrawText(cr, layout.mapLeft - 8, py, TickLabel(y), 11, Align::End, Align::Middle);
    }
}

void DrawMarker(cairo_t* cr, double x, double y) {
    cairo_arc(cr, x, y, 4.5, 0, 2 * std::numbers::pi);
    SetColour(cr, kDepositColour);
    cairo_fill_preserve(cr);
    SetColour(cr, kBlack);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// A held-out deposit: a white triangle pointing up, outlined in black, its centroid at (x, y).
void DrawHeldOutMarker(cairo_t* cr, double x, double y) {
    cairo_move_to(cr, x, y - 6.5);
    cairo_line_to(cr, x + 6, y + 4);
    cairo_line_to(cr, x - 6, y + 4);
    cairo_close_path(cr);
    SetColour(cr, kHeldOutColour);
    cairo_fill_preserve(cr);
    SetColour(cr, kBlack);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

void DrawDeposits(cairo_t* cr, const MapOptions& options, const MapToPixels& to) {
    cairo_save(cr);
    cairo_rectangle(cr, to.layout.mapLeft - 7, to.layout.mapTop - 7, to.layout.mapWidth + 14,
                    to.layout.mapHeight + 14);
    cairo_clip(cr);
    for (const MapPoint& point : options.deposits) DrawMarker(cr, to.X(point.x), to.Y(point.y));
    for (const MapPoint& point : options.heldOut) DrawHeldOutMarker(cr, to.X(point.x), to.Y(point.y));
    cairo_restore(cr);
}

// An arrow pointing to the top of the picture (the map is north-up) with N beside its shaft.
void DrawNorthArrow(cairo_t* cr, const MapLayout& layout) {
    const double x = layout.width - kNorthArrowRight;
    const double bottom = kMarginTop - 4;
    SetColour(cr, kBlack);
    cairo_move_to(cr, x, kNorthArrowTop);
    cairo_line_to(cr, x + 8, bottom);
    cairo_line_to(cr, x, bottom - 7);
    cairo_line_to(cr, x - 8, bottom);
    cairo_close_path(cr);
    cairo_fill(cr);
    DrawText(cr, x - 12, kNorthArrowTop + 16, "N", 13, Align::End, Align::Middle, true);
}

std::string ClassLabel(const MapOptions& options, double value) {
    for (const ClassName& name : options.classNames) {
        if (name.value == value) return name.name;
    }
    return TickLabel(value);
}

// A value of the ramp's range: four significant digits, but whole numbers below 10^15 in full.
std::string LegendLabel(double value) {
    return std::fabs(value) >= 1e4 && std::fabs(value) < 1e15 ? TickLabel(std::round(value), 15)
                                                              : TickLabel(value, 4);
}

// The legend's body from the top at y; returns where the next part may start.
double DrawRampLegend(cairo_t* cr, const CellColours& colours, double left, double y) {
    const ValueRange& range = colours.range();
    if (!range.any) {
        DrawText(cr, left, y, "no values", 12, Align::Start, Align::Start);
        return y + kLegendRow;
    }
    for (int i = 0; i < kRampHeight; ++i) {
        SetColour(cr, ViridisColour(1 - (i + 0.5) / kRampHeight));
        cairo_rectangle(cr, left, y + i, 20, 1);
        cairo_fill(cr);
    }
    SetColour(cr, kBlack);
    DrawText(cr, left + 28, y, LegendLabel(range.high), 11, Align::Start, Align::Middle);
    DrawText(cr, left + 28, y + kRampHeight, LegendLabel(range.low), 11, Align::Start, Align::Middle);
    return y + kRampHeight + 14;
}

double DrawClassLegend(cairo_t* cr, const CellColours& colours, const MapOptions& options, double left,
                       double y) {
    const std::vector<double>& classes = colours.classes();
    for (std::size_t i = 0; i < classes.size(); ++i) {
        SetColour(cr, NamedColour(options, classes[i]).value_or(ClassColour(i, classes.size())));
        cairo_rectangle(cr, left, y + 3, 14, 14);
        cairo_fill(cr);
        SetColour(cr, kBlack);
        DrawText(cr, left + 22, y + 10, ClassLabel(options, classes[i]), 12, Align::Start, Align::Middle);
        y += kLegendRow;
    }
    return y + 8;
}

// A bar of a round length in map units, about 120 pixels long at most.
void DrawScaleBar(cairo_t* cr, const MapOptions& options, const MapToPixels& to, double left, double y) {
    const double most = 120 / to.scaleX;
    const double power = std::pow(10.0, std::floor(std::log10(most)));
    const double length = most >= 5 * power ? 5 * power : most >= 2 * power ? 2 * power : power;
    const double pixels = length * to.scaleX;
    SetColour(cr, kBlack);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, left, y + 6);
    cairo_line_to(cr, left, y + 12);
    cairo_line_to(cr, left + pixels, y + 12);
    cairo_line_to(cr, left + pixels, y + 6);
    cairo_stroke(cr);
    const bool metres = options.units == "metre" || options.units == "meter" || options.units == "m";
    const std::string label = metres && length >= 1000 ? TickLabel(length / 1000) + " km"
                              : options.units.empty()  ? TickLabel(length) + " map units"
                              : metres                 ? TickLabel(length) + " m"
                                                       : TickLabel(length) + " " + options.units;
    DrawText(cr, left, y + 18, label, 11, Align::Start, Align::Start);
}

void DrawLegend(cairo_t* cr, const CellColours& colours, const MapOptions& options, const MapToPixels& to) {
    const double left = to.layout.mapLeft + to.layout.mapWidth + 24;
    double y = to.layout.mapTop;
    SetColour(cr, kBlack);
    const std::string title = !options.legendTitle.empty() ? options.legendTitle
                              : options.classes            ? "class"
                                                           : "score";
    DrawText(cr, left, y, title, 13, Align::Start, Align::Start, true);
    y += 26;
    y = options.classes ? DrawClassLegend(cr, colours, options, left, y)
                        : DrawRampLegend(cr, colours, left, y);
    if (!options.deposits.empty()) {
        DrawMarker(cr, left + 7, y + 10);
        SetColour(cr, kBlack);
        const std::string name = options.heldOut.empty() ? "deposits (" : "training deposits (";
        DrawText(cr, left + 22, y + 10, name + std::to_string(options.deposits.size()) + ")", 12,
                 Align::Start, Align::Middle);
        y += kLegendRow;
    }
    if (!options.heldOut.empty()) {
        DrawHeldOutMarker(cr, left + 7, y + 10);
        SetColour(cr, kBlack);
        DrawText(cr, left + 22, y + 10, "held-out deposits (" + std::to_string(options.heldOut.size()) + ")",
                 12, Align::Start, Align::Middle);
        y += kLegendRow;
    }
    if (!options.deposits.empty() || !options.heldOut.empty()) y += kLegendRow;
    DrawScaleBar(cr, options, to, left, y);
}

}  // namespace

MapLayout LayoutMap(const MapRaster& raster, const MapOptions& options) {
    MapLayout layout;
    if (!RasterFault(raster).empty()) return layout;
    const double width = ExtentWidth(raster);
    const double height = ExtentHeight(raster);
    const double scale = std::max(options.mapPixels, 16) / std::max(width, height);
    layout.mapWidth = std::max(1, static_cast<int>(std::lround(width * scale)));
    layout.mapHeight = std::max(1, static_cast<int>(std::lround(height * scale)));
    layout.mapLeft = kMarginLeft;
    layout.mapTop = kMarginTop;
    layout.width = kMarginLeft + layout.mapWidth + kLegendWidth;
    const std::size_t classes = options.classes ? ClassValues(raster).size() : 0;
    layout.height = kMarginTop + std::max(layout.mapHeight, LegendHeight(options, classes)) + kMarginBottom;
    return layout;
}

PlotOutcome PlotMap(const MapRaster& raster, const MapOptions& options, const std::string& path) {
    PlotOutcome outcome;
    if (const std::string fault = RasterFault(raster); !fault.empty()) {
        outcome.cause = fault;
        return outcome;
    }
    const CellColours colours(raster, options);
    if (colours.classes().size() > kMostClasses) {
        outcome.cause =
            "it holds more than " + std::to_string(kMostClasses) +
            " class values, more than one picture tells apart (draw it as scores, without --classes)";
        return outcome;
    }
    const MapLayout layout = LayoutMap(raster, options);
    Canvas canvas;
    if (!canvas.Open(path, layout.width, layout.height, outcome.cause)) return outcome;
    cairo_t* cr = canvas.context();
    PaintBackground(cr, layout);
    cairo_surface_t* image = RasterImage(raster, colours, layout);
    PaintRaster(cr, image, layout);
    cairo_surface_destroy(image);
    const MapToPixels to = Projection(raster, layout);
    DrawFrame(cr, raster, to);
    DrawDeposits(cr, options, to);
    DrawLegend(cr, colours, options, to);
    DrawNorthArrow(cr, layout);
    SetColour(cr, kBlack);
    DrawText(cr, layout.mapLeft + layout.mapWidth / 2.0, 14, options.title, 16, Align::Middle, Align::Start,
             true);
    if (!canvas.Save(outcome.cause)) return outcome;
    outcome.ok = true;
    outcome.width = layout.width;
    outcome.height = layout.height;
    return outcome;
}

}  // namespace quarnel::plot
