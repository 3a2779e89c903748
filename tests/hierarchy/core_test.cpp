// The hierarchy core's results as data: matrices, weights, eigenvalues, consistency, total
// weights, cell and row scores and the ranking, for importances worked by hand.
#include <gtest/gtest.h>
#include <quarnel/hierarchy.h>

#include <cmath>
#include <vector>

namespace quarnel::hierarchy {
namespace {

struct LevelInput {
    float importance;
    std::vector<float> elements;
};

// Levels left out of the list are absent; each entry is {level, importance, elements}.
Importances ImportancesOf(std::initializer_list<std::pair<int, LevelInput>> levels) {
    Importances importances;
    for (const auto& [level, input] : levels) {
        importances.present[level] = true;
        importances.level[level] = input.importance;
        importances.elementCount[level] = static_cast<int>(input.elements.size());
        for (std::size_t i = 0; i < input.elements.size(); ++i)
            importances.element[level][i] = input.elements[i];
    }
    return importances;
}

TEST(HierarchyCore, TwoLevelsGiveMatricesWeightsAndTotals) {
    const HierarchyWeights result =
        ComputeHierarchyWeights(ImportancesOf({{0, {1, {3, 1}}}, {1, {1, {1, 1}}}}));
    ASSERT_EQ(result.matrices.size(), 3u);
    EXPECT_TRUE(result.consistent);
    EXPECT_EQ(result.combinedConsistency, 0.0);

    const MatrixResult& main = result.matrices[0];
    EXPECT_EQ(main.level, -1);
    EXPECT_EQ(main.order, 2);
    EXPECT_EQ(main.weights[0], 0.5f);
    EXPECT_EQ(main.weights[1], 0.5f);
    EXPECT_EQ(main.lambdaMax, 2.0f);
    EXPECT_EQ(main.consistencyRatio, 0.0f);
    EXPECT_TRUE(main.consistent);

    const MatrixResult& geology = result.matrices[1];
    EXPECT_EQ(geology.level, 0);
    EXPECT_EQ(geology.entries[0][1], 3.0f);
    EXPECT_EQ(geology.entries[1][0], static_cast<float>(1.0 / 3));
    EXPECT_EQ(geology.weights[0], 0.75f);
    EXPECT_EQ(geology.weights[1], 0.25f);
    EXPECT_EQ(geology.lambdaMax, 2.0f);
    EXPECT_EQ(result.matrices[2].level, 1);

    EXPECT_EQ(result.totalWeights[0][0], 37.5f);
    EXPECT_EQ(result.totalWeights[0][1], 12.5f);
    EXPECT_EQ(result.totalWeights[1][0], 25.0f);
    EXPECT_EQ(result.totalWeights[1][1], 25.0f);
}

TEST(HierarchyCore, ThreeLevelMainMatrixAndFourElementLevel) {
    const HierarchyWeights result =
        ComputeHierarchyWeights(ImportancesOf({{0, {4, {1, 2, 3, 4}}}, {2, {2, {1}}}, {3, {1, {5, 5, 5}}}}));
    ASSERT_EQ(result.matrices.size(), 4u);
    const MatrixResult& main = result.matrices[0];
    EXPECT_EQ(main.order, 3);
    EXPECT_NEAR(main.weights[0], 4.0 / 7, 1e-7);
    EXPECT_NEAR(main.weights[1], 2.0 / 7, 1e-7);
    EXPECT_NEAR(main.weights[2], 1.0 / 7, 1e-7);
    EXPECT_EQ(main.lambdaMax, 3.0f);
    EXPECT_EQ(main.consistencyRatio, 0.0f);

    const MatrixResult& geology = result.matrices[1];
    EXPECT_EQ(geology.order, 4);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(geology.weights[i], (i + 1) / 10.0, 1e-7) << i;
    EXPECT_NEAR(geology.lambdaMax, 4.0, 1e-5);
    EXPECT_NEAR(geology.consistencyRatio, 0.0, 1e-5);
    EXPECT_EQ(result.matrices[2].level, 2);
    EXPECT_EQ(result.matrices[3].level, 3);
    EXPECT_TRUE(result.consistent);
    // Every level's totals are its weights times the level's main weight, in percent.
    float sum = 0.0f;
    for (int level = 0; level < kLevelCount; ++level) {
        for (int i = 0; i < kMaxOrder; ++i) sum += result.totalWeights[level][i];
    }
    EXPECT_NEAR(sum, 100.0, 1e-4);
    EXPECT_NEAR(result.totalWeights[2][0], 200.0 / 7, 1e-4);
}

// Importances of both signs give weights that are not numbers: the matrix fails its test and
// nothing after it is formed.
TEST(HierarchyCore, MatrixWithoutUsableWeightsEndsTheAnalysis) {
    HierarchyWeights result = ComputeHierarchyWeights(ImportancesOf({{0, {1, {1, 1}}}, {1, {-1, {1, 1}}}}));
    ASSERT_EQ(result.matrices.size(), 1u);
    EXPECT_FALSE(result.matrices[0].consistent);
    EXPECT_TRUE(std::isnan(result.matrices[0].consistencyRatio));
    EXPECT_FALSE(result.consistent);

    result = ComputeHierarchyWeights(ImportancesOf({{0, {1, {1, -1, 1}}}, {1, {1, {1, 1}}}}));
    ASSERT_EQ(result.matrices.size(), 2u);
    EXPECT_TRUE(result.matrices[0].consistent);
    EXPECT_FALSE(result.matrices[1].consistent);
    EXPECT_TRUE(std::isnan(result.matrices[1].combinedConsistency));
    EXPECT_FALSE(result.consistent);
}

TEST(HierarchyCore, PrincipalVectorOfThePublishedMatrix) {
    const Matrix matrix = {{1, 3, 5}, {1 / 3.0f, 1, 3}, {1 / 5.0f, 1 / 3.0f, 1}};
    float weights[3];
    float lambda = 0.0f;
    PrincipalVector(matrix, weights, &lambda, 3);
    EXPECT_NEAR(weights[0], 0.63699, 5e-5);
    EXPECT_NEAR(lambda, 3.0385, 5e-4);
    EXPECT_NEAR(ConsistencyRatio(lambda, 3), 0.0332, 5e-4);
}

struct CellCase {
    std::vector<float> values;
    float expected;
};

TEST(HierarchyCore, PredictCellIsTheWeightedSumUnlessAnyValueIsBlank) {
    const std::vector<float> weights = {10, 20, 0.5f};
    const CellCase cases[] = {
        {{2, 3, 4}, 82},
        {{99999, 3, 4}, 99999},
        {{2, 3, 99999}, 99999},
        {{-1, 0, 0}, -10},
    };
    for (const CellCase& c : cases)
        EXPECT_EQ(PredictCell(c.values, weights, 99999), c.expected) << c.expected;
}

TEST(HierarchyCore, ScoreRowAddsEveryWeightedValue) {
    const std::vector<float> weights = {37.5f, 12.5f, 25, 25};
    EXPECT_EQ(ScoreRow(std::vector<float>{1, 1, 1, 1}, weights), 100.0f);
    EXPECT_EQ(ScoreRow(std::vector<float>{0.5f, 0, 0, 0}, weights), 18.75f);
    EXPECT_EQ(ScoreRow(std::vector<float>{}, std::vector<float>{}), 0.0f);
}

TEST(HierarchyCore, RankScoresHighestFirstWithTheExchangeOrderForTies) {
    std::vector<float> scores = {5, 5, 7};
    std::vector<std::int32_t> order(3);
    RankScores(scores, order);
    EXPECT_EQ(scores, (std::vector<float>{7, 5, 5}));
    EXPECT_EQ(order, (std::vector<std::int32_t>{2, 1, 0}));

    scores = {7, 5, 5};
    RankScores(scores, order);
    EXPECT_EQ(order, (std::vector<std::int32_t>{0, 1, 2}));
}

}  // namespace
}  // namespace quarnel::hierarchy
