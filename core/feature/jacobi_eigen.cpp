#include <cmath>
#include <span>
#include <utility>

#include "quarnel/feature.h"

namespace quarnel::feature {

namespace {

// Thresholds go down by a factor n per level, at most this many levels.
constexpr int kThresholdLevels = 10;
// A rotation whose result float32 cannot represent (a pair whose diagonal difference squares to
// infinity, say) leaves its element where it was; this bound keeps such a level from sweeping
// for ever. Convergent inputs settle a level in a handful of sweeps.
constexpr int kMaxSweepsPerLevel = 100;
// Treated as a zero diagonal difference: the pair rotates by 45 degrees.
constexpr double kEqualDiagonals = 1e-18;

class Rotator {
  public:
    Rotator(float* a, float* v, int n) : a_(a), v_(v), n_(n) {}

    // One pass over the pairs (p, q), q < p, rotating every pair whose element is at least the
    // threshold; true when any pair was rotated.
    bool Sweep(float threshold) {
        bool rotated = false;
        for (int p = 1; p < n_; ++p) {
            for (int q = 0; q < p; ++q) {
                if (std::fabs(At(q, p)) >= threshold) {
                    Rotate(p, q);
                    rotated = true;
                }
            }
        }
        return rotated;
    }

  private:
    float& At(int row, int col) { return a_[row * n_ + col]; }
    float& Vector(int row, int col) { return v_[row * n_ + col]; }

    void Rotate(int p, int q) {
        const float e = At(q, p);
        const float f = At(q, q);
        const float g = At(p, p);
        const float d = f - g;
        const float h = d * 0.5f;
        const float omega = Omega(e, h);
        const float sn = static_cast<float>(
            omega / std::sqrt(2.0 * (1.0 + std::sqrt(1.0 - static_cast<double>(omega) * omega))));
        const float cn = static_cast<float>(std::sqrt(1.0 - static_cast<double>(sn) * sn));
        RotateColumns(a_, p, q, sn, cn);
        RotateColumns(v_, p, q, sn, cn);
        for (int j = 0; j < n_; ++j) {
            At(q, j) = At(j, q);
            At(p, j) = At(j, p);
        }
        const float sn2 = static_cast<float>(static_cast<double>(sn) * sn);
        const float cn2 = static_cast<float>(static_cast<double>(cn) * cn);
        const float sncn = static_cast<float>(static_cast<double>(sn) * cn);
        At(q, q) =
            static_cast<float>(static_cast<double>(f) * cn2 + static_cast<double>(g) * sn2 - 2.0 * e * sncn);
        At(p, p) =
            static_cast<float>(static_cast<double>(g) * cn2 + static_cast<double>(f) * sn2 + 2.0 * e * sncn);
        At(q, p) = static_cast<float>((static_cast<double>(cn2) - sn2) * e + static_cast<double>(sncn) * d);
        At(p, q) = At(q, p);
    }

    static float Omega(float e, float h) {
        if (std::fabs(static_cast<double>(h)) <= kEqualDiagonals) return -1.0f;
        const float squares = static_cast<float>(static_cast<double>(h) * h + static_cast<double>(e) * e);
        const double sign = h > 0.0f ? 1.0 : -1.0;
        return static_cast<float>(-sign * e / std::sqrt(static_cast<double>(squares)));
    }

    void RotateColumns(float* m, int p, int q, float sn, float cn) {
        for (int row = 0; row < n_; ++row) {
            const double a = m[row * n_ + q];
            const double b = m[row * n_ + p];
            m[row * n_ + q] = static_cast<float>(cn * a - sn * b);
            m[row * n_ + p] = static_cast<float>(sn * a + cn * b);
        }
    }

    float* a_;
    float* v_;
    int n_;
};

void SetIdentity(float* v, int n) {
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) v[i * n + j] = i == j ? 1.0f : 0.0f;
    }
}

// Root of the sum of squares of the off-diagonal elements (both triangles), in float32.
float OffDiagonalNorm(const float* a, int n) {
    float sum = 0.0f;
    for (int k = 1; k < n; ++k) {
        for (int j = 0; j < k; ++j) {
            const double element = a[k * n + j];
            sum = static_cast<float>(sum + (element * 2.0) * element);
        }
    }
    return static_cast<float>(std::sqrt(static_cast<double>(sum)));
}

// The number of passes made over the pairs.
int SweepThresholdLevels(float* a, float* v, int n, float norm) {
    const float tolerance = static_cast<float>((static_cast<double>(1e-7f) / n) * norm);
    float threshold = static_cast<float>(static_cast<double>(norm) / n);
    Rotator rotator(a, v, n);
    int passes = 0;
    for (int level = 0;;) {
        for (int sweep = 0; sweep < kMaxSweepsPerLevel; ++sweep) {
            ++passes;
            if (!rotator.Sweep(threshold)) break;
        }
        if (!(tolerance < threshold) || ++level >= kThresholdLevels) return passes;
        threshold = static_cast<float>(static_cast<double>(threshold) / n);
    }
}

// Selection sort of the eigenvalues, descending, carrying the columns of v along; the first
// largest wins.
void SortDescending(float* values, float* v, int n) {
    for (int m = 0; m < n - 1; ++m) {
        int best = m;
        for (int i = m + 1; i < n; ++i) {
            if (values[i] > values[best]) best = i;
        }
        if (best == m) continue;
        std::swap(values[m], values[best]);
        for (int row = 0; row < n; ++row) std::swap(v[row * n + m], v[row * n + best]);
    }
}

}  // namespace

EigenResult JacobiEigen(std::span<float> a, int n, std::span<float> vectors, std::span<float> values) {
    SetIdentity(vectors.data(), n);
    const float norm = OffDiagonalNorm(a.data(), n);
    // A zero norm means the matrix is already diagonal; sweeping it at a zero threshold would
    // rotate every pair for ever.
    const int sweeps = norm > 0.0f ? SweepThresholdLevels(a.data(), vectors.data(), n, norm) : 0;
    for (int i = 0; i < n; ++i) values[i] = a[i * n + i];
    SortDescending(values.data(), vectors.data(), n);
    return {sweeps};
}

}  // namespace quarnel::feature
