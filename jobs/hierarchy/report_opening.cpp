#include "jobs/hierarchy/report_opening.h"

#include "jobs/hierarchy/level_texts.h"

namespace quarnel {

namespace {

const char* TargetLine(std::int32_t target) {
    switch (target) {
        case kRankAnomalies:
            return "  目的层：异常评序\n";
        case kPredictRegularGrid:
            return "  目的层：找矿预测（规则网格）\n";
        default:
            return "  目的层：找矿预测（不规则网格）\n";
    }
}

}  // namespace

void WriteReportOpening(const HierarchyParams& params, TextSink& report) {
    report.Put("\t\t层次分析程序\n");
    report.Put(TargetLine(params.target));
    report.Put("\n  主层次：\n    主层次元素  重要性\n");
    for (int level = 0; level < kLevelCount; ++level) {
        if (params.LevelPresent(level))
            report.Print(LevelText(level).importanceLine, params.levelImportance[level]);
    }
    report.Put("\n  子层次：\n");
    for (int level = 0; level < kLevelCount; ++level) {
        if (!params.LevelPresent(level)) continue;
        report.Put(LevelText(level).elementHeading);
        for (int i = 0; i < params.elementCount[level]; ++i) {
            report.Print("%15s%8.1f\n", params.elements[level][i].name, params.elementImportance[level][i]);
        }
    }
}

void WriteGridSize(std::int32_t rows, std::int32_t cols, TextSink& report) {
    report.Print("\n输入数据的行数为%ld,\t列数为%ld\n", rows, cols);
}

}  // namespace quarnel
