#pragma once
// How long work reports how far it has come, and how it is told to stop: the core calls a
// Progress with the steps done and the steps in all (epochs of a training, rows of a grid) and
// never prints. The Progress returns whether to go on; a method told to stop throws Stopped at
// once, and whatever it was writing is withdrawn (its outputs are whole or absent). A host shows
// the steps or not; an empty Progress costs one test per step and never stops. Calls come one at
// a time, though a method's parallel part may make them from its worker threads.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string_view>

namespace quarnel {

struct ProgressStep {
    std::string_view what;  // "epoch", "row"
    std::int64_t done = 0;
    std::int64_t total = 0;  // 0 when not known in advance
    double value = 0;        // a figure worth showing with the step (a training's current error)
};

// true: go on; false: stop.
using Progress = std::function<bool(const ProgressStep&)>;

// The end of a method whose Progress said stop.
class Stopped : public std::runtime_error {
  public:
    Stopped() : std::runtime_error("stopped on request; no output written") {}
};

// Tells progress (when there is one) of step; throws Stopped when it says stop.
inline void ReportProgress(const Progress& progress, const ProgressStep& step) {
    if (progress && !progress(step)) throw Stopped();
}

}  // namespace quarnel
