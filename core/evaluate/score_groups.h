#pragma once
// The walks every curve and statistic of the evaluation core makes over a ranked map: its runs
// of equal scores, highest first, each with the deposits of a set at that score.
#include <cstdint>
#include <span>
#include <vector>

#include "quarnel/evaluate.h"

namespace quarnel::evaluate {

struct ScoreGroup {
    double score = 0;
    std::int64_t cells = 0;
    std::int64_t depositCells = 0;  // cells holding at least one deposit
    std::int64_t deposits = 0;
};

// Calls visit(const ScoreGroup&) for each run of equal scores of ranked (highest first). A
// deposit group whose score no cell holds is passed over.
template <typename Visit>
void ForEachGroup(std::span<const double> ranked, std::span<const DepositGroup> deposits, Visit&& visit) {
    std::size_t next = 0;
    for (std::size_t start = 0; start < ranked.size();) {
        ScoreGroup group{ranked[start], 1, 0, 0};
        std::size_t end = start + 1;
        while (end < ranked.size() && ranked[end] == group.score) ++end;
        group.cells = static_cast<std::int64_t>(end - start);
        while (next < deposits.size() && deposits[next].score > group.score) ++next;
        if (next < deposits.size() && deposits[next].score == group.score) {
            group.depositCells = deposits[next].cells;
            group.deposits = deposits[next].deposits;
            ++next;
        }
        visit(group);
        start = end;
    }
}

// The cells and the deposits of a ranked map.
struct Totals {
    std::int64_t cells = 0;
    std::int64_t deposits = 0;
};

inline Totals CountTotals(std::span<const double> ranked, std::span<const DepositGroup> deposits) {
    Totals totals;
    ForEachGroup(ranked, deposits, [&](const ScoreGroup& group) {
        totals.cells += group.cells;
        totals.deposits += group.deposits;
    });
    return totals;
}

// Deposits located by the score of their cell, cell an identity that counts a cell once.
struct DepositAt {
    double score = 0;
    std::int64_t cell = 0;
    std::int64_t count = 0;
};
std::vector<DepositGroup> GroupByScore(std::vector<DepositAt> deposits);

// Collects a curve's points as they come, keeping those ThinCurve keeps.
class CurveThinner {
  public:
    CurveThinner(double step, std::vector<CurvePoint>& kept) : step_(step), kept_(kept) {}
    void Add(const CurvePoint& point);
    // Keeps the last point added, whatever its step.
    void Finish();

  private:
    double step_;
    std::vector<CurvePoint>& kept_;
    CurvePoint last_;
    bool lastKept_ = true;
};

// Collects the points of a curve as they come, keeping one where moved(last kept, it) reaches
// step, and the last point whatever its step (as CurveThinner, for curves of other points).
template <typename Point, typename Moved>
class PointThinner {
  public:
    PointThinner(double step, std::vector<Point>& kept, Moved moved)
        : step_(step), kept_(kept), moved_(moved) {}
    void Add(const Point& point) {
        lastKept_ = kept_.empty() || moved_(kept_.back(), point) >= step_;
        if (lastKept_) kept_.push_back(point);
        last_ = point;
    }
    void Finish() {
        if (!lastKept_) kept_.push_back(last_);
        lastKept_ = true;
    }

  private:
    double step_;
    std::vector<Point>& kept_;
    Moved moved_;
    Point last_;
    bool lastKept_ = true;
};

// The scores of an array-held map ranked (NaN left out), and its deposits grouped.
struct RankedArrays {
    std::vector<double> ranked;
    std::vector<DepositGroup> deposits;
};
RankedArrays RankArrays(std::span<const double> scores, std::span<const std::int32_t> deposits);

}  // namespace quarnel::evaluate
