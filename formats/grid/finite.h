#pragma once
// Whether every value of a grid row is a finite number. A single inf or nan would turn a
// whole normalised grid or classification into nan, so grid readers refuse such grids.
#include <cmath>
#include <cstddef>

namespace quarnel {

template <class T>
bool AllFinite(const T* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) return false;
    return true;
}

}  // namespace quarnel
