#include <algorithm>
#include <cstddef>
#include <numeric>
#include <random>
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

// Presents one sample, updates the network by weight times its gradient (1: the plain step) and
// returns the sample's error sum.
double LearnSample(BPNetwork& network, const double* x, const int* t, double weight, BPTrainWork& work) {
    BPForward(network, x, work.hidden.data(), work.outputs.data());
    double error = SquaredOutputError(t, work.outputs.data(), network.outputCount);
    OutputDeltas(t, work.outputs.data(), work.outputDelta.data(), network.outputCount);
    if (weight != 1.0)
        for (double& delta : work.outputDelta) delta *= weight;
    HiddenDeltas(network, work.hidden.data(), work.outputDelta.data(), work.hiddenDelta.data());
    UpdateWeights(network, x, work);
    return error;
}

// The order and weights of an epoch's samples; empty order: sample order, empty weights: 1 each.
struct Presentation {
    std::vector<int> order;
    std::vector<double> weights;
    std::mt19937_64 random;
};

Presentation PresentationOf(const BPSampleSet& samples, const BPTrainOrder& options) {
    Presentation presentation{{}, {}, std::mt19937_64(options.seed)};
    if (options.shuffle) {
        presentation.order.resize(std::size_t(samples.sampleCount));
        std::iota(presentation.order.begin(), presentation.order.end(), 0);
    }
    if (options.balance && samples.outputCount > 0 && samples.sampleCount > 0) {
        int ones = 0;
        for (int s = 0; s < samples.sampleCount; ++s) ones += samples.Targets(s)[0] == 1 ? 1 : 0;
        const int zeros = samples.sampleCount - ones;
        // Both kinds present: each kind's weights add up to half the sample count.
        if (ones > 0 && zeros > 0) {
            const double half = 0.5 * samples.sampleCount;
            presentation.weights.resize(std::size_t(samples.sampleCount));
            for (int s = 0; s < samples.sampleCount; ++s)
                presentation.weights[std::size_t(s)] =
                    samples.Targets(s)[0] == 1 ? half / ones : half / zeros;
        }
    }
    return presentation;
}

double RunEpoch(BPNetwork& network, const BPSampleSet& samples, Presentation& presentation,
                BPTrainWork& work) {
    if (!presentation.order.empty())
        std::shuffle(presentation.order.begin(), presentation.order.end(), presentation.random);
    double sum = 0.0;
    for (int n = 0; n < samples.sampleCount; ++n) {
        const int s = presentation.order.empty() ? n : presentation.order[std::size_t(n)];
        const double weight = presentation.weights.empty() ? 1.0 : presentation.weights[std::size_t(s)];
        sum += LearnSample(network, samples.Inputs(s), samples.Targets(s), weight, work);
    }
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
    return TrainBPNetwork(network, samples, maxIterations, errorLimit, BPTrainOrder{}, work, progress);
}

BPTrainOutcome TrainBPNetwork(BPNetwork& network, const BPSampleSet& samples, int maxIterations,
                              double errorLimit, const BPTrainOrder& order, BPTrainWork& work,
                              const Progress& progress) {
    BPTrainOutcome outcome;
    if (maxIterations <= 0) {
        network.trainError = MeasureError(network, samples, work);
        return outcome;
    }
    Presentation presentation = PresentationOf(samples, order);
    do {
        ++outcome.epochs;
        network.trainError = RunEpoch(network, samples, presentation, work);
        outcome.epochErrors.push_back(network.trainError);
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
    return TrainNetwork(std::move(initial), samples, maxIterations, errorLimit, BPTrainOrder{}, progress);
}

BPTraining TrainNetwork(BPNetwork initial, const BPSampleSet& samples, int maxIterations, double errorLimit,
                        const BPTrainOrder& order, const Progress& progress) {
    BPTraining training{std::move(initial), {}};
    BPNetwork& network = training.network;
    BPTrainingSummary& summary = training.summary;
    BPTrainWork work;
    work.Allocate(network);
    BPTrainOutcome outcome =
        TrainBPNetwork(network, samples, maxIterations, errorLimit, order, work, progress);
    summary.epochs = outcome.epochs;
    summary.converged = outcome.converged;
    summary.finalError = network.trainError;
    summary.epochErrors = std::move(outcome.epochErrors);
    if (samples.sampleCount > 0 && network.outputCount > 0)
        summary.meanSquaredError =
            2.0 * network.trainError / (double(samples.sampleCount) * double(network.outputCount));
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
