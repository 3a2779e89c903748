#include <cstdio>

#include "plot/canvas.h"
#include "plot/plot.h"

namespace quarnel::plot {

namespace {

// The plot area inside the picture.
constexpr double kLeft = 72;
constexpr double kTop = 44;
constexpr double kSide = 400;

double PlotX(double x) {
    return kLeft + x * kSide;
}

double PlotY(double y) {
    return kTop + (1 - y) * kSide;
}

void DrawAxes(cairo_t* cr, CurveKind kind) {
    cairo_set_line_width(cr, 1);
    for (int i = 0; i <= 5; ++i) {
        const double share = i / 5.0;
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, PlotX(share), PlotY(0));
        cairo_line_to(cr, PlotX(share), PlotY(1));
        cairo_move_to(cr, PlotX(0), PlotY(share));
        cairo_line_to(cr, PlotX(1), PlotY(share));
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        DrawText(cr, PlotX(share), PlotY(0) + 6, TickLabel(share), 11, Align::Middle, Align::Start);
        DrawText(cr, PlotX(0) - 6, PlotY(share), TickLabel(share), 11, Align::End, Align::Middle);
    }
    cairo_rectangle(cr, PlotX(0), PlotY(1), kSide, kSide);
    cairo_stroke(cr);
    if (kind == CurveKind::PrecisionRecall) {
        DrawText(cr, PlotX(0.5), PlotY(0) + 26, "recall", 12, Align::Middle, Align::Start);
        cairo_save(cr);
        cairo_translate(cr, kLeft - 44, PlotY(0.5));
        cairo_rotate(cr, -1.5707963267948966);
        DrawText(cr, 0, 0, "precision", 12, Align::Middle, Align::End);
        cairo_restore(cr);
        return;
    }
    // What a map without skill gives: area captured in proportion to area.
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
    const double dash = 4;
    cairo_set_dash(cr, &dash, 1, 0);
    cairo_move_to(cr, PlotX(0), PlotY(0));
    cairo_line_to(cr, PlotX(1), PlotY(1));
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_set_source_rgb(cr, 0, 0, 0);
    const bool roc = kind == CurveKind::Roc;
    DrawText(cr, PlotX(0.5), PlotY(0) + 26, roc ? "false positive rate" : "share of area", 12, Align::Middle,
             Align::Start);
    cairo_save(cr);
    cairo_translate(cr, kLeft - 44, PlotY(0.5));
    cairo_rotate(cr, -1.5707963267948966);
    DrawText(cr, 0, 0, roc ? "true positive rate" : "share of deposits", 12, Align::Middle, Align::End);
    cairo_restore(cr);
}

std::string LegendLabel(const CurveSeries& one, CurveKind kind) {
    char area[32];
    const char* format = kind == CurveKind::Roc               ? " (AUC %.3f)"
                         : kind == CurveKind::PrecisionRecall ? " (AP %.3f)"
                                                              : " (area %.3f)";
    std::snprintf(area, sizeof area, format, one.area);
    return one.name + area;
}

void DrawSeries(cairo_t* cr, std::span<const CurveSeries> series, CurveKind kind) {
    for (std::size_t i = 0; i < series.size(); ++i) {
        SetColour(cr, ClassColour(i, series.size()));
        cairo_set_line_width(cr, 2);
        for (const evaluate::CurvePoint& point : series[i].points)
            cairo_line_to(cr, PlotX(point.x), PlotY(point.y));
        cairo_stroke(cr);
        const double y = PlotY(0) + 50 + 20 * static_cast<double>(i);
        cairo_move_to(cr, kLeft, y);
        cairo_line_to(cr, kLeft + 24, y);
        cairo_stroke(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        DrawText(cr, kLeft + 32, y, LegendLabel(series[i], kind), 12, Align::Start, Align::Middle);
    }
}

}  // namespace

PlotOutcome PlotCurves(std::span<const CurveSeries> series, CurveKind kind, const std::string& title,
                       const std::string& path) {
    PlotOutcome outcome;
    if (series.size() > kMostClasses) {
        outcome.cause = std::to_string(series.size()) + " curves, more than the " +
                        std::to_string(kMostClasses) + " one picture tells apart";
        return outcome;
    }
    // The legend sits below the plot, a row a series.
    const int height = kCurvePlotHeight + 20 * static_cast<int>(series.size());
    Canvas canvas;
    if (!canvas.Open(path, kCurvePlotWidth, height, outcome.cause)) return outcome;
    cairo_t* cr = canvas.context();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    DrawAxes(cr, kind);
    DrawSeries(cr, series, kind);
    cairo_set_source_rgb(cr, 0, 0, 0);
    DrawText(cr, PlotX(0.5), 14, title, 16, Align::Middle, Align::Start, true);
    if (!canvas.Save(outcome.cause)) return outcome;
    outcome.ok = true;
    outcome.width = kCurvePlotWidth;
    outcome.height = height;
    return outcome;
}

}  // namespace quarnel::plot
