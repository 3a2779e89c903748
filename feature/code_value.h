#pragma once
// Ternary coding of an evidence value: +1 at or above upper, otherwise -1 at or below lower,
// otherwise 0. The upper test comes first, so with lower >= upper no value codes 0.
namespace quarnel {

inline float CodeValue(float x, float lower, float upper) {
    if (x >= upper) return 1.0f;
    if (x <= lower) return -1.0f;
    return 0.0f;
}

}  // namespace quarnel
