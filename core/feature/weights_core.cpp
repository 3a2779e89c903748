#include <cmath>
#include <span>

#include "quarnel/feature.h"

namespace quarnel::feature {

namespace {

// Euclidean length of a row, the squares summed in column order into a float32 total.
float RowLength(const float* row, int n) {
    float squares = 0.0f;
    for (int k = 0; k < n; ++k) squares = static_cast<float>(squares + static_cast<double>(row[k]) * row[k]);
    return static_cast<float>(std::sqrt(static_cast<double>(squares)));
}

}  // namespace

VectorLengthResult VectorLengthWeights(std::span<const float> p, int n, std::span<float> lengths,
                                       std::span<float> weights) {
    if (n <= 0) return {};
    float total = 0.0f;
    for (int i = 0; i < n; ++i) {
        lengths[i] = RowLength(p.data() + i * n, n);
        total += lengths[i];
    }
    if (total == 0.0f) return {};
    total /= 100.0f;
    for (int i = 0; i < n; ++i) weights[i] = lengths[i] / total;
    return {true};
}

bool NormaliseProductMatrix(std::span<float> p, int n) {
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

PrincipalComponentResult PrincipalComponentWeights(std::span<float> p, int n, std::span<float> vectors,
                                                   std::span<float> values, std::span<float> component,
                                                   std::span<float> weights) {
    const EigenResult eigen = JacobiEigen(p, n, vectors, values);
    if (n <= 0) return {false, eigen.sweeps};
    float sum = 0.0f;
    for (int i = 0; i < n; ++i) {
        component[i] = vectors[i * n];
        sum += std::fabs(component[i]);
    }
    if (sum == 0.0f) return {false, eigen.sweeps};
    sum /= 100.0f;
    for (int i = 0; i < n; ++i) weights[i] = component[i] / sum;
    return {true, eigen.sweeps};
}

CellScore ScoreCell(std::span<const CodeBounds> bounds, std::span<const float> weights,
                    std::span<const float> values, float blankValue) {
    bool blank = false;
    float score = 0.0f;
    // The sum of a blank cell is thrown away, so its terms are added without a branch.
    for (std::size_t i = 0; i < bounds.size(); ++i) {
        blank = blank || values[i] == blankValue;
        score += weights[i] * CodeValue(values[i], bounds[i].lower, bounds[i].upper);
    }
    return {blank ? blankValue : score, blank};
}

void ScoreStatistics::Add(const CellScore& cell) {
    if (cell.blank) {
        ++blank;
        return;
    }
    if (scored == 0 || cell.score < min) min = cell.score;
    if (scored == 0 || cell.score > max) max = cell.score;
    sum += cell.score;
    ++scored;
}

}  // namespace quarnel::feature
