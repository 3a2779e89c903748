#include <vector>

#include "power.h"
#include "quarnel/bp.h"

namespace quarnel {
namespace {

// Sums j .. j + Width - 1 of WeightedSums, side by side in registers, so that the products of
// one input row are read contiguously and the additions of different sums overlap.
template <int Width>
void WeightedSumBlock(const double* in, int inCount, const double* weights, std::size_t stride,
                      double* sums) {
    double acc[Width] = {};
    for (int i = 0; i < inCount; ++i, weights += stride) {
        const double v = in[i];
        for (int m = 0; m < Width; ++m) acc[m] += v * weights[m];
    }
    for (int m = 0; m < Width; ++m) sums[m] = acc[m];
}

// sums[j] = in[0] * weights[0][j] + in[1] * weights[1][j] + ..., starting from 0, each sum in
// ascending order of the input.
void WeightedSums(const double* in, int inCount, const double* weights, int outCount, double* sums) {
    const std::size_t stride = std::size_t(outCount);
    int j = 0;
    for (; j + 8 <= outCount; j += 8) WeightedSumBlock<8>(in, inCount, weights + j, stride, sums + j);
    for (; j + 2 <= outCount; j += 2) WeightedSumBlock<2>(in, inCount, weights + j, stride, sums + j);
    for (; j < outCount; ++j) WeightedSumBlock<1>(in, inCount, weights + j, stride, sums + j);
}

// values[j] = BPSigmoid(values[j] + thresholds[j]). The powers come first and the reciprocals
// after them in a loop of their own, where the divisions of neighbouring nodes overlap instead
// of waiting on each other; every value sees the same operations in the same order.
void Activate(double* values, const std::vector<double>& thresholds, int count) {
    for (int j = 0; j < count; ++j) values[j] = Power271(values[j] + thresholds[j]);
    for (int j = 0; j < count; ++j) values[j] = 1.0 / (1.0 / values[j] + 1.0);
}

}  // namespace

double BPSigmoid(double x) {
    const double p = Power271(x);
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
