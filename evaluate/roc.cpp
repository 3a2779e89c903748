#include <algorithm>
#include <cmath>

#include "evaluate/score_groups.h"
#include "quarnel/evaluate.h"

namespace quarnel::evaluate {

namespace {

// The two-sided 95 % point of the standard normal distribution.
constexpr double kZ95 = 1.959963984540054;

// DeLong's structural components, shared by the cells of a group: a deposit cell's is the share
// of the other cells it outscores, an other cell's the share of deposit cells that outscore it,
// a tie counting half in both.
struct Components {
    double depositCell = 0;
    double otherCell = 0;
};

std::vector<Components> GroupComponents(const std::vector<ScoreGroup>& groups, std::int64_t m,
                                        std::int64_t n) {
    std::vector<Components> components;
    std::int64_t depositsAbove = 0;
    std::int64_t othersAbove = 0;
    for (const ScoreGroup& group : groups) {
        const std::int64_t others = group.cells - group.depositCells;
        const double othersBelow =
            static_cast<double>(n - othersAbove - others) + 0.5 * static_cast<double>(others);
        const double depositsOver =
            static_cast<double>(depositsAbove) + 0.5 * static_cast<double>(group.depositCells);
        components.push_back({othersBelow / static_cast<double>(n), depositsOver / static_cast<double>(m)});
        depositsAbove += group.depositCells;
        othersAbove += others;
    }
    return components;
}

// The sample variances of the two kinds of component, each over its count.
double DeLongVariance(const std::vector<ScoreGroup>& groups, const std::vector<Components>& components,
                      std::int64_t m, std::int64_t n, double auc) {
    double depositSpread = 0;
    double otherSpread = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const double deposit = components[g].depositCell - auc;
        const double other = components[g].otherCell - auc;
        depositSpread += static_cast<double>(groups[g].depositCells) * deposit * deposit;
        otherSpread += static_cast<double>(groups[g].cells - groups[g].depositCells) * other * other;
    }
    const auto md = static_cast<double>(m);
    const auto nd = static_cast<double>(n);
    return depositSpread / (md - 1) / md + otherSpread / (nd - 1) / nd;
}

}  // namespace

RocResult Roc(std::span<const double> scores, std::span<const std::int32_t> deposits) {
    return Roc(RankScores(scores.first(std::min(scores.size(), deposits.size()))), deposits);
}

RocResult Roc(const ScoreRanking& ranking, std::span<const std::int32_t> deposits) {
    const std::vector<ScoreGroup> groups = GroupByScore(ranking, deposits);
    RocResult roc;
    for (const ScoreGroup& group : groups) {
        roc.depositCells += group.depositCells;
        roc.otherCells += group.cells - group.depositCells;
    }
    const std::int64_t m = roc.depositCells;
    const std::int64_t n = roc.otherCells;
    if (m == 0 || n == 0) return roc;
    roc.formed = true;
    roc.points.push_back({0, 0});
    std::int64_t depositsAbove = 0;
    std::int64_t othersAbove = 0;
    for (const ScoreGroup& group : groups) {
        depositsAbove += group.depositCells;
        othersAbove += group.cells - group.depositCells;
        roc.points.push_back({static_cast<double>(othersAbove) / static_cast<double>(n),
                              static_cast<double>(depositsAbove) / static_cast<double>(m)});
    }
    // Mann-Whitney: the mean of the deposit cells' components.
    const std::vector<Components> components = GroupComponents(groups, m, n);
    double wins = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        wins += static_cast<double>(groups[g].depositCells) * components[g].depositCell;
    }
    roc.auc = wins / static_cast<double>(m);
    if (m >= 2 && n >= 2) {
        const double error = std::sqrt(DeLongVariance(groups, components, m, n, roc.auc));
        roc.standardError = error;
        roc.aucLow = std::max(0.0, roc.auc - kZ95 * error);
        roc.aucHigh = std::min(1.0, roc.auc + kZ95 * error);
    }
    return roc;
}

}  // namespace quarnel::evaluate
