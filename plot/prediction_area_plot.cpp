#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "plot/canvas.h"
#include "plot/plot.h"

namespace quarnel::plot {

namespace {

// The plot area inside the picture, as for the other curves.
constexpr double kLeft = 72;
constexpr double kTop = 44;
constexpr double kSide = 400;

// The thresholds' range of all series; a single threshold is widened so the axis has a length.
struct Span {
    double low = 0;
    double high = 1;
};

Span ThresholdSpan(std::span<const PredictionAreaSeries> series) {
    Span span{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    for (const PredictionAreaSeries& one : series)
        for (const evaluate::PredictionAreaPoint& point : one.points) {
            span.low = std::min(span.low, point.threshold);
            span.high = std::max(span.high, point.threshold);
        }
    if (!(span.low < span.high))
        return {std::isfinite(span.low) ? span.low - 0.5 : 0, std::isfinite(span.low) ? span.low + 0.5 : 1};
    return span;
}

double PlotX(const Span& span, double threshold) {
    return kLeft + (threshold - span.low) / (span.high - span.low) * kSide;
}

double PlotY(double y) {
    return kTop + (1 - y) * kSide;
}

void DrawAxes(cairo_t* cr, const Span& span) {
    cairo_set_line_width(cr, 1);
    for (int i = 0; i <= 5; ++i) {
        const double share = i / 5.0;
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, kLeft, PlotY(share));
        cairo_line_to(cr, kLeft + kSide, PlotY(share));
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        DrawText(cr, kLeft - 6, PlotY(share), TickLabel(share), 11, Align::End, Align::Middle);
        // The right axis reads the dashed curves as the share of area at or above the threshold.
        DrawText(cr, kLeft + kSide + 6, PlotY(share), TickLabel(1 - share), 11, Align::Start, Align::Middle);
    }
    const double step = NiceStep(span.high - span.low, 5);
    for (double x = std::ceil(span.low / step) * step; x <= span.high + step * 1e-9; x += step) {
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, PlotX(span, x), PlotY(0));
        cairo_line_to(cr, PlotX(span, x), PlotY(1));
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        DrawText(cr, PlotX(span, x), PlotY(0) + 6, TickLabel(std::abs(x) < step * 1e-9 ? 0 : x, 6), 11,
                 Align::Middle, Align::Start);
    }
    cairo_rectangle(cr, kLeft, PlotY(1), kSide, kSide);
    cairo_stroke(cr);
    DrawText(cr, kLeft + kSide / 2, PlotY(0) + 26, "threshold (map value)", 12, Align::Middle, Align::Start);
    const auto vertical = [&](double x, const char* text) {
        cairo_save(cr);
        cairo_translate(cr, x, PlotY(0.5));
        cairo_rotate(cr, -1.5707963267948966);
        DrawText(cr, 0, 0, text, 12, Align::Middle, Align::End);
        cairo_restore(cr);
    };
    vertical(kLeft - 40, "prediction rate (solid)");
    vertical(kLeft + kSide + 52, "share of area at or above (dashed)");
}

std::string LegendLabel(const PredictionAreaSeries& one) {
    char text[160];
    std::snprintf(text, sizeof text, " (crossing at %.4g: %.1f %% of deposits, %.1f %% of area)",
                  one.crossing.threshold, 100 * one.crossing.predictionRate, 100 * one.crossing.areaShare);
    return one.name + text;
}

void DrawSeries(cairo_t* cr, const Span& span, std::span<const PredictionAreaSeries> series) {
    const double dash = 5;
    for (std::size_t i = 0; i < series.size(); ++i) {
        SetColour(cr, ClassColour(i, series.size()));
        cairo_set_line_width(cr, 2);
        for (const evaluate::PredictionAreaPoint& point : series[i].points)
            cairo_line_to(cr, PlotX(span, point.threshold), PlotY(point.predictionRate));
        cairo_stroke(cr);
        cairo_set_dash(cr, &dash, 1, 0);
        for (const evaluate::PredictionAreaPoint& point : series[i].points)
            cairo_line_to(cr, PlotX(span, point.threshold), PlotY(1 - point.areaShare));
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        const evaluate::PredictionAreaPoint& at = series[i].crossing;
        cairo_arc(cr, PlotX(span, at.threshold), PlotY(at.predictionRate), 4.5, 0, 2 * 3.141592653589793);
        cairo_fill(cr);
        const double y = PlotY(0) + 50 + 20 * static_cast<double>(i);
        cairo_move_to(cr, 24, y);
        cairo_line_to(cr, 48, y);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        DrawText(cr, 56, y, LegendLabel(series[i]), 12, Align::Start, Align::Middle);
    }
}

}  // namespace

PlotOutcome PlotPredictionArea(std::span<const PredictionAreaSeries> series, const std::string& title,
                               const std::string& path) {
    PlotOutcome outcome;
    if (series.size() > kMostClasses) {
        outcome.cause = std::to_string(series.size()) + " curves, more than the " +
                        std::to_string(kMostClasses) + " one picture tells apart";
        return outcome;
    }
    const int width = kCurvePlotWidth + 80;  // room for the right axis and the legend's numbers
    const int height = kCurvePlotHeight + 20 * static_cast<int>(series.size());
    Canvas canvas;
    if (!canvas.Open(path, width, height, outcome.cause)) return outcome;
    cairo_t* cr = canvas.context();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    const Span span = ThresholdSpan(series);
    DrawAxes(cr, span);
    DrawSeries(cr, span, series);
    cairo_set_source_rgb(cr, 0, 0, 0);
    DrawText(cr, kLeft + kSide / 2, 14, title, 16, Align::Middle, Align::Start, true);
    if (!canvas.Save(outcome.cause)) return outcome;
    outcome.ok = true;
    outcome.width = width;
    outcome.height = height;
    return outcome;
}

}  // namespace quarnel::plot
