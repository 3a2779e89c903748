#include <memory>
#include <new>
#include <span>

#include "jobs/feature/evidence_grids.h"
#include "jobs/feature/feature_status.h"
#include "jobs/feature/mine_feater.h"
#include "jobs/feature/report_sections.h"
#include "jobs/feature/model_units.h"
#include "formats/grid/text_sink.h"
#include "quarnel/feature.h"

namespace quarnel {

std::vector<feature::CodeBounds> BoundsOf(const FeatureParams& params) {
    std::vector<feature::CodeBounds> bounds(static_cast<std::size_t>(params.varCount));
    for (int i = 0; i < params.varCount; ++i) bounds[i] = {params.vars[i].lower, params.vars[i].upper};
    return bounds;
}

int CMine_Feater::BuildProductMatrix(const FeatureParams& params, float* p, TextSink& report) {
    const int n = params.varCount;
    const std::unique_ptr<float[]> x(new (std::nothrow) float[n]);
    if (!x) return kFeatureNoMemory;
    EvidenceGrids grids;
    int status = grids.Open(params);
    if (status != kFeatureOk) {
        cause_ = grids.Cause();
        return status;
    }
    const std::span<float> matrix(p, static_cast<std::size_t>(n * n));
    const std::span<float> values(x.get(), static_cast<std::size_t>(n));
    const std::vector<feature::CodeBounds> bounds = BoundsOf(params);
    feature::ClearProductMatrix(matrix);
    const bool withUnits = params.hasModelUnits == 1;
    ModelUnitList units;
    if (withUnits) {
        status = LoadModelUnits(params.modelUnitPath, units);
        if (status != kFeatureOk) return status;
    }
    ModelUnitCursor cursor(units);
    const GridHeader& header = grids.Header();
    for (int row = 0; row < header.rows; ++row) {
        for (int col = 0; col < header.cols; ++col) {
            status = grids.ReadCell(x.get());
            if (status != kFeatureOk) {
                cause_ = grids.Cause();
                return status;
            }
            const bool used = !withUnits || cursor.Match(row, col);
            if (used && !feature::IsBlankCell(values, header.blankValue))
                feature::AddCellCodes(bounds, values, matrix);
        }
    }
    feature::MirrorLowerTriangle(matrix, n);
    results_.variables = n;
    results_.productMatrix.assign(matrix.begin(), matrix.end());
    WriteProductMatrix(p, n, report);
    return kFeatureOk;
}

}  // namespace quarnel
