#include "jobs/bp/bp_train_job.h"

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "jobs/bp/bp_records.h"
#include "jobs/bp/bp_status.h"
#include "jobs/bp/initial_weights.h"
#include "jobs/bp/network_file.h"
#include "jobs/bp/result_line.h"
#include "jobs/bp/sample_file.h"
#include "jobs/frame/quarnel.h"
#include "formats/grid/same_file.h"
#include "formats/grid/text_sink.h"

namespace quarnel {
namespace {

bool CountsUsable(const BPTrainRequest& request) {
    return request.sampleCount >= 0 && request.inputCount >= 1 && request.hiddenCount >= 1 &&
           request.outputCount >= 1;
}

BPTrainReport Failure(int status, std::string cause) {
    BPTrainReport report;
    report.status = status;
    report.cause = std::move(cause);
    return report;
}

std::string SampleFileCause(const char* path, SampleFileStatus status) {
    const std::string file = path == nullptr ? "the sample file" : path;
    switch (status) {
        case SampleFileStatus::cannot_open:
            return file + ": cannot be opened";
        case SampleFileStatus::not_sample_file:
            return file + ": the first line is not \"BP Training Sample File !!!\"";
        case SampleFileStatus::line_too_long:
            return file + ": a line is longer than any sample line can be";
        case SampleFileStatus::ok:
            break;
    }
    return {};
}

void PutResultLines(TextSink& sink, const BPNetwork& network, const BPSampleSet& samples,
                    const BPTrainingSummary& summary) {
    for (int s = 0; s < samples.sampleCount; ++s) {
        sink.Put(FormatResultLine(s, samples.Targets(s), summary.ComputedBits(s, network.outputCount),
                                  network.outputCount));
    }
}

// Both files are finished before either is put in place, so a training that fails leaves the
// earlier network and result files as they were.
bool WriteOutputs(const BPTrainRequest& request, const BPTraining& training, const BPSampleSet& samples) {
    TextSink networkFile;
    TextSink resultFile;
    if (!networkFile.Open(request.networkFile) || !resultFile.Open(request.resultFile)) return false;
    PutNetwork(networkFile, training.network);
    PutResultLines(resultFile, training.network, samples, training.summary);
    return networkFile.Finish() && resultFile.Finish() && networkFile.Close() && resultFile.Close();
}

BPTrainReport Train(const BPTrainRequest& request, const Progress& progress) {
    BPSampleSet samples;
    BPNetwork network;
    // Everything the counts size, asked for at once: samples, network, the training's work and
    // the computed classes.
    MemoryBudget budget;
    budget.Add(request.sampleCount, request.inputCount, sizeof(double));
    budget.Add(request.sampleCount, request.outputCount, sizeof(int));
    AddNetwork(budget, request.inputCount, request.hiddenCount, request.outputCount);
    budget.Add(2 * std::int64_t(request.hiddenCount) + 3 * std::int64_t(request.outputCount), sizeof(double));
    budget.Add(request.sampleCount, request.outputCount, sizeof(int));
    if (!budget.Fits()) return Failure(kBPTrainFailed, "the samples and the network do not fit memory");
    samples.Allocate(request.sampleCount, request.inputCount, request.outputCount);
    network.Allocate(request.inputCount, request.hiddenCount, request.outputCount);

    const SampleFileStatus read = ReadSampleFile(request.sampleFile, samples);
    if (read != SampleFileStatus::ok)
        return Failure(kBPTrainNoSampleFile, SampleFileCause(request.sampleFile, read));
    // An output must not overwrite the samples it was trained from, nor the other output.
    if (request.networkFile == nullptr || request.resultFile == nullptr)
        return Failure(kBPTrainFailed, "no network or result file named");
    if (SameExistingFile(request.networkFile, request.sampleFile) ||
        SameExistingFile(request.resultFile, request.sampleFile))
        return Failure(kBPTrainFailed, "an output names the sample file " + std::string(request.sampleFile));
    if (SameOutputFile(request.networkFile, request.resultFile))
        return Failure(kBPTrainFailed, "the network and result files are one file");
    DrawInitialWeights(network, request.seed);
    const BPTraining training =
        TrainNetwork(std::move(network), samples, request.maxIterations, request.errorLimit, progress);
    BPTrainReport report;
    report.summary = training.summary;
    if (!WriteOutputs(request, training, samples)) {
        report.cause = "cannot write " + std::string(request.networkFile) + " or " + request.resultFile;
        return report;
    }
    report.status = kBPTrainDone;
    return report;
}

}  // namespace

BPTrainReport RunBPTrain(const BPTrainRequest& request, const Progress& progress) noexcept {
    try {
        if (!CountsUsable(request))
            return Failure(kBPTrainFailed, "the sample count is negative or a layer has no node");
        return Train(request, progress);
    } catch (const Stopped& stopped) {
        BPTrainReport report = Failure(kBPTrainFailed, stopped.what());
        report.stopped = true;
        return report;
    } catch (const std::bad_alloc&) {
        return Failure(kBPTrainFailed, "out of memory");  // short enough to need no memory
    } catch (const std::exception&) {
        return Failure(kBPTrainFailed, "too many values");
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
