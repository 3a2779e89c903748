// Judgement matrices, principal vectors, eigenvalues and consistency ratios against hand-worked
// and published values.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "formats/grid/text_sink.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/judgement_matrix.h"
#include "jobs/hierarchy/mine_decompos.h"

namespace quarnel {
namespace {

struct Principal {
    float weights[kMaxElements] = {};
    float lambda = 0.0f;
};

Principal PrincipalOf(const JudgementMatrix& matrix, int order) {
    CMine_Decompos job;
    Principal result;
    EXPECT_EQ(job.PrincipalVector(matrix, result.weights, &result.lambda, order), 0);
    return result;
}

Principal PrincipalOfImportances(std::initializer_list<float> importances) {
    JudgementMatrix matrix;
    BuildJudgementMatrix(importances.begin(), static_cast<int>(importances.size()), matrix);
    return PrincipalOf(matrix, static_cast<int>(importances.size()));
}

TEST(JudgementMatrix, RowsAreImportanceRatios) {
    const float importances[] = {4, 2, 1};
    JudgementMatrix matrix;
    BuildJudgementMatrix(importances, 3, matrix);
    const float expected[3][3] = {{1, 2, 4}, {0.5f, 1, 2}, {0.25f, 0.5f, 1}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_EQ(matrix[i][j], expected[i][j]) << i << "," << j;
    }
}

TEST(PrincipalVector, WorkedExampleMainLevel) {
    const Principal p = PrincipalOfImportances({4, 2, 1});
    EXPECT_NEAR(p.weights[0], 4.0 / 7, 1e-7);
    EXPECT_NEAR(p.weights[1], 2.0 / 7, 1e-7);
    EXPECT_NEAR(p.weights[2], 1.0 / 7, 1e-7);
    EXPECT_EQ(p.lambda, 3.0f);
    EXPECT_EQ(ConsistencyRatio(p.lambda, 3), 0.0f);
}

TEST(PrincipalVector, WorkedExampleGeologyLevel) {
    const Principal p = PrincipalOfImportances({3, 1});
    EXPECT_EQ(p.weights[0], 0.75f);
    EXPECT_EQ(p.weights[1], 0.25f);
    EXPECT_EQ(p.lambda, 2.0f);
}

// The textbook three-criteria matrix (1 3 5 / 1/3 1 3 / 1/5 1/3 1): geometric-mean weights
// 0.637, 0.258, 0.105, lambda 3.039, CI 0.019, CR 0.033.
TEST(PrincipalVector, InconsistentMatrixMatchesPublishedValues) {
    JudgementMatrix matrix = {{1, 3, 5}, {1 / 3.0f, 1, 3}, {1 / 5.0f, 1 / 3.0f, 1}};
    const Principal p = PrincipalOf(matrix, 3);
    EXPECT_NEAR(p.weights[0], 0.63699, 5e-5);
    EXPECT_NEAR(p.weights[1], 0.25828, 5e-5);
    EXPECT_NEAR(p.weights[2], 0.10473, 5e-5);
    EXPECT_NEAR(p.lambda, 3.0385, 5e-4);
    EXPECT_NEAR(ConsistencyRatio(p.lambda, 3), 0.0332, 5e-4);
}

TEST(PrincipalVector, EqualImportancesGiveEqualWeightsAtEveryOrder) {
    for (int m = 1; m <= kMaxElements; ++m) {
        float importances[kMaxElements];
        for (float& v : importances) v = 7.5f;
        JudgementMatrix matrix;
        BuildJudgementMatrix(importances, m, matrix);
        const Principal p = PrincipalOf(matrix, m);
        for (int i = 0; i < m; ++i) EXPECT_NEAR(p.weights[i], 1.0 / m, 1e-7) << "order " << m;
        EXPECT_NEAR(p.lambda, m, 1e-5) << "order " << m;
        EXPECT_NEAR(ConsistencyRatio(p.lambda, m), 0.0, 1e-5) << "order " << m;
    }
}

TEST(PrincipalVector, OrderOneHasWeightOneAndEigenvalueOne) {
    const Principal p = PrincipalOfImportances({9});
    EXPECT_EQ(p.weights[0], 1.0f);
    EXPECT_EQ(p.lambda, 1.0f);
}

TEST(PrincipalVector, EmptyMatrixHasNoEigenvalue) {
    JudgementMatrix matrix = {};
    const Principal p = PrincipalOf(matrix, 0);
    EXPECT_TRUE(std::isnan(p.lambda));
    EXPECT_FALSE(std::signbit(p.lambda)) << "printed as nan, never -nan";
    EXPECT_EQ(ConsistencyRatio(p.lambda, 0), 0.0f);
}

TEST(RandomIndex, TableByOrder) {
    const float expected[] = {0, 0, 0, 0.58f, 0.90f, 1.12f, 1.24f, 1.32f, 1.41f, 1.45f, 1.47f};
    for (int order = 0; order <= kMaxElements; ++order)
        EXPECT_EQ(RandomIndex(order), expected[order]) << order;
}

TEST(ConsistencyRatio, FromEigenvalueAndOrder) {
    // CI = (lambda - m) / (m - 1); CR = CI / RandomIndex(m).
    EXPECT_NEAR(ConsistencyRatio(3.116f, 3), 0.058 / 0.58, 1e-6);
    EXPECT_NEAR(ConsistencyRatio(10.9f, 10), 0.1 / 1.47, 1e-6);
    EXPECT_NEAR(ConsistencyRatio(4.27f, 4), 0.09 / 0.90, 1e-6);
    EXPECT_EQ(ConsistencyRatio(2.5f, 2), 0.0f);
    EXPECT_EQ(ConsistencyRatio(1.5f, 1), 0.0f);
}

TEST(ConsistencyRatio, EigenvalueThatIsNoNumberFailsAtEveryOrder) {
    const float nan = std::nanf("");
    for (int order = 1; order <= kMaxElements; ++order) {
        EXPECT_FALSE(ConsistencyRatio(nan, order) < 0.1f) << order;
        EXPECT_FALSE(std::signbit(ConsistencyRatio(nan, order))) << order;
    }
}

HierarchyParams TwoLevelParams() {
    HierarchyParams params{};
    params.levelOn[0] = params.levelOn[2] = 1;
    params.elementCount[0] = 2;
    params.elementCount[2] = 1;
    params.elementImportance[0][0] = 3;
    params.elementImportance[0][1] = 1;
    params.elementImportance[2][0] = 5;
    return params;
}

TEST(ComputeWeights, TotalWeightsAddUpToOneHundred) {
    HierarchyParams params = TwoLevelParams();
    const float present[] = {4, 2};
    TotalWeights totals = {};
    std::string report;
    TextSink sink;
    sink.OpenMemory(&report);
    CMine_Decompos job;
    ASSERT_EQ(job.ComputeWeights(params, present, totals, 2, sink), hierarchy_status::kSuccess);
    EXPECT_NEAR(totals[0][0], 100 * 0.75 * 2 / 3, 1e-4);
    EXPECT_NEAR(totals[0][1], 100 * 0.25 * 2 / 3, 1e-4);
    EXPECT_NEAR(totals[2][0], 100.0 / 3, 1e-4);
    EXPECT_NEAR(totals[0][0] + totals[0][1] + totals[2][0], 100.0, 1e-4);
}

// ComputeWeights itself takes importances as they come (the job refuses a zero importance
// before); a zero makes an infinite ratio and weights that are not numbers, and such a matrix
// must not pass as consistent even at order 2, where the ratio is otherwise 0 by definition.
TEST(ComputeWeights, MainMatrixWithoutUsableWeightsFails) {
    HierarchyParams params = TwoLevelParams();
    const float present[] = {1, 0};
    TotalWeights totals = {};
    std::string report;
    TextSink sink;
    sink.OpenMemory(&report);
    CMine_Decompos job;
    EXPECT_EQ(job.ComputeWeights(params, present, totals, 2, sink), hierarchy_status::kInconsistentMatrix);
    sink.Close();
    const std::string tail =
        "\n CR(0-1)=   nan, 目的层与主层次间的判断矩阵构造不合理，请调整主层次元素的重要性后重算";
    ASSERT_GE(report.size(), tail.size());
    EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
}

TEST(ComputeWeights, LevelMatrixWithoutUsableWeightsFails) {
    HierarchyParams params = TwoLevelParams();
    params.elementImportance[0][1] = 0;
    const float present[] = {4, 2};
    TotalWeights totals = {};
    std::string report;
    TextSink sink;
    sink.OpenMemory(&report);
    CMine_Decompos job;
    EXPECT_EQ(job.ComputeWeights(params, present, totals, 2, sink), hierarchy_status::kInconsistentMatrix);
    sink.Close();
    const std::string tail = "RI(1-2)=  nan,主层次与地质层";
    ASSERT_GE(report.size(), tail.size());
    EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
}

}  // namespace
}  // namespace quarnel
