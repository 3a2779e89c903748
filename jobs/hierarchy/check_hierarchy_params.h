#pragma once
// What a parsed parameter record must hold before the report is created: importances that
// make judgement matrices of finite positive ratios, and for target 1 at least one grid.
#include <string>

#include "jobs/hierarchy/hierarchy_params.h"

namespace quarnel {

// 0; 3901 when the importance of a present level or of one of its elements is zero, negative or
// not finite; 3900 when target 1 names no element grid (the output grid would have no size).
// On failure, cause (when given) names the importance or the missing grid.
int CheckHierarchyParams(const HierarchyParams& params, std::string* cause = nullptr);

// The importances of the present levels, in level order and without gaps; returns their number.
int PresentImportances(const HierarchyParams& params, float out[kLevelCount]);

}  // namespace quarnel
