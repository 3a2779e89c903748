#include "hierarchy/judgement_matrix.h"

#include <cmath>
#include <limits>

namespace quarnel {

float RandomIndex(int order) {
    static constexpr float kIndex[kMaxElements + 1] = {0,     0,     0,     0.58f, 0.90f, 1.12f,
                                                       1.24f, 1.32f, 1.41f, 1.45f, 1.47f};
    return kIndex[order];
}

void BuildJudgementMatrix(const float* importance, int order, JudgementMatrix& matrix) {
    for (int i = 0; i < order; ++i) {
        for (int j = 0; j < order; ++j) {
            matrix[i][j] = static_cast<float>(static_cast<double>(importance[i]) / importance[j]);
        }
    }
}

float ConsistencyRatio(float lambdaMax, int order) {
    if (order == 0) return 0.0f;
    // Importance ratios beyond float range make weights and eigenvalue that are not numbers; such
    // a matrix must fail its test at every order, or its weights would go on into the scores.
    if (std::isnan(lambdaMax)) return std::numeric_limits<float>::quiet_NaN();
    if (order <= 2) return 0.0f;
    const float ci = static_cast<float>((static_cast<double>(lambdaMax) - order) / (order - 1));
    return static_cast<float>(static_cast<double>(ci) / RandomIndex(order));
}

}  // namespace quarnel
