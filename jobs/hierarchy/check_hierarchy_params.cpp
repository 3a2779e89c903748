#include "jobs/hierarchy/check_hierarchy_params.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/level_texts.h"

namespace quarnel {

namespace {

// Importances are compared by their ratios, so negative ones are accepted: all of one sign give
// positive ratios; mixed signs give weights that are not numbers, which the consistency test
// refuses. Zero and non-finite ones would put infinities or NaN into every ratio.
bool UsableImportance(float v) {
    return std::isfinite(v) && v != 0.0f;
}

std::string ImportanceText(float v) {
    char text[40];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
}

// The first importance of the level that is not usable, named; "" when all are usable.
std::string UnusableImportance(const HierarchyParams& params, int level) {
    const std::string name = LevelName(level);
    if (!UsableImportance(params.levelImportance[level]))
        return "the " + name + " level's importance is " + ImportanceText(params.levelImportance[level]);
    for (int i = 0; i < params.elementCount[level]; ++i) {
        const float v = params.elementImportance[level][i];
        if (!UsableImportance(v)) {
            return "the importance of " + name + " element " + std::to_string(i + 1) + " (" +
                   params.elements[level][i].name + ") is " + ImportanceText(v);
        }
    }
    return "";
}

int GridCount(const HierarchyParams& params) {
    int count = 0;
    for (int level = 0; level < kLevelCount; ++level) count += params.ElementsInUse(level);
    return count;
}

}  // namespace

int CheckHierarchyParams(const HierarchyParams& params, std::string* cause) {
    using namespace hierarchy_status;
    for (int level = 0; level < kLevelCount; ++level) {
        if (!params.LevelPresent(level)) continue;
        if (std::string unusable = UnusableImportance(params, level); !unusable.empty()) {
            if (cause != nullptr) *cause = std::move(unusable);
            return kBadImportance;
        }
    }
    if (params.target == kPredictRegularGrid && GridCount(params) == 0) {
        if (cause != nullptr) *cause = "target 1 names no element grid";
        return kMalformedParameterFile;
    }
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
