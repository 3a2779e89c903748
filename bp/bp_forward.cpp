#include "bp/bp_forward.h"

#include <cmath>
#include <vector>

namespace quarnel {
namespace {

// sums[j] = in[0] * weights[0][j] + in[1] * weights[1][j] + ..., starting from 0, each sum in
// ascending order of the input. Four sums are built side by side in registers, so the
// products of one input row are read contiguously and no sum waits on memory.
void WeightedSums(const double* in, int inCount, const double* weights, int outCount, double* sums) {
    const std::size_t stride = std::size_t(outCount);
    int j = 0;
    for (; j + 4 <= outCount; j += 4) {
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
        const double* w = weights + j;
        for (int i = 0; i < inCount; ++i, w += stride) {
            const double v = in[i];
            s0 += v * w[0];
            s1 += v * w[1];
            s2 += v * w[2];
            s3 += v * w[3];
        }
        sums[j] = s0;
        sums[j + 1] = s1;
        sums[j + 2] = s2;
        sums[j + 3] = s3;
    }
    for (; j < outCount; ++j) {
        double sum = 0.0;
        const double* w = weights + j;
        for (int i = 0; i < inCount; ++i, w += stride) sum += in[i] * w[0];
        sums[j] = sum;
    }
}

// values[j] = BPSigmoid(values[j] + thresholds[j]). The powers come first and the reciprocals
// after them in a loop of their own, where the divisions of neighbouring nodes overlap instead
// of waiting on each other; every value sees the same operations in the same order.
void Activate(double* values, const std::vector<double>& thresholds, int count) {
    for (int j = 0; j < count; ++j) values[j] = std::pow(2.71, values[j] + thresholds[j]);
    for (int j = 0; j < count; ++j) values[j] = 1.0 / (1.0 / values[j] + 1.0);
}

}  // namespace

double BPSigmoid(double x) {
    double p = std::pow(2.71, x);
    return 1.0 / (1.0 / p + 1.0);
}

void BPForwardOutputs(const BPNetwork& network, const double* h, double* o) {
    WeightedSums(h, network.hiddenCount, network.weightHiddenOutput.data(), network.outputCount, o);
    Activate(o, network.outputThreshold, network.outputCount);
}

void BPForward(const BPNetwork& network, const double* x, double* h, double* o) {
    WeightedSums(x, network.inputCount, network.weightInputHidden.data(), network.hiddenCount, h);
    Activate(h, network.hiddenThreshold, network.hiddenCount);
    BPForwardOutputs(network, h, o);
}

}  // namespace quarnel
