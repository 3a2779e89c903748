#include <array>
#include <span>

#include "jobs/feature/evidence_grids.h"
#include "jobs/feature/feature_status.h"
#include "jobs/feature/mine_feater.h"
#include "jobs/feature/report_sections.h"
#include "jobs/feature/model_units.h"
#include "formats/grid/kvsgda.h"
#include "formats/grid/text_sink.h"
#include "quarnel/feature.h"

namespace quarnel {

int CMine_Feater::ScoreGrid(const FeatureParams& params, const float* w, TextSink& report) {
    EvidenceGrids grids;
    int status = grids.Open(params);
    if (status != kFeatureOk) {
        cause_ = grids.Cause();
        return status;
    }
    const GridHeader& header = grids.Header();
    KvsgdaWriter grid;
    if (!grid.Open(params.scoreGridPath, KvsgdaLayout::feature)) {
        cause_ = std::string(params.scoreGridPath) + ": cannot be created";
        return kFeatureFileUnavailable;
    }
    grid.WriteHeader(grids.FileHeader());
    const bool withUnits = params.hasModelUnits == 1;
    ModelUnitList units;
    if (withUnits) {
        status = LoadModelUnits(params.modelUnitPath, units);
        if (status != kFeatureOk) return status;
        WriteUnitHeading(report);
    }
    ModelUnitCursor cursor(units);
    const std::vector<feature::CodeBounds> bounds = BoundsOf(params);
    const std::span<const float> weights(w, bounds.size());
    std::array<float, kMaxFeatureVars> x;
    const std::span<const float> values(x.data(), bounds.size());
    feature::ScoreStatistics& statistics = results_.scores;
    for (int row = 0; row < header.rows; ++row) {
        for (int col = 0; col < header.cols; ++col) {
            status = grids.ReadCell(x.data());
            if (status != kFeatureOk) {
                cause_ = grids.Cause();
                return status;
            }
            const feature::CellScore score = feature::ScoreCell(bounds, weights, values, header.blankValue);
            grid.Put(score.score);
            statistics.Add(score);
            if (withUnits && cursor.Match(row, col)) {
                const feature::UnitJudgement unit{row, col, cursor.MatchedSize(), score.score};
                results_.units.push_back(unit);
                WriteUnitRow(unit, report);
            }
        }
    }
    if (grid.Close()) return kFeatureOk;
    cause_ = std::string(params.scoreGridPath) + ": writing failed";
    return kFeatureFileUnavailable;
}

}  // namespace quarnel
