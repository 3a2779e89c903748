#include "geo/bp.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <random>

#include "formats/grid/text_sink.h"
#include "geo/parallel.h"
#include "geo/rows.h"
#include "jobs/bp/initial_weights.h"
#include "jobs/bp/network_file.h"
#include "jobs/bp/result_line.h"
#include "quarnel/bp.h"

namespace quarnel::geo {

namespace {

// One network input: a band of an open raster.
struct InputBand {
    const Raster* raster;
    int band;
};

BPNetwork ReadNetwork(const std::string& path) {
    BPNetwork network;
    if (const NetworkFileStatus status = ReadNetworkFile(path.c_str(), network);
        status != NetworkFileStatus::ok)
        throw GeoError(path + ": " + NetworkFileStatusText(status));
    return network;
}

// The running ranges of the core's rescaling: input i's range folded into those before it.
// Progress hears ("range", rows read of all inputs) from one thread at a time.
std::vector<InputRange> RunningRanges(const std::vector<InputBand>& bands, int rows,
                                      const Progress& progress) {
    std::mutex reporting;
    std::int64_t rowsRead = 0;
    const auto report = [&](int count) {
        const std::lock_guard lock(reporting);
        rowsRead += count;
        ReportProgress(progress, {"range", rowsRead, std::int64_t(rows) * std::int64_t(bands.size()), 0});
    };
    // Each input's own range, the rasters read side by side (a raster's bands on one thread).
    std::vector<InputRange> own(bands.size());
    std::vector<const Raster*> rasters;
    for (const InputBand& input : bands)
        if (std::find(rasters.begin(), rasters.end(), input.raster) == rasters.end())
            rasters.push_back(input.raster);
    Parallel(rasters.size(), [&](std::size_t r) {
        for (std::size_t i = 0; i < bands.size(); ++i) {
            if (bands[i].raster != rasters[r]) continue;
            RowStrip strip(*bands[i].raster, bands[i].band);
            while (strip.Next()) {
                FoldInputRange(strip.Values().data(), strip.Values().size(), 1, kCoreBlank, own[i]);
                report(strip.count());
            }
        }
    });
    std::vector<InputRange> ranges;
    InputRange running;
    for (const InputRange& range : own) {
        if (range.lo <= range.hi) {
            const double extremes[] = {range.lo, range.hi};
            FoldInputRange(extremes, 2, 1, kCoreBlank, running);
        }
        ranges.push_back(running);
    }
    return ranges;
}

}  // namespace

ClassifyResult ClassifyRasters(const std::string& networkPath, const std::vector<std::string>& inputs,
                               const std::string& output, const WriteOptions& options,
                               const Progress& progress, const std::string& favourability) {
    if (inputs.empty()) throw GeoError("no input rasters named");
    std::vector<std::string> files = inputs;
    files.push_back(networkPath);
    RefuseOutputsOverInputs({output}, files);
    const BPNetwork network = ReadNetwork(networkPath);
    std::vector<std::unique_ptr<Raster>> rasters;
    std::vector<InputBand> bands;
    for (const std::string& path : inputs) {
        rasters.push_back(std::make_unique<Raster>(Raster::Open(path)));
        RequireSameFrame(inputs.front(), rasters.front()->frame(), path, rasters.back()->frame());
        for (int b = 1; b <= rasters.back()->BandCount(); ++b) bands.push_back({rasters.back().get(), b});
    }
    if (int(bands.size()) != network.inputCount)
        throw GeoError(networkPath + ": the network takes " + std::to_string(network.inputCount) +
                       " inputs, but the rasters give " + std::to_string(bands.size()) + " bands");
    const GridFrame& frame = rasters.front()->frame();
    const std::vector<InputRange> ranges = RunningRanges(bands, frame.rows, progress);

    const std::size_t inputCount = bands.size();
    std::vector<RowStrip> strips;
    strips.reserve(inputCount);
    for (const InputBand& input : bands) strips.emplace_back(*input.raster, input.band);
    RasterWriter writer(output, frame, 1, options.noData, options);
    writer.SetBandName(1, "class");
    std::unique_ptr<RasterWriter> outputWriter;
    if (!favourability.empty()) {
        outputWriter = std::make_unique<RasterWriter>(favourability, frame, 1, std::nullopt, options);
        outputWriter->SetBandName(1, "favourability");
    }
    ClassifyResult result{frame.rows, frame.cols, network.inputCount, {}};
    std::vector<BPClassWork> works(ParallelWidth());
    for (BPClassWork& work : works) work.Allocate(network);
    std::vector<double> matrix;
    std::vector<int> classes;
    std::vector<double> values;
    std::vector<double> outputs;
    while (true) {
        // The rasters read side by side; a raster's bands share its dataset, so one thread each.
        std::vector<char> read(strips.size());
        Parallel(rasters.size(), [&](std::size_t r) {
            for (std::size_t k = 0; k < strips.size(); ++k)
                if (bands[k].raster == rasters[r].get()) read[k] = strips[k].Next();
        });
        if (std::find(read.begin(), read.end(), 0) != read.end()) break;
        const std::size_t cells = strips.front().Values().size();
        matrix.resize(cells * inputCount);
        for (std::size_t i = 0; i < inputCount; ++i) {
            const double* column = strips[i].Values().data();
            for (std::size_t c = 0; c < cells; ++c) matrix[c * inputCount + i] = column[c];
            ScaleInputColumn(matrix.data() + i, cells, inputCount, kCoreBlank, ranges[i]);
        }
        classes.resize(cells);
        outputs.resize(cells);
        // Every cell's class is its own arithmetic, so the strip is split among the cores.
        const std::size_t parts = works.size();
        Parallel(parts, [&](std::size_t p) {
            const std::size_t begin = cells * p / parts;
            const std::size_t end = cells * (p + 1) / parts;
            ClassifyRowWithOutput(network, matrix.data() + begin * inputCount, end - begin, kCoreBlank,
                                  classes.data() + begin, outputs.data() + begin, works[p]);
        });
        values.resize(cells);
        for (std::size_t c = 0; c < cells; ++c) {
            ++result.classCounts[classes[c]];
            values[c] = classes[c] == 1 ? std::nan("") : double(classes[c]);
        }
        writer.WriteRows(1, strips.front().first(), strips.front().count(), values.data());
        if (outputWriter)
            outputWriter->WriteRows(1, strips.front().first(), strips.front().count(), outputs.data());
        ReportProgress(progress, {"row", strips.front().first() + strips.front().count(), frame.rows, 0});
    }
    writer.Commit();
    if (outputWriter) outputWriter->Commit();
    return result;
}

namespace {

// The design's initial weights (jobs/bp/initial_weights.h), each raw value drawn from random in the
// C runtime's range 0..32767 rather than from the process's rand(), so calls never share a state.
void DrawOwnInitialWeights(BPNetwork& network, std::uint64_t seed) {
    std::mt19937 random{std::uint32_t(seed)};
    const auto draw = [&](std::vector<double>& values) {
        for (double& v : values) v = double(random() >> 17);
    };
    draw(network.hiddenThreshold);
    draw(network.outputThreshold);
    draw(network.weightInputHidden);
    draw(network.weightHiddenOutput);
    ScaleThresholdGroup(network.hiddenThreshold.data(), network.hiddenThreshold.size());
    ScaleThresholdGroup(network.outputThreshold.data(), network.outputThreshold.size());
    ScaleWeightRows(network.weightInputHidden.data(), std::size_t(network.inputCount),
                    std::size_t(network.hiddenCount));
    ScaleWeightRows(network.weightHiddenOutput.data(), std::size_t(network.hiddenCount),
                    std::size_t(network.outputCount));
}

void WriteResultLines(const BPTraining& training, const BPSampleSet& samples, const std::string& path) {
    TextSink sink;
    if (!sink.Open(path.c_str())) throw GeoError(path + ": cannot be created");
    for (int s = 0; s < samples.sampleCount; ++s)
        sink.Put(FormatResultLine(s, samples.Targets(s), training.summary.ComputedBits(s, 1), 1));
    if (!sink.Close()) throw GeoError(path + ": cannot be written");
}

}  // namespace

BPTraining TrainBpOnSamples(const BPSampleSet& samples, const BpTrainOptions& options,
                            const Progress& progress) {
    BPNetwork initial;
    initial.Allocate(samples.inputCount, options.hidden > 0 ? options.hidden : samples.inputCount + 1,
                     samples.outputCount);
    DrawOwnInitialWeights(initial, options.seed);
    const BPTrainOrder order{options.shuffle, options.seed + 1, options.balance};
    return TrainNetwork(std::move(initial), samples, options.maxIterations, options.errorLimit, order,
                        progress);
}

BpTrainResult TrainBpOnRasters(const std::vector<std::string>& evidence, const std::vector<Point>& deposits,
                               const SampleOptions& sampleOptions, const BpTrainOptions& options,
                               const std::string& networkPath, const std::string& samplesPath,
                               const std::string& resultPath, const Progress& progress) {
    const BpSamples samples =
        MakeBpSamples(evidence, deposits, sampleOptions, "the deposits", "the background", progress);
    if (!samplesPath.empty()) WriteSampleFile(samples.set, samplesPath);
    BpTrainResult result;
    result.samples = samples.count;
    result.inputs = samples.set.inputCount;
    const BPTraining training = TrainBpOnSamples(samples.set, options, progress);
    result.hidden = training.network.hiddenCount;
    if (!WriteNetworkFile(networkPath.c_str(), training.network))
        throw GeoError(networkPath + ": cannot be written");
    if (!resultPath.empty()) WriteResultLines(training, samples.set, resultPath);
    result.training = training.summary;
    return result;
}

}  // namespace quarnel::geo
