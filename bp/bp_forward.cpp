#include "bp/bp_forward.h"

#include <cmath>

namespace quarnel {

double BPSigmoid(double x) {
    double p = std::pow(2.71, x);
    return 1.0 / (1.0 / p + 1.0);
}

void BPForwardOutputs(const BPNetwork& network, const double* h, double* o) {
    const int hiddenCount = network.hiddenCount;
    const int outputCount = network.outputCount;
    const double* weights = network.weightHiddenOutput.data();
    for (int k = 0; k < outputCount; ++k) {
        double sum = 0.0;
        for (int j = 0; j < hiddenCount; ++j) sum += h[j] * weights[std::size_t(j) * outputCount + k];
        o[k] = BPSigmoid(sum + network.outputThreshold[k]);
    }
}

void BPForward(const BPNetwork& network, const double* x, double* h, double* o) {
    const int inputCount = network.inputCount;
    const int hiddenCount = network.hiddenCount;
    const double* weights = network.weightInputHidden.data();
    for (int j = 0; j < hiddenCount; ++j) {
        double sum = 0.0;
        for (int i = 0; i < inputCount; ++i) sum += x[i] * weights[std::size_t(i) * hiddenCount + j];
        h[j] = BPSigmoid(sum + network.hiddenThreshold[j]);
    }
    BPForwardOutputs(network, h, o);
}

}  // namespace quarnel
