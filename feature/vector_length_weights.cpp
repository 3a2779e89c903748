#include <cmath>

#include "feature/feature_status.h"
#include "feature/mine_feater.h"
#include "feature/report_rows.h"
#include "grid/text_sink.h"

namespace quarnel {

namespace {

// Euclidean length of a row, the squares summed in column order into a float32 total.
float RowLength(const float* row, int n) {
    float squares = 0.0f;
    for (int k = 0; k < n; ++k) squares = static_cast<float>(squares + static_cast<double>(row[k]) * row[k]);
    return static_cast<float>(std::sqrt(static_cast<double>(squares)));
}

}  // namespace

int CMine_Feater::VectorLengthWeights(FeatureParams params, const float* p, float* w, TextSink& report) {
    const int n = params.varCount;
    report.Put("\n\t矢量长度：\n");
    if (n <= 0) return kFeatureNoWeights;
    float total = 0.0f;
    for (int i = 0; i < n; ++i) {
        w[i] = RowLength(p + i * n, n);
        report.Print("%7.2f", w[i]);
        total += w[i];
    }
    if (total == 0.0f) return kFeatureNoWeights;
    total /= 100.0f;
    report.Put("\n\n\t变量权：\n");
    for (int i = 0; i < n; ++i) {
        w[i] /= total;
        report.Print("%7.2f", w[i]);
    }
    report.Put("\n\n");
    return kFeatureOk;
}

}  // namespace quarnel
