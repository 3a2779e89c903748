#include "hierarchy/hierarchy_status.h"
#include "hierarchy/judgement_matrix.h"
#include "hierarchy/level_texts.h"
#include "hierarchy/mine_decompos.h"

namespace quarnel {

namespace {

constexpr double kConsistencyThreshold = 0.1;
constexpr double kTotalWeightScale = 100.0;
constexpr double kRatioFloor = 1e-11;

void WriteMainMatrix(const HierarchyParams& params, const JudgementMatrix& matrix, const float* topWeight,
                     int n, float lambdaMax, TextSink& report) {
    report.Put("\n目的层与主层次间的判断矩阵:\n                ");
    for (int level = 0; level < kLevelCount; ++level) {
        if (params.LevelPresent(level)) report.Put(LevelText(level).columnHeading);
    }
    report.Put("  权重（主分量）\n");
    int r = 0;
    for (int level = 0; level < kLevelCount; ++level) {
        if (!params.LevelPresent(level)) continue;
        report.Put(LevelText(level).rowLabel);
        for (int j = 0; j < n; ++j) report.Print("%12.3f     ", matrix[r][j]);
        report.Print("%12.3f\n", topWeight[r]);
        ++r;
    }
    report.Print("\n最大特征值为%8.3f\n", lambdaMax);
}

void WriteLevelMatrix(const HierarchyParams& params, int level, const JudgementMatrix& matrix,
                      const float* weights, const TotalWeights& totalWeights, float lambdaMax,
                      TextSink& report) {
    const int m = params.elementCount[level];
    report.Put(LevelText(level).matrixTitle);
    for (int j = 0; j < m; ++j) report.Print("%12s", params.elements[level][j].name);
    report.Put("   权重（主分量） 加权总权重\n");
    for (int i = 0; i < m; ++i) {
        report.Print("%12s", params.elements[level][i].name);
        for (int j = 0; j < m; ++j) report.Print("%12.3f", matrix[i][j]);
        report.Print("%12.3f  %10.3f\n", weights[i], totalWeights[level][i]);
    }
    report.Print("\n最大特征值为%8.3f\n", lambdaMax);
}

}  // namespace

// The combined consistency value after each level is the weighted-CR sum over the levels so
// far, each level's ratio weighted by its main-level weight: a weighted mean of the levels'
// ratios, so rounding noise of consistent matrices cannot push it over the threshold. A value
// that is not a number (a matrix without usable weights) fails like one above the threshold.
int CMine_Decompos::ComputeWeights(const HierarchyParams& params, const float* presentImportance,
                                   TotalWeights& totalWeights, int n, TextSink& report) {
    JudgementMatrix matrix;
    float topWeight[kLevelCount];
    float lambdaMax = 0.0f;
    BuildJudgementMatrix(presentImportance, n, matrix);
    PrincipalVector(matrix, topWeight, &lambdaMax, n);
    WriteMainMatrix(params, matrix, topWeight, n, lambdaMax, report);

    const float mainRatio = ConsistencyRatio(lambdaMax, n);
    report.Print("\n CR(0-1)=%6.2f", mainRatio);
    if (!(mainRatio < kConsistencyThreshold)) {
        report.Put(", 目的层与主层次间的判断矩阵构造不合理，请调整主层次元素的重要性后重算");
        return hierarchy_status::kInconsistentMatrix;
    }
    report.Put(", 目的层与主层次间的判断矩阵构造合理\n");

    float weightedRatioSum = 0.0f;
    int r = 0;
    for (int level = 0; level < kLevelCount; ++level) {
        if (!params.LevelPresent(level)) continue;
        const int m = params.elementCount[level];
        float weights[kMaxElements];
        BuildJudgementMatrix(params.elementImportance[level], m, matrix);
        PrincipalVector(matrix, weights, &lambdaMax, m);
        for (int j = 0; j < m; ++j) {
            totalWeights[level][j] =
                static_cast<float>(static_cast<double>(weights[j]) * topWeight[r] * kTotalWeightScale);
        }
        WriteLevelMatrix(params, level, matrix, weights, totalWeights, lambdaMax, report);

        weightedRatioSum = static_cast<float>(weightedRatioSum + static_cast<double>(topWeight[r]) *
                                                                     ConsistencyRatio(lambdaMax, m));
        const double combined = weightedRatioSum <= kRatioFloor ? 0.0 : weightedRatioSum;
        report.Print("RI(1-2)=%5.3f", combined);
        report.Put(LevelText(level).levelPhrase);
        if (!(combined <= kConsistencyThreshold)) return hierarchy_status::kInconsistentMatrix;
        report.Put("间的判断矩阵构造合理\n");
        ++r;
    }
    return hierarchy_status::kSuccess;
}

}  // namespace quarnel
