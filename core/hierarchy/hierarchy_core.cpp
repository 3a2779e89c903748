// The judgement matrices, their weights and consistency, and the scores built on them.
#include <quarnel/hierarchy.h>

#include <cmath>
#include <limits>
#include <utility>

namespace quarnel::hierarchy {

namespace {

constexpr double kConsistencyThreshold = 0.1;
constexpr double kTotalWeightScale = 100.0;
constexpr double kRatioFloor = 1e-11;

MatrixResult FormMatrix(int level, const float* importance, int order) {
    MatrixResult result;
    result.level = level;
    result.order = order;
    Matrix matrix;
    BuildJudgementMatrix(importance, order, matrix);
    PrincipalVector(matrix, result.weights.data(), &result.lambdaMax, order);
    for (int i = 0; i < order; ++i) {
        for (int j = 0; j < order; ++j) result.entries[i][j] = matrix[i][j];
    }
    result.consistencyRatio = ConsistencyRatio(result.lambdaMax, order);
    return result;
}

MatrixResult FormMainMatrix(const Importances& importances) {
    float present[kLevelCount];
    int n = 0;
    for (int level = 0; level < kLevelCount; ++level) {
        if (importances.present[level]) present[n++] = importances.level[level];
    }
    MatrixResult main = FormMatrix(-1, present, n);
    main.consistent = main.consistencyRatio < kConsistencyThreshold;
    return main;
}

}  // namespace

float RandomIndex(int order) {
    static constexpr float kIndex[kMaxOrder + 1] = {0,     0,     0,     0.58f, 0.90f, 1.12f,
                                                    1.24f, 1.32f, 1.41f, 1.45f, 1.47f};
    return kIndex[order];
}

void BuildJudgementMatrix(const float* importance, int order, Matrix& matrix) {
    for (int i = 0; i < order; ++i) {
        for (int j = 0; j < order; ++j) {
            matrix[i][j] = static_cast<float>(static_cast<double>(importance[i]) / importance[j]);
        }
    }
}

// Geometric-mean method: no iteration and no tolerance. Row products, the weight sum and the
// eigenvalue sums are formed in double; weights and the eigenvalue are stored as float.
void PrincipalVector(const Matrix& matrix, float* weights, float* lambdaMax, int order) {
    if (order == 0) {
        // An empty matrix has no eigenvalue; say so the same way on every machine.
        *lambdaMax = std::numeric_limits<float>::quiet_NaN();
        return;
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

// The combined value after each level is the weighted-CR sum over the levels so far, each
// level's ratio weighted by its main-level weight: a weighted mean of the levels' ratios, so
// rounding noise of consistent matrices cannot push it over the threshold. A value that is not
// a number (a matrix without usable weights) fails like one above the threshold.
HierarchyWeights ComputeHierarchyWeights(const Importances& importances) {
    HierarchyWeights result;
    const MatrixResult& main = result.matrices.emplace_back(FormMainMatrix(importances));
    if (!main.consistent) return result;
    const std::array<float, kMaxOrder> topWeight = main.weights;

    float weightedRatioSum = 0.0f;
    int r = 0;
    for (int level = 0; level < kLevelCount; ++level) {
        if (!importances.present[level]) continue;
        const int m = importances.elementCount[level];
        MatrixResult& matrix =
            result.matrices.emplace_back(FormMatrix(level, importances.element[level].data(), m));
        for (int j = 0; j < m; ++j) {
            result.totalWeights[level][j] =
                static_cast<float>(static_cast<double>(matrix.weights[j]) * topWeight[r] * kTotalWeightScale);
        }
        weightedRatioSum = static_cast<float>(weightedRatioSum +
                                              static_cast<double>(topWeight[r]) * matrix.consistencyRatio);
        matrix.combinedConsistency = weightedRatioSum <= kRatioFloor ? 0.0 : weightedRatioSum;
        matrix.consistent = matrix.combinedConsistency <= kConsistencyThreshold;
        result.combinedConsistency = matrix.combinedConsistency;
        if (!matrix.consistent) return result;
        ++r;
    }
    result.consistent = true;
    return result;
}

float PredictCell(std::span<const float> values, std::span<const float> weights, float blankValue) {
    float sum = 0.0f;
    bool blank = false;
    for (std::size_t g = 0; g < values.size(); ++g) {
        if (values[g] == blankValue) {
            blank = true;
        } else if (!blank) {
            sum = static_cast<float>(sum + static_cast<double>(values[g]) * weights[g]);
        }
    }
    return blank ? blankValue : sum;
}

float ScoreRow(std::span<const float> values, std::span<const float> weights) {
    float score = 0.0f;
    for (std::size_t i = 0; i < values.size(); ++i) {
        score = static_cast<float>(score + static_cast<double>(weights[i]) * values[i]);
    }
    return score;
}

void RankScores(std::span<float> scores, std::span<std::int32_t> order) {
    const auto count = static_cast<std::int32_t>(scores.size());
    for (std::int32_t r = 0; r < count; ++r) order[std::size_t(r)] = r;
    for (std::int32_t i = 0; i + 1 < count; ++i) {
        std::int32_t best = i;
        for (std::int32_t j = i + 1; j < count; ++j) {
            if (scores[std::size_t(j)] > scores[std::size_t(best)]) best = j;
        }
        std::swap(scores[std::size_t(i)], scores[std::size_t(best)]);
        std::swap(order[std::size_t(i)], order[std::size_t(best)]);
    }
}

}  // namespace quarnel::hierarchy
