#include <algorithm>
#include <map>

#include "quarnel/evaluate.h"

namespace quarnel::evaluate {
namespace {

// Each deposit's group numbered in order of first appearance (so that deposits in groups of
// their own split as HoldoutSplit splits them), and the number of groups.
std::vector<std::int64_t> GroupPlaces(std::span<const std::int64_t> group, std::int64_t& groups) {
    std::map<std::int64_t, std::int64_t> place;
    std::vector<std::int64_t> places;
    places.reserve(group.size());
    for (const std::int64_t name : group)
        places.push_back(place.emplace(name, std::int64_t(place.size())).first->second);
    groups = std::int64_t(place.size());
    return places;
}

}  // namespace

DepositSplit HoldoutSplitByGroup(std::span<const std::int64_t> group, double fraction, std::uint64_t seed) {
    std::int64_t groups = 0;
    const std::vector<std::int64_t> places = GroupPlaces(group, groups);
    const DepositSplit byGroup = HoldoutSplit(groups, fraction, seed);
    DepositSplit split;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const bool kept = std::binary_search(byGroup.heldOut.begin(), byGroup.heldOut.end(), places[i]);
        (kept ? split.heldOut : split.training).push_back(std::int64_t(i));
    }
    return split;
}

std::vector<int> FoldSplitByGroup(std::span<const std::int64_t> group, int folds, std::uint64_t seed) {
    std::int64_t groups = 0;
    const std::vector<std::int64_t> places = GroupPlaces(group, groups);
    const std::vector<int> foldOfGroup = FoldSplit(groups, folds, seed);
    std::vector<int> fold;
    fold.reserve(places.size());
    for (const std::int64_t place : places) fold.push_back(foldOfGroup[std::size_t(place)]);
    return fold;
}

}  // namespace quarnel::evaluate
