#include <cmath>
#include <limits>

#include "hierarchy/mine_decompos.h"

namespace quarnel {

// Geometric-mean method: no iteration and no tolerance. Row products, the weight sum and the
// eigenvalue sums are formed in double; weights and the eigenvalue are stored as float.
int CMine_Decompos::PrincipalVector(const JudgementMatrix& matrix, float* weights, float* lambdaMax,
                                    int order) {
    if (order == 0) {
        // An empty matrix has no eigenvalue; say so the same way on every machine.
        *lambdaMax = std::numeric_limits<float>::quiet_NaN();
        return 0;
    }
    const double p = 1.0 / order;
    double sum = 0.0;
    for (int i = 0; i < order; ++i) {
        double product = 1.0;
        for (int j = 0; j < order; ++j) product *= matrix[i][j];
        weights[i] = static_cast<float>(std::pow(product, p));
        sum += weights[i];
    }
    for (int i = 0; i < order; ++i) weights[i] = static_cast<float>(weights[i] / sum);
    double lambdaSum = 0.0;
    for (int k = 0; k < order; ++k) {
        double row = 0.0;
        for (int j = 0; j < order; ++j) row += static_cast<double>(matrix[k][j]) * weights[j];
        lambdaSum += row / weights[k];
    }
    *lambdaMax = static_cast<float>(p * lambdaSum);
    return 0;
}

}  // namespace quarnel
