#include <array>
#include <span>

#include "jobs/feature/feature_status.h"
#include "jobs/feature/mine_feater.h"
#include "jobs/feature/report_sections.h"
#include "formats/grid/text_sink.h"
#include "quarnel/feature.h"

namespace quarnel {

int CMine_Feater::VectorLengthWeights(const FeatureParams& params, const float* p, float* w,
                                      TextSink& report) {
    const int n = params.varCount;
    const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
    std::array<float, kMaxFeatureVars> lengths{};
    const feature::VectorLengthResult result =
        feature::VectorLengthWeights(std::span<const float>(p, count * count), n,
                                     std::span<float>(lengths.data(), count), std::span<float>(w, count));
    WriteVectorLengths(lengths.data(), n, report);
    results_.lengths.assign(lengths.begin(), lengths.begin() + static_cast<std::ptrdiff_t>(count));
    if (!result.formed) return kFeatureNoWeights;
    WriteVariableWeights(w, n, report);
    results_.weights.assign(w, w + count);
    return kFeatureOk;
}

}  // namespace quarnel
