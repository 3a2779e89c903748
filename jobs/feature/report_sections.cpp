#include "jobs/feature/report_sections.h"

#include "jobs/feature/report_rows.h"

namespace quarnel {

void WriteFeatureReportOpening(const FeatureParams& params, TextSink& report) {
    report.Put("\n\t\t特征分析---");
    report.Put(params.method == 0 ? "矢量长度法\n" : "乘积矩阵主分量法\n");
    if (params.hasModelUnits == 0) {
        report.Put("\t\t   ***没有已知模型单元\n\n");
    } else if (params.hasModelUnits == 1) {
        report.Put("\t\t   ***有已知模型单元\n\n");
    }
    for (int i = 0; i < params.varCount; ++i) {
        const EvidenceVariable& var = params.vars[i];
        report.Print("%s %8.2f", var.name, var.lower);
        report.Print(" %8.2f %s\n", var.upper, var.gridPath);
    }
}

void WriteProductMatrix(const float* p, int n, TextSink& report) {
    report.Put("\n\t乘积矩阵：\n");
    WriteMatrix(report, p, n, "%8.2f");
}

void WriteVectorLengths(const float* lengths, int n, TextSink& report) {
    report.Put("\n\t矢量长度：\n");
    WriteValues(report, lengths, n, "%7.2f");
}

void WriteNormalisedMatrix(const float* p, int n, TextSink& report) {
    report.Put("\n\t乘积矩阵(归一化)：\n");
    WriteMatrix(report, p, n, "%6.2f");
}

void WriteFirstComponent(const float* component, int n, TextSink& report) {
    report.Put("\n\t乘积矩阵第一主分量：\n");
    WriteValues(report, component, n, "%7.2f");
}

void WriteVariableWeights(const float* w, int n, TextSink& report) {
    report.Put("\n\n\t变量权：\n");
    WriteValues(report, w, n, "%7.2f");
    report.Put("\n\n");
}

void WriteUnitHeading(TextSink& report) {
    report.Put("\t模型单元回判结果：\n");
    report.Put("  北向单元号  东向单元号  矿规模    预测值\n");
}

void WriteUnitRow(const feature::UnitJudgement& unit, TextSink& report) {
    report.Print("%10d%12d%8d%12.2f\n", unit.row, unit.col, unit.size, unit.score);
}

void WriteFeatureReportEnd(TextSink& report) {
    report.Put(" Ok\n\n");
}

}  // namespace quarnel
