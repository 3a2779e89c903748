#include <algorithm>
#include <cstddef>
#include <utility>

#include "quarnel/bp.h"

namespace quarnel {
namespace {

constexpr double kLearningRate = 0.5;

double SquaredOutputError(const int* t, const double* o, int outputCount) {
    double sum = 0.0;
    for (int k = 0; k < outputCount; ++k) {
        double difference = double(t[k]) - o[k];
        sum += difference * difference;
    }
    return sum;
}

void OutputDeltas(const int* t, const double* o, double* delta, int outputCount) {
    for (int k = 0; k < outputCount; ++k) delta[k] = (double(t[k]) - o[k]) * (1.0 - o[k]) * o[k];
}

void HiddenDeltas(const BPNetwork& network, const double* h, const double* outputDelta, double* delta) {
    const int outputCount = network.outputCount;
    for (int j = 0; j < network.hiddenCount; ++j) {
        const double* weights = network.weightHiddenOutput.data() + std::size_t(j) * outputCount;
        double sum = 0.0;
        for (int k = 0; k < outputCount; ++k) sum += weights[k] * outputDelta[k];
        delta[j] = sum * (1.0 - h[j]) * h[j];
    }
}

void UpdateWeights(BPNetwork& network, const double* x, const BPTrainWork& work) {
    const int inputCount = network.inputCount;
    const int hiddenCount = network.hiddenCount;
    const int outputCount = network.outputCount;
    const double* h = work.hidden.data();
    const double* outputDelta = work.outputDelta.data();
    const double* hiddenDelta = work.hiddenDelta.data();
    for (int j = 0; j < hiddenCount; ++j) {
        double* weights = network.weightHiddenOutput.data() + std::size_t(j) * outputCount;
        for (int k = 0; k < outputCount; ++k) weights[k] += kLearningRate * h[j] * outputDelta[k];
    }
    for (int k = 0; k < outputCount; ++k) network.outputThreshold[k] += kLearningRate * outputDelta[k];
    for (int i = 0; i < inputCount; ++i) {
        double* weights = network.weightInputHidden.data() + std::size_t(i) * hiddenCount;
        for (int j = 0; j < hiddenCount; ++j) weights[j] += kLearningRate * x[i] * hiddenDelta[j];
    }
    for (int j = 0; j < hiddenCount; ++j) network.hiddenThreshold[j] += kLearningRate * hiddenDelta[j];
}

// Presents one sample, updates the network and returns the sample's error sum.
double LearnSample(BPNetwork& network, const double* x, const int* t, BPTrainWork& work) {
    BPForward(network, x, work.hidden.data(), work.outputs.data());
    double error = SquaredOutputError(t, work.outputs.data(), network.outputCount);
    OutputDeltas(t, work.outputs.data(), work.outputDelta.data(), network.outputCount);
    HiddenDeltas(network, work.hidden.data(), work.outputDelta.data(), work.hiddenDelta.data());
    UpdateWeights(network, x, work);
    return error;
}

double RunEpoch(BPNetwork& network, const BPSampleSet& samples, BPTrainWork& work) {
    double sum = 0.0;
    for (int s = 0; s < samples.sampleCount; ++s)
        sum += LearnSample(network, samples.Inputs(s), samples.Targets(s), work);
    return 0.5 * sum;
}

double MeasureError(const BPNetwork& network, const BPSampleSet& samples, BPTrainWork& work) {
    double sum = 0.0;
    for (int s = 0; s < samples.sampleCount; ++s) {
        BPForward(network, samples.Inputs(s), work.hidden.data(), work.outputs.data());
        sum += SquaredOutputError(samples.Targets(s), work.outputs.data(), network.outputCount);
    }
    return 0.5 * sum;
}

}  // namespace

void BPTrainWork::Allocate(const BPNetwork& network) {
    hidden.assign(std::size_t(network.hiddenCount), 0.0);
    outputs.assign(std::size_t(network.outputCount), 0.0);
    outputDelta.assign(std::size_t(network.outputCount), 0.0);
    hiddenDelta.assign(std::size_t(network.hiddenCount), 0.0);
    bits.assign(std::size_t(network.outputCount), 0);
}

BPTrainOutcome TrainBPNetwork(BPNetwork& network, const BPSampleSet& samples, int maxIterations,
                              double errorLimit, BPTrainWork& work, const Progress& progress) {
    BPTrainOutcome outcome;
    if (maxIterations <= 0) {
        network.trainError = MeasureError(network, samples, work);
        return outcome;
    }
    do {
        ++outcome.epochs;
        network.trainError = RunEpoch(network, samples, work);
        outcome.converged = network.trainError <= errorLimit;
        ReportProgress(progress, {"epoch", outcome.epochs, maxIterations, network.trainError});
    } while (!outcome.converged && outcome.epochs < maxIterations);
    return outcome;
}

void ComputeClassBits(const BPNetwork& network, const double* x, BPTrainWork& work) {
    BPForward(network, x, work.hidden.data(), work.outputs.data());
    for (int k = 0; k < network.outputCount; ++k)
        work.bits[std::size_t(k)] = work.outputs[std::size_t(k)] > 0.5 ? 1 : 0;
}

BPTraining TrainNetwork(BPNetwork initial, const BPSampleSet& samples, int maxIterations, double errorLimit,
                        const Progress& progress) {
    BPTraining training{std::move(initial), {}};
    BPNetwork& network = training.network;
    BPTrainingSummary& summary = training.summary;
    BPTrainWork work;
    work.Allocate(network);
    const BPTrainOutcome outcome =
        TrainBPNetwork(network, samples, maxIterations, errorLimit, work, progress);
    summary.epochs = outcome.epochs;
    summary.converged = outcome.converged;
    summary.finalError = network.trainError;
    summary.computedBits.assign(MatrixSize(samples.sampleCount, network.outputCount), 0);
    for (int s = 0; s < samples.sampleCount; ++s) {
        ComputeClassBits(network, samples.Inputs(s), work);
        std::copy(work.bits.begin(), work.bits.end(),
                  summary.computedBits.begin() + std::ptrdiff_t(s) * network.outputCount);
        if (std::equal(work.bits.begin(), work.bits.end(), samples.Targets(s))) ++summary.samplesMatched;
    }
    if (samples.sampleCount > 0)
        summary.trainingAccuracy = double(summary.samplesMatched) / samples.sampleCount;
    return training;
}

}  // namespace quarnel
