#include "bp/class_grid.h"

#include <cmath>

#include "bp/bp_forward.h"

namespace quarnel {
namespace {

// The tolerance that tells a no-data cell of a classification input.
constexpr double kBlankTolerance = 0.1;

void FoldColumn(const double* column, std::size_t cells, std::size_t stride, InputRange& range) {
    for (std::size_t s = 0; s < cells; ++s) {
        double v = column[s * stride];
        if (IsBlankInput(v)) continue;
        if (v >= range.hi) range.hi = v;
        if (v <= range.lo) range.lo = v;
    }
}

void ScaleColumn(double* column, std::size_t cells, std::size_t stride, const InputRange& range) {
    double span = range.hi - range.lo;
    for (std::size_t s = 0; s < cells; ++s) {
        double& v = column[s * stride];
        if (IsBlankInput(v)) continue;
        v = span == 0.0 ? 0.0 : (v - range.lo) / span;
    }
}

// The hidden layer with blank inputs left out of the sums; rows in the outer loop as in
// BPForward, each sum in ascending order of the input.
void HiddenLayer(const BPNetwork& network, const double* x, double* hidden) {
    const int hiddenCount = network.hiddenCount;
    for (int h = 0; h < hiddenCount; ++h) hidden[h] = 0.0;
    for (int i = 0; i < network.inputCount; ++i) {
        if (IsBlankInput(x[i])) continue;
        const double v = x[i];
        const double* row = network.weightInputHidden.data() + std::size_t(i) * hiddenCount;
        for (int h = 0; h < hiddenCount; ++h) hidden[h] += v * row[h];
    }
    for (int h = 0; h < hiddenCount; ++h) hidden[h] = BPSigmoid(hidden[h] + network.hiddenThreshold[h]);
}

}  // namespace

bool IsBlankInput(double v) {
    return std::fabs(v - kDsaaBlank) <= kBlankTolerance;
}

void RescaleColumns(double* matrix, std::size_t cells, int inputCount, InputRange range) {
    const std::size_t stride = std::size_t(inputCount);
    for (std::size_t i = 0; i < stride; ++i) {
        FoldColumn(matrix + i, cells, stride, range);
        ScaleColumn(matrix + i, cells, stride, range);
    }
}

int ClassValue(const BPNetwork& network, const double* x, double* hidden, double* outputs) {
    if (IsBlankInput(x[0])) return 1;
    HiddenLayer(network, x, hidden);
    BPForwardOutputs(network, hidden, outputs);
    int code = 0;
    for (int k = 0; k < network.outputCount; ++k) code = code * 2 + (outputs[k] > 0.5 ? 1 : 0);
    return code + 2;
}

}  // namespace quarnel
