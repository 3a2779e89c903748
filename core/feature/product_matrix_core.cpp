#include <algorithm>
#include <span>

#include "quarnel/feature.h"

namespace quarnel::feature {

bool IsBlankCell(std::span<const float> values, float blankValue) {
    return std::ranges::any_of(values, [blankValue](float value) { return value == blankValue; });
}

void ClearProductMatrix(std::span<float> p) {
    std::ranges::fill(p, 0.0f);
}

void AddCellCodes(std::span<const CodeBounds> bounds, std::span<float> values, std::span<float> p) {
    const int n = static_cast<int>(bounds.size());
    for (int i = 0; i < n; ++i) values[i] = CodeValue(values[i], bounds[i].lower, bounds[i].upper);
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k <= j; ++k) p[j * n + k] += values[k] * values[j];
    }
}

void MirrorLowerTriangle(std::span<float> p, int n) {
    for (int j = 1; j < n; ++j) {
        for (int k = 0; k < j; ++k) p[k * n + j] = p[j * n + k];
    }
}

}  // namespace quarnel::feature
