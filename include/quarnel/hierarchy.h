#pragma once
// Hierarchy analysis over values held in memory: judgement matrices built from importances,
// their geometric-mean weights, largest eigenvalues and consistency ratios, the total weight of
// every element, and the scores they give a grid cell or a table row. Importances are taken as
// they come (callers refuse zero and non-finite ones first); a matrix whose weights are not
// numbers fails its consistency test. Weights and scores are float32, each rounding point fixed,
// so results are the same bits on every host.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quarnel::hierarchy {

inline constexpr int kLevelCount = 4;  // geology, geophysics, geochemistry, remote sensing
inline constexpr int kMaxOrder = 10;   // elements per level, and the largest matrix order

// A judgement matrix of order 0 to 10, in the first rows and columns of a 10 x 10 array.
using Matrix = float[kMaxOrder][kMaxOrder];

// The random consistency index of a matrix order; orders 0 to 2 have none and give 0.
float RandomIndex(int order);

// a[i][j] = v[i] / v[j] for i, j below order, each quotient formed in double and stored as float.
void BuildJudgementMatrix(const float* importance, int order, Matrix& matrix);

// Geometric-mean weights (summing to 1) of the first order rows and the largest eigenvalue
// estimate; the eigenvalue is not a number for order 0.
void PrincipalVector(const Matrix& matrix, float* weights, float* lambdaMax, int order);

// CI / RandomIndex(order) with CI = (lambda - order) / (order - 1); 0 for orders 0 to 2 and not a
// number when lambdaMax is not one (except for order 0).
float ConsistencyRatio(float lambdaMax, int order);

// What the analysis is given: per level its presence, importance and elements' importances.
struct Importances {
    std::array<bool, kLevelCount> present{};
    std::array<float, kLevelCount> level{};
    std::array<int, kLevelCount> elementCount{};
    std::array<std::array<float, kMaxOrder>, kLevelCount> element{};
};

// One judgement matrix: the main one (level -1, one row per present level) or a level's.
struct MatrixResult {
    int level = -1;
    int order = 0;
    std::array<std::array<float, kMaxOrder>, kMaxOrder> entries{};
    std::array<float, kMaxOrder> weights{};
    float lambdaMax = 0.0f;
    float consistencyRatio = 0.0f;  // CR of this matrix alone
    // Level matrices: the combined value of the levels so far (the main-weighted CR sum, 0 below
    // 1e-11), which is what their test looks at; the main matrix is tested on its own CR.
    double combinedConsistency = 0.0;
    bool consistent = false;
};

// Total weight in percent of element i of level k (present levels only).
using TotalWeightTable = std::array<std::array<float, kMaxOrder>, kLevelCount>;

// The main matrix, then the present levels' matrices in level order, up to and including the
// first that fails its test (none after it is formed; the failing level's total weights are).
struct HierarchyWeights {
    std::vector<MatrixResult> matrices;
    bool consistent = false;           // every matrix passed
    double combinedConsistency = 0.0;  // of the last level matrix formed
    TotalWeightTable totalWeights{};
};

// Consistency holds while the main CR is below 0.1 and the combined value stays at most 0.1.
HierarchyWeights ComputeHierarchyWeights(const Importances& importances);

// A grid cell: blank when any element's value is the blank value, else the sum of value times
// weight in element order, stored as float after each addition.
float PredictCell(std::span<const float> values, std::span<const float> weights, float blankValue);

// A table row's score: the sum of value times weight in element order, stored as float after
// each addition; every value counts.
float ScoreRow(std::span<const float> values, std::span<const float> weights);

// Ranks scores in place, highest first: order receives the rows' indices. A selection sort in
// which a later row takes over only with a strictly greater score and the best is exchanged into
// place, which fixes the order of equal scores. Both spans have one entry per row.
void RankScores(std::span<float> scores, std::span<std::int32_t> order);

}  // namespace quarnel::hierarchy
