#include "core/evaluate/score_groups.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace quarnel::evaluate {

std::vector<DepositGroup> GroupByScore(std::vector<DepositAt> deposits) {
    // A cell has one score, so after this sort its deposits lie together.
    std::sort(deposits.begin(), deposits.end(), [](const DepositAt& a, const DepositAt& b) {
        return a.score > b.score || (a.score == b.score && a.cell < b.cell);
    });
    std::vector<DepositGroup> groups;
    for (std::size_t i = 0; i < deposits.size(); ++i) {
        const DepositAt& at = deposits[i];
        if (groups.empty() || !(groups.back().score == at.score)) groups.push_back({at.score, 0, 0});
        if (i == 0 || deposits[i - 1].cell != at.cell) ++groups.back().cells;
        groups.back().deposits += at.count;
    }
    return groups;
}

void CurveThinner::Add(const CurvePoint& point) {
    lastKept_ = kept_.empty() || point.x - kept_.back().x >= step_ || point.y - kept_.back().y >= step_;
    if (lastKept_) kept_.push_back(point);
    last_ = point;
}

void CurveThinner::Finish() {
    if (!lastKept_) kept_.push_back(last_);
    lastKept_ = true;
}

RankedArrays RankArrays(std::span<const double> scores, std::span<const std::int32_t> deposits) {
    const std::size_t cells = std::min(scores.size(), deposits.size());
    RankedArrays arrays;
    std::vector<DepositAt> located;
    for (std::size_t i = 0; i < cells; ++i) {
        if (std::isnan(scores[i])) continue;
        arrays.ranked.push_back(scores[i]);
        if (deposits[i] > 0) located.push_back({scores[i], static_cast<std::int64_t>(i), deposits[i]});
    }
    std::sort(arrays.ranked.begin(), arrays.ranked.end(), std::greater<double>());
    arrays.deposits = GroupByScore(std::move(located));
    return arrays;
}

}  // namespace quarnel::evaluate
