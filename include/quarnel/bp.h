#pragma once
// The BP network: a three-layer network, its training on a sample set and the classification of
// cells, over values held in memory. Nothing here reads or writes a file or prints.
//
// Records own flat, row-major arrays; Allocate sizes them for the counts, zero-filled, and throws
// std::bad_alloc or std::length_error when the memory cannot be had.
//
// Activation: BPSigmoid(x) = 1 / (1 / 2.71^x + 1), evaluated in that order, the power being
// Power271's (the same bits on every platform). It saturates by itself: 0 for a large negative x,
// 1 for a large positive one. BPForward: each hidden node's sum of x[i] * weightInputHidden[i][j]
// over ascending i plus its threshold, through the activation into h; then each output's sum of
// h[j] * weightHiddenOutput[j][k] over ascending j plus its threshold, into o.
//
// Training: on-line back-propagation in sample order, learning rate 0.5, no momentum. Per sample:
// forward pass; the sample's error is the sum over outputs of (t - o)^2; output deltas
// (t - o)(1 - o)o; hidden deltas (sum over k of weightHiddenOutput[j][k] * dOut[k]) * (1 - h)h
// with the weights as they were before this sample; then, in this order, the hidden-to-output
// weights, the output thresholds, the input-to-hidden weights and the hidden thresholds each
// move by 0.5 times their gradient. Targets are used as full integers. The epoch error is 0.5
// times the samples' errors added in sample order, measured while the epoch runs. Training stops
// after the first epoch whose error is at or below errorLimit (a NaN error never is) or after
// maxIterations epochs; network.trainError holds the last epoch's error. With maxIterations <= 0
// no epoch runs and trainError is the error of the untouched network on the samples.
//
// Classification: a value within 0.1 of the blank value is no data. RescaleColumns keeps one
// running range [lo, hi], from `start`, never reset: for column i, each non-blank value is folded
// into the range, then each non-blank value v becomes (v - lo) / (hi - lo) with the range as it
// now stands (0 where the range is empty); blank values stay. The range runs over every cell of a
// column before the next column starts, also where the cells are held in blocks. A cell's class
// value is 1 when its first input is blank; otherwise the forward pass (blank inputs left out of
// the hidden sums) gives one bit per output, 1 where the output is above 0.5, output 0 the most
// significant, and the value is that code plus 2.
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "quarnel/progress.h"

namespace quarnel {

// rows * cols as a size; throws std::length_error for a negative count or a product that does
// not fit size_t (also where size_t has 32 bits).
std::size_t MatrixSize(int rows, int cols);

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

double BPSigmoid(double x);
void BPForward(const BPNetwork& network, const double* x, double* h, double* o);
// The output layer alone, from hidden values h.
void BPForwardOutputs(const BPNetwork& network, const double* h, double* o);

// Per-sample scratch of one training call, sized once so the epoch loop allocates nothing.
struct BPTrainWork {
    std::vector<double> hidden;
    std::vector<double> outputs;
    std::vector<double> outputDelta;
    std::vector<double> hiddenDelta;
    std::vector<int> bits;

