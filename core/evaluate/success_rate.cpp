#include <algorithm>
#include <array>

#include "core/evaluate/score_groups.h"
#include "quarnel/evaluate.h"

namespace quarnel::evaluate {

namespace {

// Calls visit(point before, point after) for each group: the share of area and of deposits
// at or above its score.
template <typename Visit>
void WalkSuccessRate(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                     const Totals& totals, Visit&& visit) {
    const auto cells = static_cast<double>(totals.cells);
    const auto total = static_cast<double>(totals.deposits);
    CurvePoint before{0, 0};
    std::int64_t cellsAbove = 0;
    std::int64_t captured = 0;
    ForEachGroup(ranked, deposits, [&](const ScoreGroup& group) {
        cellsAbove += group.cells;
        captured += group.deposits;
        const CurvePoint after{static_cast<double>(cellsAbove) / cells,
                               static_cast<double>(captured) / total};
        visit(before, after);
        before = after;
    });
}

// The share of area at which the curve first reaches a share of the deposits, linear between
// two points; fed the curve's segments in turn.
class AreaForShare {
  public:
    explicit AreaForShare(double share) : share_(share) {}
    void Segment(const CurvePoint& low, const CurvePoint& high) {
        if (found_ || high.y < share_) return;
        found_ = true;
        area_ = low.y >= share_ ? low.x : low.x + (share_ - low.y) / (high.y - low.y) * (high.x - low.x);
    }
    // The area found, or that of the curve's end when it never reaches the share.
    double Area(const CurvePoint& end) const { return found_ ? area_ : end.x; }

  private:
    double share_;
    bool found_ = false;
    double area_ = 0;
};

}  // namespace

std::vector<CurvePoint> ThinCurve(std::span<const CurvePoint> points, double step) {
    std::vector<CurvePoint> kept;
    CurveThinner thinner(step, kept);
    for (const CurvePoint& point : points) thinner.Add(point);
    thinner.Finish();
    return kept;
}

SuccessRateResult SuccessRate(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                              double curveStep) {
    const Totals totals = CountTotals(ranked, deposits);
    SuccessRateResult result;
    result.cells = totals.cells;
    result.deposits = totals.deposits;
    if (totals.cells == 0 || totals.deposits == 0) return result;
    result.formed = true;
    CurveThinner thinner(curveStep, result.points);
    thinner.Add({0, 0});
    std::array<AreaForShare, 3> shares{AreaForShare(0.50), AreaForShare(0.75), AreaForShare(0.90)};
    CurvePoint end{0, 0};
    WalkSuccessRate(ranked, deposits, totals, [&](const CurvePoint& before, const CurvePoint& after) {
        result.area += (after.x - before.x) * (before.y + after.y) / 2;
        for (AreaForShare& share : shares) share.Segment(before, after);
        thinner.Add(after);
        end = after;
    });
    thinner.Finish();
    result.areaFor50 = shares[0].Area(end);
    result.areaFor75 = shares[1].Area(end);
    result.areaFor90 = shares[2].Area(end);
    return result;
}

void ForEachSuccessRatePoint(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                             const std::function<void(const CurvePoint&)>& visit) {
    const Totals totals = CountTotals(ranked, deposits);
    if (totals.cells == 0 || totals.deposits == 0) return;
    visit({0, 0});
    WalkSuccessRate(ranked, deposits, totals,
                    [&](const CurvePoint&, const CurvePoint& after) { visit(after); });
}

std::int64_t DistinctScores(std::span<const double> ranked) {
    std::int64_t groups = 0;
    ForEachGroup(ranked, {}, [&](const ScoreGroup&) { ++groups; });
    return groups;
}

std::vector<ClassRow> ClassTable(std::span<const double> ranked, std::span<const DepositGroup> deposits) {
    std::vector<ClassRow> table;
    const Totals totals = CountTotals(ranked, deposits);
    ForEachGroup(ranked, deposits, [&](const ScoreGroup& group) {
        ClassRow row;
        row.value = group.score;
        row.cells = group.cells;
        row.deposits = group.deposits;
        row.areaShare = static_cast<double>(row.cells) / static_cast<double>(totals.cells);
        if (totals.deposits > 0) {
            row.density = static_cast<double>(row.deposits) / static_cast<double>(row.cells) /
                          (static_cast<double>(totals.deposits) / static_cast<double>(totals.cells));
        }
        table.push_back(row);
    });
    std::reverse(table.begin(), table.end());
    return table;
}

Evaluation Evaluate(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                    double curveStep) {
    return {Roc(ranked, deposits, curveStep), SuccessRate(ranked, deposits, curveStep),
            PrecisionRecall(ranked, deposits, curveStep), PredictionArea(ranked, deposits, curveStep),
            ScoreProbabilities(ranked, deposits)};
}

RocResult Roc(std::span<const double> scores, std::span<const std::int32_t> deposits) {
    const RankedArrays arrays = RankArrays(scores, deposits);
    return Roc(arrays.ranked, arrays.deposits, 0);
}

SuccessRateResult SuccessRate(std::span<const double> scores, std::span<const std::int32_t> deposits) {
    const RankedArrays arrays = RankArrays(scores, deposits);
    return SuccessRate(arrays.ranked, arrays.deposits, 0);
}

Evaluation Evaluate(std::span<const double> scores, std::span<const std::int32_t> deposits) {
    const RankedArrays arrays = RankArrays(scores, deposits);
    return Evaluate(arrays.ranked, arrays.deposits, 0);
}

std::vector<ClassRow> ClassTable(std::span<const double> classes, std::span<const std::int32_t> deposits) {
    const RankedArrays arrays = RankArrays(classes, deposits);
    return ClassTable(arrays.ranked, arrays.deposits);
}

}  // namespace quarnel::evaluate
