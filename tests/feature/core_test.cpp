// The analysis core of feature analysis: its results as data, without files or reports.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "quarnel/feature.h"

namespace quarnel::feature {
namespace {

const std::vector<CodeBounds> kTwoVariables{{1.0f, 3.0f}, {1.0f, 3.0f}};

// The product matrix of the cells given, each cell's values in variable order.
std::vector<float> ProductMatrixOf(const std::vector<std::vector<float>>& cells, float blank = 99999) {
    const int n = static_cast<int>(kTwoVariables.size());
    std::vector<float> p(static_cast<std::size_t>(n * n), -1.0f);
    ClearProductMatrix(p);
    for (std::vector<float> values : cells) {
        if (!IsBlankCell(values, blank)) AddCellCodes(kTwoVariables, values, p);
    }
    MirrorLowerTriangle(p, n);
    return p;
}

TEST(FeatureCore, ProductMatrixSumsOuterProductsOfTheCodes) {
    // Codes (+1, +1), (+1, -1), (-1, -1), (0, +1); the blank cell is left out.
    const std::vector<float> p = ProductMatrixOf({{5, 5}, {5, 0}, {0, 1}, {2, 4}, {99999, 5}});
    EXPECT_EQ(p, (std::vector<float>{3, 1, 1, 4}));
}

TEST(FeatureCore, AddingACellLeavesItsCodesInPlace) {
    std::vector<float> values{5, 2};
    std::vector<float> p(4, 0.0f);
    AddCellCodes(kTwoVariables, values, p);
    EXPECT_EQ(values, (std::vector<float>{1, 0}));
    EXPECT_EQ(p, (std::vector<float>{1, 0, 0, 0}));  // the upper triangle waits for the mirror
}

TEST(FeatureCore, VectorLengthsAndWeights) {
    const std::vector<float> p{3, 3, 3, 4};
    std::vector<float> lengths(2), weights(2, -1.0f);
    ASSERT_TRUE(VectorLengthWeights(p, 2, lengths, weights).formed);
    EXPECT_FLOAT_EQ(lengths[0], 4.2426405f);
    EXPECT_FLOAT_EQ(lengths[1], 5.0f);
    EXPECT_NEAR(weights[0], 45.9029, 1e-3);
    EXPECT_NEAR(weights[1], 54.0971, 1e-3);
}

TEST(FeatureCore, ZeroLengthsFormNoWeightsAndLeaveThemAlone) {
    const std::vector<float> p(4, 0.0f);
    std::vector<float> lengths(2), weights(2, -1.0f);
    EXPECT_FALSE(VectorLengthWeights(p, 2, lengths, weights).formed);
    EXPECT_EQ(weights, (std::vector<float>{-1, -1}));
}

TEST(FeatureCore, PrincipalComponentWithItsSweeps) {
    std::vector<float> p{3, 3, 3, 4};
    ASSERT_TRUE(NormaliseProductMatrix(p, 2));
    EXPECT_EQ(p[0], 1.0f);
    EXPECT_FLOAT_EQ(p[1], 3.0f / std::sqrt(12.0f));
    std::vector<float> vectors(4), values(2), component(2), weights(2);
    const PrincipalComponentResult result =
        PrincipalComponentWeights(p, 2, vectors, values, component, weights);
    ASSERT_TRUE(result.formed);
    EXPECT_NEAR(component[0], 0.70710678, 1e-6);
    EXPECT_NEAR(weights[0], 50.0, 1e-4);
    EXPECT_NEAR(weights[1], 50.0, 1e-4);
    // One rotation clears the pair in the first level's first pass, a second pass finds nothing;
    // the nine lower thresholds (norm / 2^k, all above the tolerance) take one pass each.
    EXPECT_EQ(result.sweeps, 11);
}

TEST(FeatureCore, DiagonalMatrixNeedsNoSweep) {
    std::vector<float> a{2, 0, 0, 5}, vectors(4), values(2);
    EXPECT_EQ(JacobiEigen(a, 2, vectors, values).sweeps, 0);
    EXPECT_EQ(values, (std::vector<float>{5, 2}));
}

TEST(FeatureCore, VariableThatNeverCodesHasNoCorrelation) {
    std::vector<float> p{3, 0, 0, 0};
    EXPECT_FALSE(NormaliseProductMatrix(p, 2));
}

TEST(FeatureCore, CellScoresAndTheirStatistics) {
    const std::vector<float> weights{40, 60};
    ScoreStatistics statistics;
    const CellScore both = ScoreCell(kTwoVariables, weights, std::vector<float>{5, 5}, 0);
    const CellScore mixed = ScoreCell(kTwoVariables, weights, std::vector<float>{5, 1}, 0);
    // A partial sum equal to the blank value (0) does not blank the cell; a blank value does.
    const CellScore cancel = ScoreCell(kTwoVariables, weights, std::vector<float>{2, 2}, 0);
    const CellScore blank = ScoreCell(kTwoVariables, weights, std::vector<float>{5, 0}, 0);
    EXPECT_EQ(both.score, 100.0f);
    EXPECT_EQ(mixed.score, -20.0f);
    EXPECT_FALSE(cancel.blank);
    EXPECT_TRUE(blank.blank);
    EXPECT_EQ(blank.score, 0.0f);
    for (const CellScore& cell : {both, mixed, cancel, blank}) statistics.Add(cell);
    EXPECT_EQ(statistics.scored, 3);
    EXPECT_EQ(statistics.blank, 1);
    EXPECT_EQ(statistics.min, -20.0f);
    EXPECT_EQ(statistics.max, 100.0f);
    EXPECT_DOUBLE_EQ(statistics.Mean(), 80.0 / 3.0);
}

}  // namespace
}  // namespace quarnel::feature
