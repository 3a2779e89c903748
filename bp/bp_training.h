#pragma once
// On-line back-propagation over a sample set, in file order, learning rate 0.5, no momentum.
//
// Per sample: forward pass; the sample's error is the sum over outputs of (t - o)^2; output
// deltas (t - o)(1 - o)o; hidden deltas (sum over k of weightHiddenOutput[j][k] * dOut[k]) *
// (1 - h)h with the weights as they were before this sample; then, in this order, the
// hidden-to-output weights, the output thresholds, the input-to-hidden weights and the hidden
// thresholds each move by 0.5 times their gradient. Targets are used as full integers.
// The epoch error is 0.5 times the samples' errors added in sample order, measured while the
// epoch runs. Training stops after the first epoch whose error is at or below errorLimit (a NaN
// error never is) or after maxIterations epochs; network.trainError holds the last epoch's
// error. With maxIterations <= 0 no epoch runs and trainError is the error of the untouched
// network on the samples, measured the same way.
#include <vector>

#include "bp/bp_records.h"

namespace quarnel {

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
};

BPTrainOutcome TrainBPNetwork(BPNetwork& network, const BPSampleSet& samples, int maxIterations,
                              double errorLimit, BPTrainWork& work);

// The computed class bits of one input vector: 1 where the output is above 0.5.
void ComputeClassBits(const BPNetwork& network, const double* x, BPTrainWork& work);

}  // namespace quarnel
