#include <cmath>

#include "quarnel/bp.h"

namespace quarnel {
namespace {

// The tolerance that tells a no-data cell of a classification input.
constexpr double kBlankTolerance = 0.1;

// The hidden layer with blank inputs left out of the sums; rows in the outer loop as in
// BPForward, each sum in ascending order of the input.
void HiddenLayer(const BPNetwork& network, const double* x, double blank, double* hidden) {
    const int hiddenCount = network.hiddenCount;
    for (int h = 0; h < hiddenCount; ++h) hidden[h] = 0.0;
    for (int i = 0; i < network.inputCount; ++i) {
        if (IsBlankInput(x[i], blank)) continue;
        const double v = x[i];
        const double* row = network.weightInputHidden.data() + std::size_t(i) * hiddenCount;
        for (int h = 0; h < hiddenCount; ++h) hidden[h] += v * row[h];
    }
    for (int h = 0; h < hiddenCount; ++h) hidden[h] = BPSigmoid(hidden[h] + network.hiddenThreshold[h]);
}

}  // namespace

bool IsBlankInput(double v, double blank) {
    return std::fabs(v - blank) <= kBlankTolerance;
}

void FoldInputRange(const double* column, std::size_t cells, std::size_t stride, double blank,
                    InputRange& range) {
    for (std::size_t s = 0; s < cells; ++s) {
        double v = column[s * stride];
        if (IsBlankInput(v, blank)) continue;
        if (v >= range.hi) range.hi = v;
        if (v <= range.lo) range.lo = v;
    }
}

void ScaleInputColumn(double* column, std::size_t cells, std::size_t stride, double blank,
                      const InputRange& range) {
    double span = range.hi - range.lo;
    for (std::size_t s = 0; s < cells; ++s) {
        double& v = column[s * stride];
        if (IsBlankInput(v, blank)) continue;
        v = span == 0.0 ? 0.0 : (v - range.lo) / span;
    }
}

void RescaleColumns(std::span<const BPCellBlock> blocks, int inputCount, InputRange start, double blank) {
    const std::size_t stride = std::size_t(inputCount);
    for (std::size_t i = 0; i < stride; ++i) {
        for (const BPCellBlock& block : blocks)
            FoldInputRange(block.inputs + i, block.cells, stride, blank, start);
        for (const BPCellBlock& block : blocks)
            ScaleInputColumn(block.inputs + i, block.cells, stride, blank, start);
    }
}

void RescaleColumns(double* matrix, std::size_t cells, int inputCount, InputRange start, double blank) {
    const BPCellBlock whole{matrix, cells};
    RescaleColumns(std::span(&whole, 1), inputCount, start, blank);
}

void BPClassWork::Allocate(const BPNetwork& network) {
    hidden.assign(std::size_t(network.hiddenCount), 0.0);
    outputs.assign(std::size_t(network.outputCount), 0.0);
}

int ClassValue(const BPNetwork& network, const double* x, double blank, BPClassWork& work) {
    if (IsBlankInput(x[0], blank)) return 1;
    HiddenLayer(network, x, blank, work.hidden.data());
    BPForwardOutputs(network, work.hidden.data(), work.outputs.data());
    int code = 0;
    for (int k = 0; k < network.outputCount; ++k)
        code = code * 2 + (work.outputs[std::size_t(k)] > 0.5 ? 1 : 0);
    return code + 2;
}

void ClassifyRow(const BPNetwork& network, const double* inputs, std::size_t cells, double blank,
                 int* classes, BPClassWork& work) {
    const std::size_t stride = std::size_t(network.inputCount);
    for (std::size_t s = 0; s < cells; ++s)
        classes[s] = ClassValue(network, inputs + s * stride, blank, work);
}

void ClassifyRowWithOutput(const BPNetwork& network, const double* inputs, std::size_t cells, double blank,
                           int* classes, double* outputs, BPClassWork& work) {
    const std::size_t stride = std::size_t(network.inputCount);
    for (std::size_t s = 0; s < cells; ++s) {
        classes[s] = ClassValue(network, inputs + s * stride, blank, work);
        outputs[s] = classes[s] == 1 || network.outputCount < 1 ? std::nan("") : work.outputs[0];
    }
}

std::map<int, std::int64_t> CountClasses(const int* classes, std::size_t cells) {
    std::map<int, std::int64_t> counts;
    for (std::size_t s = 0; s < cells; ++s) ++counts[classes[s]];
    return counts;
}

}  // namespace quarnel
