#pragma once
// The cells of a map grouped by score, highest score first: every curve and statistic of the
// evaluation core is a walk over these groups, so equal scores are treated alike everywhere.
#include <cstdint>
#include <span>
#include <vector>

#include "quarnel/evaluate.h"

namespace quarnel::evaluate {

struct ScoreGroup {
    std::int64_t cells = 0;
    std::int64_t depositCells = 0;  // cells holding at least one deposit
    std::int64_t deposits = 0;
};

std::vector<ScoreGroup> GroupByScore(const ScoreRanking& ranking, std::span<const std::int32_t> deposits);

}  // namespace quarnel::evaluate
