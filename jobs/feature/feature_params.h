#pragma once
// Reads the feature-analysis parameter file into a FeatureParams record:
//   "QelFrmFeater" n, then n times: name lower upper gridPath,
//   then hasModelUnits modelUnitPath, then method scoreGridPath reportPath.
// Returns 0, 3000 (not opened), 3056 (no keyword, or not "QelFrmFeater": case counts) or 3057: n
// outside 1..50, method not 0 or 1, a token longer than its field, a field missing or unparsable.
#include "jobs/feature/feature_types.h"

namespace quarnel {

int ReadFeatureParams(const char* path, FeatureParams& params);

}  // namespace quarnel
