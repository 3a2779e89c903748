#pragma once
// Judgement matrices and their consistency. A matrix is built from the importances v of its
// rows as a[i][j] = v[i] / v[j], so it is consistent up to rounding; the consistency ratio of
// order m is CI / RandomIndex(m) with CI = (lambda - m) / (m - 1), and 0 for orders 0 to 2.
#include "hierarchy/mine_decompos.h"

namespace quarnel {

// The random consistency index of a matrix order; orders 0 to 2 have none and give 0.
float RandomIndex(int order);

// a[i][j] = v[i] / v[j] for i, j below order, each quotient formed in double and stored as float.
void BuildJudgementMatrix(const float* importance, int order, JudgementMatrix& matrix);

// The consistency ratio of a matrix of this order with maximum eigenvalue lambdaMax; not a number
// when lambdaMax is not a number (except for order 0, whose eigenvalue never is one).
float ConsistencyRatio(float lambdaMax, int order);

}  // namespace quarnel
