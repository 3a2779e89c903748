#include <algorithm>
#include <cmath>

#include "core/evaluate/score_groups.h"
#include "quarnel/evaluate.h"

namespace quarnel::evaluate {

namespace {

// The two-sided 95 % point of the standard normal distribution.
constexpr double kZ95 = 1.959963984540054;

// The deposit cells (m), the other cells (n) and the groups of a ranked map.
struct RocCounts {
    std::int64_t m = 0;
    std::int64_t n = 0;
    std::int64_t groups = 0;
};

RocCounts CountRoc(std::span<const double> ranked, std::span<const DepositGroup> deposits) {
    RocCounts counts;
    ForEachGroup(ranked, deposits, [&](const ScoreGroup& group) {
        counts.m += group.depositCells;
        counts.n += group.cells - group.depositCells;
        ++counts.groups;
    });
    return counts;
}

// DeLong's structural components, shared by the cells of a group: a deposit cell's is the share
// of the other cells it outscores, an other cell's the share of deposit cells that outscore it,
// a tie counting half in both.
struct Components {
    double depositCell = 0;
    double otherCell = 0;
};

// Calls visit(group, its components, the ROC point after it) for each group, highest first.
template <typename Visit>
void WalkRoc(std::span<const double> ranked, std::span<const DepositGroup> deposits, const RocCounts& counts,
             Visit&& visit) {
    const auto m = static_cast<double>(counts.m);
    const auto n = static_cast<double>(counts.n);
    std::int64_t depositsAbove = 0;
    std::int64_t othersAbove = 0;
    ForEachGroup(ranked, deposits, [&](const ScoreGroup& group) {
        const std::int64_t others = group.cells - group.depositCells;
        const double othersBelow =
            static_cast<double>(counts.n - othersAbove - others) + 0.5 * static_cast<double>(others);
        const double depositsOver =
            static_cast<double>(depositsAbove) + 0.5 * static_cast<double>(group.depositCells);
        const Components components{othersBelow / n, depositsOver / m};
        depositsAbove += group.depositCells;
        othersAbove += others;
        visit(group, components,
              CurvePoint{static_cast<double>(othersAbove) / n, static_cast<double>(depositsAbove) / m});
    });
}

// The sample variances of the two kinds of component, each over its count.
double DeLongVariance(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                      const RocCounts& counts, double auc) {
    double depositSpread = 0;
    double otherSpread = 0;
    WalkRoc(ranked, deposits, counts,
            [&](const ScoreGroup& group, const Components& components, const CurvePoint&) {
                const double deposit = components.depositCell - auc;
                const double other = components.otherCell - auc;
                depositSpread += static_cast<double>(group.depositCells) * deposit * deposit;
                otherSpread += static_cast<double>(group.cells - group.depositCells) * other * other;
            });
    const auto md = static_cast<double>(counts.m);
    const auto nd = static_cast<double>(counts.n);
    return depositSpread / (md - 1) / md + otherSpread / (nd - 1) / nd;
}

}  // namespace

RocResult Roc(std::span<const double> ranked, std::span<const DepositGroup> deposits, double curveStep) {
    const RocCounts counts = CountRoc(ranked, deposits);
    RocResult roc;
    roc.depositCells = counts.m;
    roc.otherCells = counts.n;
    if (counts.m == 0 || counts.n == 0) return roc;
    roc.formed = true;
    CurveThinner thinner(curveStep, roc.points);
    thinner.Add({0, 0});
    // Mann-Whitney: the mean of the deposit cells' components.
    double wins = 0;
    WalkRoc(ranked, deposits, counts,
            [&](const ScoreGroup& group, const Components& components, const CurvePoint& point) {
                wins += static_cast<double>(group.depositCells) * components.depositCell;
                thinner.Add(point);
            });
    thinner.Finish();
    const double auc = wins / static_cast<double>(counts.m);
    roc.auc = auc;
    if (counts.m >= 2 && counts.n >= 2 && counts.groups > 1) {
        const double error = std::sqrt(DeLongVariance(ranked, deposits, counts, auc));
        roc.standardError = error;
        roc.aucLow = std::max(0.0, auc - kZ95 * error);
        roc.aucHigh = std::min(1.0, auc + kZ95 * error);
    }
    return roc;
}

void ForEachRocPoint(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                     const std::function<void(const CurvePoint&)>& visit) {
    const RocCounts counts = CountRoc(ranked, deposits);
    if (counts.m == 0 || counts.n == 0) return;
    visit({0, 0});
    WalkRoc(ranked, deposits, counts,
            [&](const ScoreGroup&, const Components&, const CurvePoint& point) { visit(point); });
}

}  // namespace quarnel::evaluate
