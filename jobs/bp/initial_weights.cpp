#include "jobs/bp/initial_weights.h"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace quarnel {
namespace {

// Running range of raw draws. The accumulators start at 1e-308 and 1e308 and take a value
// that equals them, so a group of zero draws keeps the maximum 1e-308 and maps every draw to
// -0.5. Only a range that is genuinely empty (every draw the same positive value) would divide
// 0 by 0; it maps to 0.0.
class DrawRange {
  public:
    void Fold(double v) {
        if (v >= maximum_) maximum_ = v;
        if (v <= minimum_) minimum_ = v;
    }
    double Map(double v) const {
        return maximum_ > minimum_ ? (v - minimum_) / (maximum_ - minimum_) - 0.5 : 0.0;
    }

  private:
    double maximum_ = 1e-308;
    double minimum_ = 1e308;
};

// The one lock over the C runtime's generator (a function's static, so it exists before any
// static initialiser of a host might train).
std::mutex& RandomDrawLock() {
    static std::mutex lock;
    return lock;
}

void DrawGroup(std::vector<double>& values) {
    for (double& v : values) v = double(std::rand());
}

}  // namespace

void ScaleThresholdGroup(double* values, std::size_t count) {
    DrawRange range;
    for (std::size_t i = 0; i < count; ++i) range.Fold(values[i]);
    for (std::size_t i = 0; i < count; ++i) values[i] = range.Map(values[i]);
}

void ScaleWeightRows(double* values, std::size_t rows, std::size_t cols) {
    DrawRange range;
    for (std::size_t r = 0; r < rows; ++r) {
        double* row = values + r * cols;
        for (std::size_t c = 0; c < cols; ++c) range.Fold(row[c]);
        for (std::size_t c = 0; c < cols; ++c) row[c] = range.Map(row[c]);
    }
}

void DrawInitialWeights(BPNetwork& network, std::optional<unsigned> seed) {
    {
        const std::lock_guard lock(RandomDrawLock());
        if (seed) std::srand(*seed);
        DrawGroup(network.hiddenThreshold);
        DrawGroup(network.outputThreshold);
        DrawGroup(network.weightInputHidden);
        DrawGroup(network.weightHiddenOutput);
    }
    ScaleThresholdGroup(network.hiddenThreshold.data(), network.hiddenThreshold.size());
    ScaleThresholdGroup(network.outputThreshold.data(), network.outputThreshold.size());
    ScaleWeightRows(network.weightInputHidden.data(), std::size_t(network.inputCount),
                    std::size_t(network.hiddenCount));
    ScaleWeightRows(network.weightHiddenOutput.data(), std::size_t(network.hiddenCount),
                    std::size_t(network.outputCount));
}

}  // namespace quarnel
