#include <algorithm>
#include <memory>
#include <new>

#include "feature/code_value.h"
#include "feature/evidence_grids.h"
#include "feature/feature_status.h"
#include "feature/mine_feater.h"
#include "feature/model_units.h"
#include "feature/report_rows.h"
#include "grid/text_sink.h"

namespace quarnel {

namespace {

// Adds the outer product of the codes to the lower triangle of p.
void AddCodes(const FeatureParams& params, float* codes, float* p) {
    const int n = params.varCount;
    for (int i = 0; i < n; ++i) codes[i] = CodeValue(codes[i], params.vars[i].lower, params.vars[i].upper);
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k <= j; ++k) p[j * n + k] += codes[k] * codes[j];
    }
}

void MirrorLowerTriangle(float* p, int n) {
    for (int j = 1; j < n; ++j) {
        for (int k = 0; k < j; ++k) p[k * n + j] = p[j * n + k];
    }
}

}  // namespace

int CMine_Feater::BuildProductMatrix(FeatureParams params, float* p, TextSink& report) {
    const int n = params.varCount;
    const std::unique_ptr<float[]> x(new (std::nothrow) float[n]);
    if (!x) return kFeatureNoMemory;
    EvidenceGrids grids;
    int status = grids.Open(params);
    if (status != kFeatureOk) return status;
    std::fill(p, p + n * n, 0.0f);
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
            if (status != kFeatureOk) return status;
            const bool used = !withUnits || cursor.Match(row, col);
            if (used && !IsBlankCell(x.get(), n, header.blankValue)) AddCodes(params, x.get(), p);
        }
    }
    MirrorLowerTriangle(p, n);
    report.Put("\n\t乘积矩阵：\n");
    WriteMatrix(report, p, n, "%8.2f");
    return kFeatureOk;
}

}  // namespace quarnel
