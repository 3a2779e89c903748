#include "evaluate/score_groups.h"

#include <algorithm>
#include <numeric>

namespace quarnel::evaluate {

std::vector<ScoreGroup> GroupByScore(std::span<const double> scores, std::span<const std::int32_t> deposits) {
    const std::size_t cells = std::min(scores.size(), deposits.size());
    std::vector<std::size_t> order(cells);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return scores[a] > scores[b]; });
    std::vector<ScoreGroup> groups;
    for (const std::size_t cell : order) {
        if (groups.empty() || groups.back().score != scores[cell]) groups.push_back({scores[cell], 0, 0, 0});
        ScoreGroup& group = groups.back();
        ++group.cells;
        if (deposits[cell] > 0) {
            ++group.depositCells;
            group.deposits += deposits[cell];
        }
    }
    return groups;
}

}  // namespace quarnel::evaluate
