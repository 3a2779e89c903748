#include "geo/prep.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geo/rows.h"

namespace quarnel::geo {

NormalizeResult NormalizeRaster(const std::string& input, const std::string& output,
                                const WriteOptions& options, int band, const Progress& progress) {
    RefuseOutputsOverInputs({output}, {input});
    const Raster raster = Raster::Open(input);
    const GridFrame& frame = raster.frame();
    NormalizeResult result;
    result.rows = frame.rows;
    result.cols = frame.cols;
    RowStrip strip(raster, band);
    while (strip.Next()) {
        const prep::ValueRange range =
            prep::NonBlankRange(strip.Rows(), strip.count(), frame.cols, kCoreBlank);
        result.range.low = std::min(result.range.low, range.low);
        result.range.high = std::max(result.range.high, range.high);
        result.blanks += prep::CountBlanks(strip.Rows(), strip.count(), frame.cols, kCoreBlank);
        ReportProgress(progress, {"range", strip.first() + strip.count(), frame.rows, 0});
    }
    result.nonFinite = raster.NonFiniteCells(band);
    RasterWriter writer(output, frame, 1, options.noData, options);
    writer.SetBandName(1, raster.BandName(band));
    strip.Restart();
    while (strip.Next()) {
        for (double& v : strip.Values())
            v = prep::IsBlank(v, kCoreBlank) ? std::nan("")
                                             : prep::RescaleToUnit(v, result.range.low, result.range.high);
        writer.WriteRows(1, strip.first(), strip.count(), strip.Values().data());
        ReportProgress(progress, {"row", strip.first() + strip.count(), frame.rows, 0});
    }
    writer.Commit();
    return result;
}

namespace {

// The output grids of window statistics, held whole (a w-th of the input in each direction).
struct BlockGrids {
    int rows = 0;
    int cols = 0;
    std::vector<double> mean;  // north-up
    std::vector<double> deviation;
};

void RescaleOutput(std::vector<double>& values) {
    std::vector<double*> rows{values.data()};
    const prep::ValueRange range = prep::NonBlankRange(rows.data(), 1, int(values.size()), kCoreBlank);
    for (double& v : values)
        v = prep::IsBlank(v, kCoreBlank) ? std::nan("") : prep::RescaleToUnit(v, range.low, range.high);
}

}  // namespace

WindowStatisticsResult WindowStatisticsRaster(const std::string& input, const std::string& meanOutput,
                                              const std::string& deviationOutput, int w,
                                              const WriteOptions& options, int band,
                                              const Progress& progress) {
    if (w <= 0) throw GeoError("the window size " + std::to_string(w) + " is below 1");
    RefuseOutputsOverInputs({meanOutput, deviationOutput}, {input});
    const Raster raster = Raster::Open(input);
    const GridFrame& frame = raster.frame();
    if (w > frame.rows || w > frame.cols)
        throw GeoError(input + ": the window size " + std::to_string(w) + " is larger than the grid of " +
                       std::to_string(frame.rows) + " x " + std::to_string(frame.cols) + " cells");
    BlockGrids blocks;
    blocks.rows = frame.rows / w;
    blocks.cols = frame.cols / w;
    const std::size_t outCells = std::size_t(blocks.rows) * std::size_t(blocks.cols);
    blocks.mean.resize(outCells);
    blocks.deviation.resize(outCells);
    const std::size_t cols = std::size_t(frame.cols);
    std::vector<double> values(std::size_t(w) * cols);
    std::vector<const double*> southFirst(static_cast<std::size_t>(w));
    const int leftover = frame.rows % w;
    for (int i = 0; i < blocks.rows; ++i) {
        // Block row i from the south covers rows [top, top + w) counted from the north.
        const int top = frame.rows - (i + 1) * w;
        raster.ReadRows(band, top, w, values.data());
        for (double& v : values)
            if (std::isnan(v)) v = kCoreBlank;
        for (int k = 0; k < w; ++k)
            southFirst[std::size_t(k)] = values.data() + std::size_t(w - 1 - k) * cols;
        const std::size_t outRow = std::size_t(blocks.rows - 1 - i) * std::size_t(blocks.cols);
        for (int j = 0; j < blocks.cols; ++j) {
            const prep::WindowStatistics s =
                prep::StatisticsOfWindow(southFirst.data(), 0, j * w, w, kCoreBlank);
            blocks.mean[outRow + std::size_t(j)] = s.mean;
            blocks.deviation[outRow + std::size_t(j)] = s.deviation;
        }
        ReportProgress(progress, {"row", std::int64_t(i + 1) * w, frame.rows, 0});
    }
    RescaleOutput(blocks.mean);
    RescaleOutput(blocks.deviation);
    GridFrame out = frame;
    out.rows = blocks.rows;
    out.cols = blocks.cols;
    auto& t = out.geoTransform;
    t[0] += leftover * t[2];
    t[3] += leftover * t[5];
    for (double* element : {&t[1], &t[2], &t[4], &t[5]}) *element *= w;
    RasterWriter mean(meanOutput, out, 1, options.noData, options);
    RasterWriter deviation(deviationOutput, out, 1, options.noData, options);
    mean.WriteRows(1, 0, out.rows, blocks.mean.data());
    deviation.WriteRows(1, 0, out.rows, blocks.deviation.data());
    mean.Commit();
    deviation.Commit();
    return {w, blocks.rows, blocks.cols};
}

}  // namespace quarnel::geo
