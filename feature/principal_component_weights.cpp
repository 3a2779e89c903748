#include <cmath>
#include <memory>
#include <new>

#include "feature/feature_status.h"
#include "feature/mine_feater.h"
#include "feature/report_rows.h"
#include "grid/text_sink.h"

namespace quarnel {

namespace {

// Divides every off-diagonal element by the root of its two diagonal elements as built, then
// sets the diagonal to 1. False when a diagonal product is 0: a variable that never codes
// non-zero has no correlation with anything.
bool NormaliseProductMatrix(float* p, int n) {
    for (int i = 1; i < n; ++i) {
        for (int j = 0; j < i; ++j) {
            const float product = static_cast<float>(static_cast<double>(p[i * n + i]) * p[j * n + j]);
            const float t = static_cast<float>(std::sqrt(static_cast<double>(product)));
            if (t == 0.0f) return false;
            p[i * n + j] /= t;
            p[j * n + i] = p[i * n + j];
        }
    }
    for (int i = 0; i < n; ++i) p[i * n + i] = 1.0f;
    return true;
}

}  // namespace

int CMine_Feater::PrincipalComponentWeights(FeatureParams params, float* p, float* w, TextSink& report) {
    const int n = params.varCount;
    const std::unique_ptr<float[]> e(new (std::nothrow) float[n > 0 ? n * n : 0]);
    if (!e) return kFeatureNoMemory;
    if (!NormaliseProductMatrix(p, n)) return kFeatureNoWeights;
    report.Put("\n\t乘积矩阵(归一化)：\n");
    WriteMatrix(report, p, n, "%6.2f");
    const int status = JacobiEigen(p, n, e.get(), w);
    if (status != kFeatureOk) return status;
    if (n <= 0) return kFeatureNoWeights;
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        w[i] = e[i * n];
        sum += std::fabs(w[i]);
    }
    if (sum == 0.0f) return kFeatureNoWeights;
    sum /= 100.0f;
    report.Put("\n\t乘积矩阵第一主分量：\n");
    WriteValues(report, w, n, "%7.2f");
    report.Put("\n\n\t变量权：\n");
    for (int i = 0; i < n; ++i) w[i] /= sum;
    WriteValues(report, w, n, "%7.2f");
    report.Put("\n\n");
    return kFeatureOk;
}

}  // namespace quarnel
