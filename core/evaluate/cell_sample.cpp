#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "core/evaluate/score_groups.h"
#include "quarnel/evaluate.h"

namespace quarnel::evaluate {

namespace {

bool IsValid(std::span<const double> values, std::optional<double> noData, std::span<const std::uint8_t> mask,
             std::size_t cell) {
    const double value = values[cell];
    if (std::isnan(value) || (noData && value == *noData)) return false;
    return mask.empty() || mask[cell] != 0;
}

// A uniform draw in 0 .. bound - 1: values of the generator above the last whole multiple of
// bound are drawn again, so no residue is favoured.
std::uint64_t Draw(std::mt19937_64& generator, std::uint64_t bound) {
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
    std::uint64_t value = generator();
    while (value >= limit) value = generator();
    return value % bound;
}

std::vector<std::int64_t> ShuffledDeposits(std::int64_t count, std::uint64_t seed) {
    std::vector<std::int64_t> order(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::int64_t>(i);
    std::mt19937_64 generator(seed);
    for (std::size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1], order[static_cast<std::size_t>(Draw(generator, i))]);
    return order;
}

}  // namespace

RankedMap RankMap(std::vector<double> values, std::optional<double> noData,
                  std::span<const std::uint8_t> mask, std::span<const std::int64_t> depositCells) {
    if (!mask.empty() && mask.size() != values.size()) mask = {};
    RankedMap map;
    map.depositCells.assign(depositCells.begin(), depositCells.end());
    map.depositScores.reserve(depositCells.size());
    for (std::size_t deposit = 0; deposit < depositCells.size(); ++deposit) {
        const std::int64_t cell = depositCells[deposit];
        const auto place = static_cast<std::size_t>(cell);
        if (cell < 0 || place >= values.size() || !IsValid(values, noData, mask, place)) {
            map.depositScores.push_back(std::numeric_limits<double>::quiet_NaN());
            ++map.depositsOnInvalid;
        } else {
            map.depositScores.push_back(values[place]);
            map.validDeposits.push_back(static_cast<std::int64_t>(deposit));
        }
    }
    // The valid values moved to the front, in place: no second array of the map's size.
    std::size_t kept = 0;
    for (std::size_t cell = 0; cell < values.size(); ++cell)
        if (IsValid(values, noData, mask, cell)) values[kept++] = values[cell];
    values.resize(kept);
    std::sort(values.begin(), values.end(), std::greater<double>());
    map.scores = std::move(values);
    return map;
}

std::vector<DepositGroup> GroupDeposits(const RankedMap& map, std::span<const std::int64_t> chosen) {
    std::vector<DepositAt> located;
    for (const std::int64_t deposit : chosen) {
        const auto place = static_cast<std::size_t>(deposit);
        if (deposit < 0 || place >= map.depositScores.size() || std::isnan(map.depositScores[place]))
            continue;
        located.push_back({map.depositScores[place], map.depositCells[place], 1});
    }
    return GroupByScore(std::move(located));
}

CellSample SampleCells(std::span<const double> values, std::optional<double> noData,
                       std::span<const std::uint8_t> mask, std::span<const std::int64_t> depositCells) {
    if (!mask.empty() && mask.size() != values.size()) mask = {};
    CellSample sample;
    std::vector<std::int32_t> depositsAt(values.size(), 0);
    for (const std::int64_t cell : depositCells) {
        const auto place = static_cast<std::size_t>(cell);
        if (cell < 0 || place >= values.size() || !IsValid(values, noData, mask, place))
            ++sample.depositsOnInvalid;
        else
            ++depositsAt[place];
    }
    for (std::size_t cell = 0; cell < values.size(); ++cell) {
        if (!IsValid(values, noData, mask, cell)) continue;
        sample.scores.push_back(values[cell]);
        sample.deposits.push_back(depositsAt[cell]);
    }
    return sample;
}

DepositSplit HoldoutSplit(std::int64_t count, double fraction, std::uint64_t seed) {
    const std::vector<std::int64_t> order = ShuffledDeposits(count, seed);
    const double share = std::clamp(fraction, 0.0, 1.0);
    const auto kept = static_cast<std::size_t>(std::llround(share * static_cast<double>(order.size())));
    DepositSplit split;
    split.heldOut.assign(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(kept));
    split.training.assign(order.begin() + static_cast<std::ptrdiff_t>(kept), order.end());
    std::sort(split.heldOut.begin(), split.heldOut.end());
    std::sort(split.training.begin(), split.training.end());
    return split;
}

std::vector<int> FoldSplit(std::int64_t count, int folds, std::uint64_t seed) {
    const std::vector<std::int64_t> order = ShuffledDeposits(count, seed);
    std::vector<int> fold(order.size(), 0);
    if (folds < 1) return fold;
    for (std::size_t i = 0; i < order.size(); ++i) {
        fold[static_cast<std::size_t>(order[i])] = static_cast<int>(i % static_cast<std::size_t>(folds));
    }
    return fold;
}

}  // namespace quarnel::evaluate
