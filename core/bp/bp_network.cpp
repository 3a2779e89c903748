#include <cstdint>
#include <stdexcept>

#include "quarnel/bp.h"

namespace quarnel {

std::size_t MatrixSize(int rows, int cols) {
    if (rows < 0 || cols < 0) throw std::length_error("negative count");
    if (rows != 0 && std::size_t(cols) > SIZE_MAX / std::size_t(rows))
        throw std::length_error("too many cells");
    return std::size_t(rows) * std::size_t(cols);
}

void BPSampleSet::Allocate(int samples, int inputsPerSample, int outputsPerSample) {
    inputs.assign(MatrixSize(samples, inputsPerSample), 0.0);
    targets.assign(MatrixSize(samples, outputsPerSample), 0);
    sampleCount = samples;
    inputCount = inputsPerSample;
    outputCount = outputsPerSample;
}

void BPNetwork::Allocate(int inputs, int hidden, int outputs) {
    hiddenThreshold.assign(MatrixSize(1, hidden), 0.0);
    outputThreshold.assign(MatrixSize(1, outputs), 0.0);
    weightInputHidden.assign(MatrixSize(inputs, hidden), 0.0);
    weightHiddenOutput.assign(MatrixSize(hidden, outputs), 0.0);
    inputCount = inputs;
    hiddenCount = hidden;
    outputCount = outputs;
}

}  // namespace quarnel
