#include <algorithm>
#include <map>

#include "evaluate/score_groups.h"
#include "quarnel/evaluate.h"

namespace quarnel::evaluate {

std::vector<CurvePoint> ThinCurve(std::span<const CurvePoint> points, double step) {
    std::vector<CurvePoint> kept;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const bool moved =
            kept.empty() || points[i].x - kept.back().x >= step || points[i].y - kept.back().y >= step;
        if (moved || i + 1 == points.size()) kept.push_back(points[i]);
    }
    return kept;
}

double AreaForDepositShare(std::span<const CurvePoint> points, double depositShare) {
    for (std::size_t i = 1; i < points.size(); ++i) {
        const CurvePoint& low = points[i - 1];
        const CurvePoint& high = points[i];
        if (high.y < depositShare) continue;
        if (low.y >= depositShare) return low.x;
        return low.x + (depositShare - low.y) / (high.y - low.y) * (high.x - low.x);
    }
    return points.empty() ? 0.0 : points.back().x;
}

SuccessRateResult SuccessRate(std::span<const double> scores, std::span<const std::int32_t> deposits) {
    return SuccessRate(RankScores(scores.first(std::min(scores.size(), deposits.size()))), deposits);
}

SuccessRateResult SuccessRate(const ScoreRanking& ranking, std::span<const std::int32_t> deposits) {
    const std::vector<ScoreGroup> groups = GroupByScore(ranking, deposits);
    SuccessRateResult result;
    for (const ScoreGroup& group : groups) {
        result.cells += group.cells;
        result.deposits += group.deposits;
    }
    if (result.cells == 0 || result.deposits == 0) return result;
    result.formed = true;
    const auto cells = static_cast<double>(result.cells);
    const auto total = static_cast<double>(result.deposits);
    result.points.push_back({0, 0});
    std::int64_t cellsAbove = 0;
    std::int64_t captured = 0;
    for (const ScoreGroup& group : groups) {
        const CurvePoint before = result.points.back();
        cellsAbove += group.cells;
        captured += group.deposits;
        const CurvePoint after{static_cast<double>(cellsAbove) / cells,
                               static_cast<double>(captured) / total};
        result.area += (after.x - before.x) * (before.y + after.y) / 2;
        result.points.push_back(after);
    }
    result.areaFor50 = AreaForDepositShare(result.points, 0.50);
    result.areaFor75 = AreaForDepositShare(result.points, 0.75);
    result.areaFor90 = AreaForDepositShare(result.points, 0.90);
    return result;
}

std::vector<ClassRow> ClassTable(std::span<const double> classes, std::span<const std::int32_t> deposits) {
    std::map<double, ClassRow> rows;
    std::int64_t cells = 0;
    std::int64_t total = 0;
    for (std::size_t i = 0; i < std::min(classes.size(), deposits.size()); ++i) {
        ClassRow& row = rows[classes[i]];
        row.value = classes[i];
        ++row.cells;
        row.deposits += deposits[i];
        ++cells;
        total += deposits[i];
    }
    std::vector<ClassRow> table;
    for (auto& [value, row] : rows) {
        row.areaShare = static_cast<double>(row.cells) / static_cast<double>(cells);
        if (total > 0) {
            row.density = static_cast<double>(row.deposits) / static_cast<double>(row.cells) /
                          (static_cast<double>(total) / static_cast<double>(cells));
        }
        table.push_back(row);
    }
    return table;
}

Evaluation Evaluate(std::span<const double> scores, std::span<const std::int32_t> deposits) {
    return Evaluate(RankScores(scores.first(std::min(scores.size(), deposits.size()))), deposits);
}

Evaluation Evaluate(const ScoreRanking& ranking, std::span<const std::int32_t> deposits) {
    return {Roc(ranking, deposits), SuccessRate(ranking, deposits)};
}

}  // namespace quarnel::evaluate
