#pragma once
// How long work reports how far it has come: the core calls a Progress with the steps done and
// the steps in all (epochs of a training, rows of a grid) and never prints. A host shows it or
// not; an empty Progress costs one test per step.
#include <cstdint>
#include <functional>
#include <string_view>

namespace quarnel {

struct ProgressStep {
    std::string_view what;  // "epoch", "row"
    std::int64_t done = 0;
    std::int64_t total = 0;  // 0 when not known in advance
    double value = 0;        // a figure worth showing with the step (a training's current error)
};

using Progress = std::function<void(const ProgressStep&)>;

}  // namespace quarnel
