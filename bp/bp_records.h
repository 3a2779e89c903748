#pragma once
// The two records of the BP files: the training samples of a sample file and a three-layer
// network. Both own flat, row-major arrays; Allocate sizes them for the counts, zero-filled,
// and throws std::bad_alloc or std::length_error when the memory cannot be had (the jobs turn
// that into their status).
#include <cstddef>
#include <vector>

#include "grid/memory_budget.h"

namespace quarnel {

// rows * cols as a size; throws std::length_error for a negative count or a product that does
// not fit size_t (also where size_t has 32 bits).
std::size_t MatrixSize(int rows, int cols);

// The bytes of a network of these counts, added to a job's budget.
void AddNetwork(MemoryBudget& budget, int inputs, int hidden, int outputs);

struct BPSampleSet {
    int sampleCount = 0;
    int inputCount = 0;
    int outputCount = 0;
    std::vector<double> inputs;  // [sampleCount][inputCount]
    std::vector<int> targets;    // [sampleCount][outputCount]

    void Allocate(int samples, int inputsPerSample, int outputsPerSample);
    double* Inputs(int s) { return inputs.data() + std::size_t(s) * std::size_t(inputCount); }
    int* Targets(int s) { return targets.data() + std::size_t(s) * std::size_t(outputCount); }
    const double* Inputs(int s) const { return inputs.data() + std::size_t(s) * std::size_t(inputCount); }
    const int* Targets(int s) const { return targets.data() + std::size_t(s) * std::size_t(outputCount); }
};

struct BPNetwork {
    int inputCount = 0;
    int hiddenCount = 0;
    int outputCount = 0;
    double trainError = 0.0;
    std::vector<double> hiddenThreshold;     // [hiddenCount]
    std::vector<double> outputThreshold;     // [outputCount]
    std::vector<double> weightInputHidden;   // [inputCount][hiddenCount]
    std::vector<double> weightHiddenOutput;  // [hiddenCount][outputCount]

    // Keeps trainError; the counts must not be negative.
    void Allocate(int inputs, int hidden, int outputs);
};

}  // namespace quarnel
