#include "hierarchy/check_hierarchy_params.h"

#include <cmath>

#include "hierarchy/hierarchy_status.h"

namespace quarnel {

namespace {

// Importances are compared by their ratios, so negative ones are accepted: all of one sign give
// positive ratios; mixed signs give weights that are not numbers, which the consistency test
// refuses. Zero and non-finite ones would put infinities or NaN into every ratio.
bool UsableImportance(float v) {
    return std::isfinite(v) && v != 0.0f;
}

bool LevelImportancesUsable(const HierarchyParams& params, int level) {
    if (!UsableImportance(params.levelImportance[level])) return false;
    for (int i = 0; i < params.elementCount[level]; ++i) {
        if (!UsableImportance(params.elementImportance[level][i])) return false;
    }
    return true;
}

int GridCount(const HierarchyParams& params) {
    int count = 0;
    for (int level = 0; level < kLevelCount; ++level) count += params.ElementsInUse(level);
    return count;
}

}  // namespace

int CheckHierarchyParams(const HierarchyParams& params) {
    using namespace hierarchy_status;
    for (int level = 0; level < kLevelCount; ++level) {
        if (params.LevelPresent(level) && !LevelImportancesUsable(params, level)) return kBadImportance;
    }
    if (params.target == kPredictRegularGrid && GridCount(params) == 0) return kMalformedParameterFile;
    return kSuccess;
}

int PresentImportances(const HierarchyParams& params, float out[kLevelCount]) {
    int n = 0;
    for (int level = 0; level < kLevelCount; ++level) {
        if (params.LevelPresent(level)) out[n++] = params.levelImportance[level];
    }
    return n;
}

}  // namespace quarnel
