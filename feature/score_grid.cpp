#include <array>

#include "feature/code_value.h"
#include "feature/evidence_grids.h"
#include "feature/feature_status.h"
#include "feature/mine_feater.h"
#include "feature/model_units.h"
#include "grid/kvsgda.h"
#include "grid/text_sink.h"

namespace quarnel {

namespace {

// Sum of weight times code over the variables, in variable order; the blank value when any
// value is blank. Blankness is a flag of its own, so a partial sum that happens to equal the
// blank value (every cell, when the blank value is 0) does not blank the cell. The sum of a
// blank cell is thrown away, so its terms are added without a branch.
float CellScore(const FeatureParams& params, const float* w, const float* values, float blankValue) {
    bool blank = false;
    float score = 0.0f;
    for (int i = 0; i < params.varCount; ++i) {
        blank = blank || values[i] == blankValue;
        score += w[i] * CodeValue(values[i], params.vars[i].lower, params.vars[i].upper);
    }
    return blank ? blankValue : score;
}

}  // namespace

int CMine_Feater::ScoreGrid(FeatureParams params, const float* w, TextSink& report) {
    EvidenceGrids grids;
    int status = grids.Open(params);
    if (status != kFeatureOk) return status;
    const GridHeader& header = grids.Header();
    KvsgdaWriter grid;
    if (!grid.Open(params.scoreGridPath, KvsgdaLayout::feature)) return kFeatureFileUnavailable;
    grid.WriteHeader(grids.FileHeader());
    const bool withUnits = params.hasModelUnits == 1;
    ModelUnitList units;
    if (withUnits) {
        status = LoadModelUnits(params.modelUnitPath, units);
        if (status != kFeatureOk) return status;
        report.Put("\t模型单元回判结果：\n");
        report.Put("  北向单元号  东向单元号  矿规模    预测值\n");
    }
    ModelUnitCursor cursor(units);
    std::array<float, kMaxFeatureVars> x;
    for (int row = 0; row < header.rows; ++row) {
        for (int col = 0; col < header.cols; ++col) {
            status = grids.ReadCell(x.data());
            if (status != kFeatureOk) return status;
            const float score = CellScore(params, w, x.data(), header.blankValue);
            grid.Put(score);
            if (withUnits && cursor.Match(row, col)) {
                report.Print("%10d%12d%8d%12.2f\n", row, col, cursor.MatchedSize(), score);
            }
        }
    }
    return grid.Close() ? kFeatureOk : kFeatureFileUnavailable;
}

}  // namespace quarnel
