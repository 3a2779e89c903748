#include <array>
#include <memory>
#include <new>
#include <span>

#include "jobs/feature/feature_status.h"
#include "jobs/feature/mine_feater.h"
#include "jobs/feature/report_sections.h"
#include "formats/grid/text_sink.h"
#include "quarnel/feature.h"

namespace quarnel {

int CMine_Feater::PrincipalComponentWeights(const FeatureParams& params, float* p, float* w,
                                            TextSink& report) {
    const int n = params.varCount;
    const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
    const std::unique_ptr<float[]> e(new (std::nothrow) float[count * count]);
    if (!e) return kFeatureNoMemory;
    const std::span<float> matrix(p, count * count);
    if (!feature::NormaliseProductMatrix(matrix, n)) return kFeatureNoWeights;
    WriteNormalisedMatrix(p, n, report);
    std::array<float, kMaxFeatureVars> values{};
    std::array<float, kMaxFeatureVars> component{};
    const feature::PrincipalComponentResult result = feature::PrincipalComponentWeights(
        matrix, n, std::span<float>(e.get(), count * count), std::span<float>(values.data(), count),
        std::span<float>(component.data(), count), std::span<float>(w, count));
    results_.sweeps = result.sweeps;
    if (!result.formed) return kFeatureNoWeights;
    WriteFirstComponent(component.data(), n, report);
    WriteVariableWeights(w, n, report);
    results_.component.assign(component.begin(), component.begin() + static_cast<std::ptrdiff_t>(count));
    results_.weights.assign(w, w + count);
    return kFeatureOk;
}

int CMine_Feater::JacobiEigen(float* a, int n, float* v, float* values) {
    const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
    feature::JacobiEigen(std::span<float>(a, count * count), n, std::span<float>(v, count * count),
                         std::span<float>(values, count));
    return 0;
}

}  // namespace quarnel
