#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/evaluate/score_groups.h"
#include "quarnel/evaluate.h"

namespace quarnel::evaluate {

namespace {

// The deposit cells of a ranked map: the positives of precision and recall.
std::int64_t CountDepositCells(std::span<const double> ranked, std::span<const DepositGroup> deposits) {
    std::int64_t cells = 0;
    ForEachGroup(ranked, deposits, [&](const ScoreGroup& group) { cells += group.depositCells; });
    return cells;
}

// Calls visit(point, recall before it) for each group, highest first.
template <typename Visit>
void WalkPrecisionRecall(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                         std::int64_t depositCells, Visit&& visit) {
    const auto positives = static_cast<double>(depositCells);
    std::int64_t hits = 0;
    std::int64_t cells = 0;
    ForEachGroup(ranked, deposits, [&](const ScoreGroup& group) {
        const double before = static_cast<double>(hits) / positives;
        hits += group.depositCells;
        cells += group.cells;
        visit(PrecisionRecallPoint{group.score, static_cast<double>(hits) / positives,
                                   static_cast<double>(hits) / static_cast<double>(cells)},
              before);
    });
}

double LargerMove(const PrecisionRecallPoint& a, const PrecisionRecallPoint& b) {
    return std::max(std::abs(b.recall - a.recall), std::abs(b.precision - a.precision));
}

}  // namespace

PrecisionRecallResult PrecisionRecall(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                                      double curveStep) {
    PrecisionRecallResult result;
    result.depositCells = CountDepositCells(ranked, deposits);
    if (result.depositCells == 0) return result;
    result.formed = true;
    PointThinner thinner(curveStep, result.points, LargerMove);
    double average = 0;
    WalkPrecisionRecall(ranked, deposits, result.depositCells,
                        [&](const PrecisionRecallPoint& point, double recallBefore) {
                            average += (point.recall - recallBefore) * point.precision;
                            thinner.Add(point);
                        });
    thinner.Finish();
    result.averagePrecision = average;
    return result;
}

void ForEachPrecisionRecallPoint(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                                 const std::function<void(const PrecisionRecallPoint&)>& visit) {
    const std::int64_t depositCells = CountDepositCells(ranked, deposits);
    if (depositCells == 0) return;
    WalkPrecisionRecall(ranked, deposits, depositCells,
                        [&](const PrecisionRecallPoint& point, double) { visit(point); });
}

ProbabilityScores ScoreProbabilities(std::span<const double> ranked, std::span<const DepositGroup> deposits) {
    ProbabilityScores scores;
    if (ranked.empty()) {
        scores.note = "no valid cells";
        return scores;
    }
    if (ranked.front() > 1 || ranked.back() < 0) {
        scores.note = "the map's values lie outside 0 .. 1, so they are no probabilities";
        return scores;
    }
    double logLoss = 0;
    double brier = 0;
    ForEachGroup(ranked, deposits, [&](const ScoreGroup& group) {
        const double p = std::clamp(group.score, DBL_EPSILON, 1 - DBL_EPSILON);
        const auto hits = static_cast<double>(group.depositCells);
        const auto misses = static_cast<double>(group.cells - group.depositCells);
        logLoss -= hits * std::log(p) + misses * std::log(1 - p);
        brier += hits * (1 - group.score) * (1 - group.score) + misses * group.score * group.score;
    });
    const auto cells = static_cast<double>(ranked.size());
    scores.logLoss = logLoss / cells;
    scores.brier = brier / cells;
    return scores;
}

}  // namespace quarnel::evaluate
