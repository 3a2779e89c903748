#include <algorithm>
#include <cmath>

#include "core/evaluate/score_groups.h"
#include "quarnel/evaluate.h"

namespace quarnel::evaluate {

namespace {

// Calls visit(point) for each group, highest first.
template <typename Visit>
void WalkPredictionArea(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                        const Totals& totals, Visit&& visit) {
    std::int64_t cellsAbove = 0;
    std::int64_t captured = 0;
    ForEachGroup(ranked, deposits, [&](const ScoreGroup& group) {
        cellsAbove += group.cells;
        captured += group.deposits;
        visit(PredictionAreaPoint{group.score,
                                  static_cast<double>(captured) / static_cast<double>(totals.deposits),
                                  static_cast<double>(cellsAbove) / static_cast<double>(totals.cells)});
    });
}

// How far the prediction rate stands above 1 - area: below 0 before the crossing.
double Excess(const PredictionAreaPoint& point) {
    return point.predictionRate + point.areaShare - 1;
}

PredictionAreaPoint Between(const PredictionAreaPoint& a, const PredictionAreaPoint& b, double w) {
    return {a.threshold + w * (b.threshold - a.threshold),
            a.predictionRate + w * (b.predictionRate - a.predictionRate),
            a.areaShare + w * (b.areaShare - a.areaShare)};
}

double LargerMove(const PredictionAreaPoint& a, const PredictionAreaPoint& b) {
    return std::max(std::abs(b.predictionRate - a.predictionRate), std::abs(b.areaShare - a.areaShare));
}

}  // namespace

PredictionAreaResult PredictionArea(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                                    double curveStep) {
    PredictionAreaResult result;
    const Totals totals = CountTotals(ranked, deposits);
    if (totals.cells == 0 || totals.deposits == 0) return result;
    result.formed = true;
    PointThinner thinner(curveStep, result.points, LargerMove);
    bool crossed = false;
    PredictionAreaPoint before;
    WalkPredictionArea(ranked, deposits, totals, [&](const PredictionAreaPoint& point) {
        if (!crossed && Excess(point) >= 0) {
            crossed = true;
            const bool first = result.points.empty();
            result.crossing =
                first ? point : Between(before, point, -Excess(before) / (Excess(point) - Excess(before)));
        }
        thinner.Add(point);
        before = point;
    });
    thinner.Finish();
    return result;
}

void ForEachPredictionAreaPoint(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                                const std::function<void(const PredictionAreaPoint&)>& visit) {
    const Totals totals = CountTotals(ranked, deposits);
    if (totals.cells == 0 || totals.deposits == 0) return;
    WalkPredictionArea(ranked, deposits, totals, visit);
}

}  // namespace quarnel::evaluate
