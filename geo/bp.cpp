#include "geo/bp.h"

#include <cmath>
#include <memory>

#include "bp/network_file.h"
#include "geo/rows.h"
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
    switch (ReadNetworkFile(path.c_str(), network)) {
        case NetworkFileStatus::ok:
            return network;
        case NetworkFileStatus::cannot_open:
            throw GeoError(path + ": cannot be opened");
        case NetworkFileStatus::bad_counts:
            throw GeoError(path + ": not a network file (bad counts on line 1)");
        case NetworkFileStatus::line_too_long:
            throw GeoError(path + ": a line longer than a network file's");
    }
    throw GeoError(path + ": cannot be read");
}

// The running ranges of the core's rescaling: input i's range folded into those before it.
std::vector<InputRange> RunningRanges(const std::vector<InputBand>& bands) {
    std::vector<InputRange> ranges;
    InputRange running;
    for (const InputBand& input : bands) {
        InputRange own;
        RowStrip strip(*input.raster, input.band);
        while (strip.Next()) FoldInputRange(strip.Values().data(), strip.Values().size(), 1, kCoreBlank, own);
        if (own.lo <= own.hi) {
            const double extremes[] = {own.lo, own.hi};
            FoldInputRange(extremes, 2, 1, kCoreBlank, running);
        }
        ranges.push_back(running);
    }
    return ranges;
}

}  // namespace

ClassifyResult ClassifyRasters(const std::string& networkPath, const std::vector<std::string>& inputs,
                               const std::string& output, const WriteOptions& options,
                               const Progress& progress) {
    if (inputs.empty()) throw GeoError("no input rasters named");
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
    const std::vector<InputRange> ranges = RunningRanges(bands);

    const std::size_t inputCount = bands.size();
    std::vector<RowStrip> strips;
    for (const InputBand& input : bands) strips.emplace_back(*input.raster, input.band);
    RasterWriter writer(output, frame, 1, 1.0, options);
    writer.SetBandName(1, "class");
    ClassifyResult result{frame.rows, frame.cols, network.inputCount, {}};
    BPClassWork work;
    work.Allocate(network);
    std::vector<double> matrix;
    std::vector<int> classes;
    std::vector<double> values;
    while (true) {
        bool more = true;
        for (RowStrip& strip : strips) more = strip.Next() && more;
        if (!more) break;
        const std::size_t cells = strips.front().Values().size();
        matrix.resize(cells * inputCount);
        for (std::size_t i = 0; i < inputCount; ++i) {
            const double* column = strips[i].Values().data();
            for (std::size_t c = 0; c < cells; ++c) matrix[c * inputCount + i] = column[c];
            ScaleInputColumn(matrix.data() + i, cells, inputCount, kCoreBlank, ranges[i]);
        }
        classes.resize(cells);
        ClassifyRow(network, matrix.data(), cells, kCoreBlank, classes.data(), work);
        values.resize(cells);
        for (std::size_t c = 0; c < cells; ++c) {
            ++result.classCounts[classes[c]];
            values[c] = classes[c] == 1 ? std::nan("") : double(classes[c]);
        }
        writer.WriteRows(1, strips.front().first(), strips.front().count(), values.data());
        if (progress) progress({"row", strips.front().first() + strips.front().count(), frame.rows, 0});
    }
    writer.Commit();
    return result;
}

}  // namespace quarnel::geo
