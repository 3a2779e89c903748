#include "geo/logistic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>

#include "geo/analysis.h"
#include "geo/layer_strips.h"

namespace quarnel::geo {

namespace {

void RefuseBadRequest(const LogisticRasterRequest& request) {
    if (request.evidence.empty()) throw GeoError("logistic regression: no evidence rasters named");
    for (const std::string& output : {request.output, request.stdErrorOutput})
        for (const std::string& input : request.evidence)
            if (output == input)
                throw GeoError(output + " is the input " + input + "; it is not overwritten");
    if (request.allCells && (request.samples.background >= 0 || request.samples.minDistance > 0))
        throw GeoError(
            "logistic regression: samples all takes every cell with data, so a background count "
            "or a minimum distance (which shape a drawn background) cannot apply");
}

// The drawn samples, one row each.
logistic::Table DrawnSamples(const LogisticRasterRequest& request, LogisticRasterResult& result,
                             const Progress& progress) {
    SampleOptions drawn = request.samples;
    drawn.rescaled = false;
    const BpSamples samples = MakeBpSamples(request.evidence, request.deposits, drawn, request.depositsName,
                                            "background", progress);
    result.samples = samples.count;
    result.backgroundCells = samples.cellsWithData - samples.count.deposits.cells;
    logistic::Table table;
    table.x = samples.set.inputs;
    for (const int t : samples.set.targets) {
        table.ones.push_back(t);
        table.zeros.push_back(1 - t);
    }
    return table;
}

// Every cell with data, the deposit cells 1, pooled by condition.
logistic::Table EveryCell(const LogisticRasterRequest& request, LayerStrips& layers,
                          LogisticRasterResult& result, const Progress& progress) {
    std::vector<Cell> deposits;
    for (const ModelUnit& unit : ModelUnitsOf(request.evidence, request.deposits, result.samples.deposits))
        deposits.push_back(unit.cell);  // in cell order
    if (deposits.empty())
        throw GeoError(request.depositsName +
                       ": no deposit lies on a cell where every evidence layer holds data");
    result.samples.inputs = int(layers.size());
    logistic::Pool pool(layers.size(), kMaxConditions);
    std::vector<double> values(layers.size());
    const int cols = layers.frame().cols;
    auto next = deposits.begin();
    std::int64_t cells = 0;
    try {
        while (layers.Next()) {
            const std::size_t n = std::size_t(layers.count()) * std::size_t(cols);
            for (std::size_t c = 0; c < n; ++c) {
                if (!layers.Cell(c, values)) continue;
                const Cell cell{layers.first() + int(c / std::size_t(cols)), int(c % std::size_t(cols))};
                while (next != deposits.end() && *next < cell) ++next;
                pool.Add(values.data(), next != deposits.end() && *next == cell);
                ++cells;
            }
            ReportProgress(progress, {"pool", layers.first() + layers.count(), layers.frame().rows, 0});
        }
    } catch (const std::length_error& error) {
        throw GeoError(std::string("logistic regression: samples all: ") + error.what() +
                       " among the cells; it pools cells of equal inputs, so it suits layers of classes: "
                       "take samples background for continuous layers");
    }
    layers.Restart();
    result.backgroundCells = cells - std::int64_t(deposits.size());
    result.samples.background = int(std::min<std::int64_t>(result.backgroundCells, INT32_MAX));
    return std::move(pool).Take();
}

}  // namespace

LogisticRasterResult FitLogisticRasters(const LogisticRasterRequest& request, const WriteOptions& options,
                                        const Progress& progress) {
    RefuseBadRequest(request);
    const std::vector<std::string> layerNames = LayerNames(request.evidence);
    LayerStrips layers(request.evidence);
    LogisticRasterResult result;
    double start = ProcessorSeconds();
    const logistic::Table samples = request.allCells ? EveryCell(request, layers, result, progress)
                                                     : DrawnSamples(request, result, progress);
    result.seconds.samples = ProcessorSeconds() - start;
    start = ProcessorSeconds();
    result.conditions = std::int64_t(samples.Rows());
    std::optional<logistic::Columns> columns;
    try {
        columns.emplace(samples.x, layerNames, request.categorical);
        result.fit =
            logistic::FitLogisticTable(columns->Expanded(samples), columns->Names(), request.fit, progress);
    } catch (const std::invalid_argument& error) {
        throw GeoError(std::string("logistic regression: ") + error.what());
    } catch (const std::domain_error& error) {
        throw GeoError(std::string("logistic regression: ") + error.what());
    }
    if (!request.allCells && result.backgroundCells > 0 && result.samples.background > 0)
        result.interceptCorrection =
            std::log(double(result.samples.background) / double(result.backgroundCells));

    result.seconds.fit = ProcessorSeconds() - start;
    start = ProcessorSeconds();
    const GridFrame& frame = layers.frame();
    RasterWriter probability(request.output, frame, 1, std::nullopt, options);
    RasterWriter stdError(request.stdErrorOutput, frame, 1, std::nullopt, options);
    probability.SetBandName(1, "probability");
    stdError.SetBandName(1, "std_error");
    std::vector<double> values(layers.size()), inputs(columns->Inputs());
    std::vector<double> p, se;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    while (layers.Next()) {
        const std::size_t n = std::size_t(layers.count()) * std::size_t(frame.cols);
        p.resize(n);
        se.resize(n);
        for (std::size_t c = 0; c < n; ++c) {
            const bool hasData = layers.Cell(c, values);
            if (!hasData || !columns->Expand(values.data(), inputs.data())) {
                p[c] = se[c] = nan;
                ++result.blank;
                result.unseenClass += hasData;
                continue;
            }
            const logistic::Prediction found =
                logistic::Predict(result.fit, inputs.data(), result.interceptCorrection);
            p[c] = found.probability;
            se[c] = found.stdError;
            ++result.predicted;
        }
        probability.WriteRows(1, layers.first(), layers.count(), p.data());
        stdError.WriteRows(1, layers.first(), layers.count(), se.data());
        ReportProgress(progress, {"row", layers.first() + layers.count(), frame.rows, 0});
    }
    probability.Commit();
    stdError.Commit();
    result.seconds.map = ProcessorSeconds() - start;
    return result;
}

}  // namespace quarnel::geo
