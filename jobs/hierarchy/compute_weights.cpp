// The judgement-matrix sections of the report, printed from the core's results.
#include <quarnel/hierarchy.h>

#include <cstdio>
#include <string>

#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/level_texts.h"
#include "jobs/hierarchy/mine_decompos.h"
#include "jobs/hierarchy/report_opening.h"

namespace quarnel {

namespace {

// presentImportance holds the importances of the first n present levels, in level order.
hierarchy::Importances ImportancesOf(const HierarchyParams& params, const float* presentImportance, int n) {
    hierarchy::Importances importances;
    int r = 0;
    for (int level = 0; level < kLevelCount && r < n; ++level) {
        if (!params.LevelPresent(level)) continue;
        importances.present[level] = true;
        importances.level[level] = presentImportance[r++];
        importances.elementCount[level] = params.elementCount[level];
        for (int i = 0; i < params.elementCount[level]; ++i)
            importances.element[level][i] = params.elementImportance[level][i];
    }
    return importances;
}

void WriteMainMatrix(const HierarchyParams& params, const hierarchy::MatrixResult& main, TextSink& report) {
    report.Put("\n目的层与主层次间的判断矩阵:\n                ");
    for (int level = 0; level < kLevelCount; ++level) {
        if (params.LevelPresent(level)) report.Put(LevelText(level).columnHeading);
    }
    report.Put("  权重（主分量）\n");
    int r = 0;
    for (int level = 0; level < kLevelCount; ++level) {
        if (!params.LevelPresent(level)) continue;
        report.Put(LevelText(level).rowLabel);
        for (int j = 0; j < main.order; ++j) report.Print("%12.3f     ", main.entries[r][j]);
        report.Print("%12.3f\n", main.weights[r]);
        ++r;
    }
    report.Print("\n最大特征值为%8.3f\n", main.lambdaMax);
    report.Print("\n CR(0-1)=%6.2f", main.consistencyRatio);
    if (!main.consistent) {
        report.Put(", 目的层与主层次间的判断矩阵构造不合理，请调整主层次元素的重要性后重算");
        return;
    }
    report.Put(", 目的层与主层次间的判断矩阵构造合理\n");
}

void WriteLevelMatrix(const HierarchyParams& params, const hierarchy::MatrixResult& matrix,
                      const hierarchy::TotalWeightTable& totalWeights, TextSink& report) {
    const int level = matrix.level;
    const int m = matrix.order;
    report.Put(LevelText(level).matrixTitle);
    for (int j = 0; j < m; ++j) report.Print("%12s", params.elements[level][j].name);
    report.Put("   权重（主分量） 加权总权重\n");
    for (int i = 0; i < m; ++i) {
        report.Print("%12s", params.elements[level][i].name);
        for (int j = 0; j < m; ++j) report.Print("%12.3f", matrix.entries[i][j]);
        report.Print("%12.3f  %10.3f\n", matrix.weights[i], totalWeights[std::size_t(level)][std::size_t(i)]);
    }
    report.Print("\n最大特征值为%8.3f\n", matrix.lambdaMax);
    report.Print("RI(1-2)=%5.3f", matrix.combinedConsistency);
    report.Put(LevelText(level).levelPhrase);
    if (matrix.consistent) report.Put("间的判断矩阵构造合理\n");
}

std::string InconsistencyCause(const hierarchy::MatrixResult& matrix) {
    char text[200];
    if (matrix.level < 0) {
        std::snprintf(text, sizeof text,
                      "the main matrix (one row per present level) has CR %g, not below 0.1",
                      static_cast<double>(matrix.consistencyRatio));
    } else {
        std::snprintf(text, sizeof text,
                      "the %s matrix (%d elements, CR %g) makes the combined consistency %g, above 0.1",
                      LevelName(matrix.level), matrix.order, static_cast<double>(matrix.consistencyRatio),
                      matrix.combinedConsistency);
    }
    return text;
}

}  // namespace

const hierarchy::MatrixResult* WriteWeightSections(const HierarchyParams& params,
                                                   const hierarchy::HierarchyWeights& weights,
                                                   TextSink& report) {
    for (const hierarchy::MatrixResult& matrix : weights.matrices) {
        if (matrix.level < 0)
            WriteMainMatrix(params, matrix, report);
        else
            WriteLevelMatrix(params, matrix, weights.totalWeights, report);
        if (!matrix.consistent) return &matrix;
    }
    return nullptr;
}

int CMine_Decompos::ComputeWeights(const HierarchyParams& params, const float* presentImportance,
                                   TotalWeights& totalWeights, int n, TextSink& report) {
    run_.weights = hierarchy::ComputeHierarchyWeights(ImportancesOf(params, presentImportance, n));
    run_.weightsComputed = true;
    const hierarchy::HierarchyWeights& weights = run_.weights;
    for (const hierarchy::MatrixResult& matrix : weights.matrices) {
        for (int i = 0; matrix.level >= 0 && i < matrix.order; ++i)
            totalWeights[matrix.level][i] = weights.totalWeights[std::size_t(matrix.level)][std::size_t(i)];
    }
    if (const hierarchy::MatrixResult* failed = WriteWeightSections(params, weights, report)) {
        run_.cause = InconsistencyCause(*failed);
        return hierarchy_status::kInconsistentMatrix;
    }
    return hierarchy_status::kSuccess;
}

}  // namespace quarnel
