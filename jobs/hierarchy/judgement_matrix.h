#pragma once
// Judgement matrices and their consistency, as the job names them; the arithmetic is the core's
// (quarnel/hierarchy.h). A matrix is built from the importances v of its rows as
// a[i][j] = v[i] / v[j], so it is consistent up to rounding.
#include <quarnel/hierarchy.h>

#include "jobs/hierarchy/mine_decompos.h"

namespace quarnel {

using hierarchy::BuildJudgementMatrix;
using hierarchy::ConsistencyRatio;
using hierarchy::RandomIndex;

}  // namespace quarnel
