#include "evaluate/score_groups.h"

#include <algorithm>
#include <cmath>

namespace quarnel::evaluate {

ScoreRanking RankScores(std::span<const double> scores) {
    struct Ranked {
        double score;
        std::size_t cell;
    };
    // Sorting the scores with their cells, not cell numbers looked up in scores: the sort then
    // reads memory in order, several times faster on millions of cells.
    std::vector<Ranked> ranked(scores.size());
    for (std::size_t cell = 0; cell < scores.size(); ++cell) ranked[cell] = {scores[cell], cell};
    // NaN orders after every number, so the ordering stays strict and weak as std::sort needs.
    std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        return a.score > b.score || (std::isnan(b.score) && !std::isnan(a.score));
    });
    ScoreRanking ranking;
    ranking.order.reserve(ranked.size());
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        if (i > 0 && !(ranked[i].score == ranked[i - 1].score)) ranking.groupEnds.push_back(i);
        ranking.order.push_back(ranked[i].cell);
    }
    if (!ranked.empty()) ranking.groupEnds.push_back(ranked.size());
    return ranking;
}

std::vector<ScoreGroup> GroupByScore(const ScoreRanking& ranking, std::span<const std::int32_t> deposits) {
    std::vector<ScoreGroup> groups;
    groups.reserve(ranking.groupEnds.size());
    std::size_t start = 0;
    for (const std::size_t end : ranking.groupEnds) {
        ScoreGroup group;
        for (std::size_t i = start; i < end; ++i) {
            const std::size_t cell = ranking.order[i];
            const std::int32_t count = cell < deposits.size() ? deposits[cell] : 0;
            ++group.cells;
            if (count > 0) {
                ++group.depositCells;
                group.deposits += count;
            }
        }
        groups.push_back(group);
        start = end;
    }
    return groups;
}

}  // namespace quarnel::evaluate