    void Allocate(const BPNetwork& network);
};

struct BPTrainOutcome {
    int epochs = 0;
    bool converged = false;
    std::vector<double> epochErrors;  // each epoch's error, as network.trainError
};

// How the samples are presented, for hosts that train on map samples (the GDAL door, the
// workflow, Python); the defaults are the training above. shuffle: each epoch presents the
// samples in a new order, a permutation drawn from std::mt19937_64(seed). balance: each
// sample's step is weighed so that the samples with target 1 on output 0 and those with target
// 0 weigh the same in all (the weights averaging 1), so that a surplus of one kind cannot pull
// every output to the other side of 0.5. The epoch error stays the unweighted sum.
struct BPTrainOrder {
    bool shuffle = false;
    std::uint64_t seed = 1;
    bool balance = false;
};

// Trains network in place; progress hears of every epoch ("epoch", done, maxIterations, error).
BPTrainOutcome TrainBPNetwork(BPNetwork& network, const BPSampleSet& samples, int maxIterations,
                              double errorLimit, BPTrainWork& work, const Progress& progress = {});
BPTrainOutcome TrainBPNetwork(BPNetwork& network, const BPSampleSet& samples, int maxIterations,
                              double errorLimit, const BPTrainOrder& order, BPTrainWork& work,
                              const Progress& progress = {});

// The computed class bits of one input vector into work.bits: 1 where the output is above 0.5.
void ComputeClassBits(const BPNetwork& network, const double* x, BPTrainWork& work);

struct BPTrainingSummary {
    int epochs = 0;
    bool converged = false;
    double finalError = 0.0;          // the network's trainError
    std::vector<int> computedBits;    // [sampleCount][outputCount], by the trained network
    int samplesMatched = 0;           // samples whose computed bits equal their targets
    double trainingAccuracy = 0.0;    // samplesMatched / sampleCount; 0 without samples
    std::vector<double> epochErrors;  // each epoch's error (half the summed squared error)
    double meanSquaredError = 0.0;    // 2 * finalError / (sampleCount * outputCount); 0 without samples
    const int* ComputedBits(int s, int outputCount) const {
        return computedBits.data() + std::size_t(s) * std::size_t(outputCount);
    }
};

struct BPTraining {
    BPNetwork network;
    BPTrainingSummary summary;
};

// Trains the initial network (its counts must match the samples') and classifies every sample
// with the result.
BPTraining TrainNetwork(BPNetwork initial, const BPSampleSet& samples, int maxIterations, double errorLimit,
                        const Progress& progress = {});
BPTraining TrainNetwork(BPNetwork initial, const BPSampleSet& samples, int maxIterations, double errorLimit,
                        const BPTrainOrder& order, const Progress& progress = {});

// Classification.
bool IsBlankInput(double v, double blank);

struct InputRange {
    double lo = 1e308;
    double hi = -1e308;
};

// The two steps of rescaling for one column (every stride-th of cells values), so a host that
// streams its grids can fold every column over all cells first and scale a block at a time: the
// non-blank values folded into range (>= raises hi, <= lowers lo), and the non-blank values
// rescaled with range as it stands.
void FoldInputRange(const double* column, std::size_t cells, std::size_t stride, double blank,
                    InputRange& range);
void ScaleInputColumn(double* column, std::size_t cells, std::size_t stride, double blank,
                      const InputRange& range);

// A run of consecutive cells of the cell-by-input matrix: [cells][inputCount], row-major. A large
// matrix is held as several blocks, so that a 32-bit process needs no single free region for it.
struct BPCellBlock {
    double* inputs;
    std::size_t cells;
};

// blocks hold the cells in order, column i of each holding network input i.
void RescaleColumns(std::span<const BPCellBlock> blocks, int inputCount, InputRange start, double blank);
// The matrix as one block.
void RescaleColumns(double* matrix, std::size_t cells, int inputCount, InputRange start, double blank);

// Scratch of one classification: hiddenCount and outputCount values.
struct BPClassWork {
    std::vector<double> hidden;
    std::vector<double> outputs;

    void Allocate(const BPNetwork& network);
};

// The class value of one cell of rescaled inputs x.
int ClassValue(const BPNetwork& network, const double* x, double blank, BPClassWork& work);

// The class values of a row of cells: rescaled inputs ([cells][inputCount]) in, classes[cells] out.
void ClassifyRow(const BPNetwork& network, const double* inputs, std::size_t cells, double blank,
                 int* classes, BPClassWork& work);

// ClassifyRow, also giving each cell's output 0 (its favourability, 0..1) into outputs[cells];
// NaN where the class is 1 (the first input is blank).
void ClassifyRowWithOutput(const BPNetwork& network, const double* inputs, std::size_t cells, double blank,
                           int* classes, double* outputs, BPClassWork& work);

// How many cells hold each class value, by ascending value.
std::map<int, std::int64_t> CountClasses(const int* classes, std::size_t cells);

}  // namespace quarnel
