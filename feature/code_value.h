#pragma once
// Ternary coding of an evidence value: +1 at or above upper, otherwise -1 at or below lower,
// otherwise 0. The upper test comes first, so with lower >= upper no value codes 0.
namespace quarnel {

// Written without branches: the codes of neighbouring cells follow no pattern a branch
// predictor could learn.
inline float CodeValue(float x, float lower, float upper) {
    const int up = x >= upper;
    const int down = static_cast<int>(x <= lower) & static_cast<int>(x < upper);
    return static_cast<float>(up - down);
}

}  // namespace quarnel
