#include "bp/bp_train_job.h"

#include <exception>

#include "bp/bp_records.h"
#include "bp/bp_status.h"
#include "bp/bp_training.h"
#include "bp/initial_weights.h"
#include "bp/network_file.h"
#include "bp/result_line.h"
#include "bp/sample_file.h"
#include "frame/quarnel.h"
#include "grid/same_file.h"
#include "grid/text_sink.h"

namespace quarnel {
namespace {

bool CountsUsable(const BPTrainRequest& request) {
    return request.sampleCount >= 0 && request.inputCount >= 1 && request.hiddenCount >= 1 &&
           request.outputCount >= 1;
}

void PutResultLines(TextSink& sink, const BPNetwork& network, const BPSampleSet& samples, BPTrainWork& work) {
    for (int s = 0; s < samples.sampleCount; ++s) {
        ComputeClassBits(network, samples.Inputs(s), work);
        sink.Put(FormatResultLine(s, samples.Targets(s), work.bits.data(), network.outputCount));
    }
}

// Both files are finished before either is put in place, so a training that fails leaves the
// earlier network and result files as they were.
bool WriteOutputs(const BPTrainRequest& request, const BPNetwork& network, const BPSampleSet& samples,
                  BPTrainWork& work) {
    TextSink networkFile;
    TextSink resultFile;
    if (!networkFile.Open(request.networkFile) || !resultFile.Open(request.resultFile)) return false;
    PutNetwork(networkFile, network);
    PutResultLines(resultFile, network, samples, work);
    return networkFile.Finish() && resultFile.Finish() && networkFile.Close() && resultFile.Close();
}

BPTrainReport Train(const BPTrainRequest& request) {
    BPTrainReport report;
    BPSampleSet samples;
    BPNetwork network;
    BPTrainWork work;
    // Everything the counts size, asked for at once: samples, network and the training's work.
    MemoryBudget budget;
    budget.Add(request.sampleCount, request.inputCount, sizeof(double));
    budget.Add(request.sampleCount, request.outputCount, sizeof(int));
    AddNetwork(budget, request.inputCount, request.hiddenCount, request.outputCount);
    budget.Add(2 * std::int64_t(request.hiddenCount) + 3 * std::int64_t(request.outputCount), sizeof(double));
    if (!budget.Fits()) return report;
    samples.Allocate(request.sampleCount, request.inputCount, request.outputCount);
    network.Allocate(request.inputCount, request.hiddenCount, request.outputCount);
    work.Allocate(network);

    if (ReadSampleFile(request.sampleFile, samples) != SampleFileStatus::ok) {
        report.status = kBPTrainNoSampleFile;
        return report;
    }
    // An output must not overwrite the samples it was trained from, nor the other output.
    if (request.networkFile == nullptr || request.resultFile == nullptr ||
        SameExistingFile(request.networkFile, request.sampleFile) ||
        SameExistingFile(request.resultFile, request.sampleFile) ||
        SameOutputFile(request.networkFile, request.resultFile)) {
        return report;
    }
    DrawInitialWeights(network);
    BPTrainOutcome outcome =
        TrainBPNetwork(network, samples, request.maxIterations, request.errorLimit, work);
    report.epochs = outcome.epochs;
    report.converged = outcome.converged;
    report.trainError = network.trainError;

    if (!WriteOutputs(request, network, samples, work)) return report;
    report.status = kBPTrainDone;
    return report;
}

}  // namespace

BPTrainReport RunBPTrain(const BPTrainRequest& request) noexcept {
    if (!CountsUsable(request)) return {};
    try {
        return Train(request);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace quarnel

extern "C" QUARNEL_API int QUARNEL_CALL OnBPTrain(const char* sampleFile, const char* networkFile,
                                                  const char* resultFile, int sampleCount, int inputCount,
                                                  int hiddenCount, int outputCount, int maxIterations,
                                                  double errorLimit) {
    quarnel::BPTrainRequest request{sampleFile,  networkFile, resultFile,    sampleCount, inputCount,
                                    hiddenCount, outputCount, maxIterations, errorLimit};
    return quarnel::RunBPTrain(request).status;
}
