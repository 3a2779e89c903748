#include "geo/logistic.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
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

// The deposit cells where every layer holds data, in cell order.
std::vector<Cell> DepositCells(const LogisticRasterRequest& request, LogisticRasterResult& result) {
    std::vector<Cell> deposits;
    for (const ModelUnit& unit : ModelUnitsOf(request.evidence, request.deposits, result.samples.deposits))
        deposits.push_back(unit.cell);
    if (deposits.empty())
        throw GeoError(request.depositsName +
                       ": no deposit lies on a cell where every evidence layer holds data");
    return deposits;
}

// Calls visit(values, deposit) for every cell with data, strip after strip from the first, each
// strip reported as rows done; returns the cells visited. deposits: in cell order.
template <typename Visit>
std::int64_t VisitCells(LayerStrips& layers, const std::vector<Cell>& deposits, const Progress& progress,
                        Visit&& visit) {
    std::vector<double> values(layers.size());
    const int cols = layers.frame().cols;
    auto next = deposits.begin();
    std::int64_t cells = 0;
    layers.Restart();
    while (layers.Next()) {
        const std::size_t n = std::size_t(layers.count()) * std::size_t(cols);
        for (std::size_t c = 0; c < n; ++c) {
            if (!layers.Cell(c, values)) continue;
            const Cell cell{layers.first() + int(c / std::size_t(cols)), int(c % std::size_t(cols))};
            while (next != deposits.end() && *next < cell) ++next;
            visit(values.data(), next != deposits.end() && *next == cell);
            ++cells;
        }
        ReportProgress(progress, {"row", layers.first() + layers.count(), layers.frame().rows, 0});
    }
    layers.Restart();
    return cells;
}

// Every cell pooled by condition and fitted as that table; none when the cells hold more than
// request.maxConditions conditions.
std::optional<logistic::Columns> FitPooledCells(const LogisticRasterRequest& request,
                                                const std::vector<std::string>& layerNames,
                                                LayerStrips& layers, const std::vector<Cell>& deposits,
                                                LogisticRasterResult& result, const Progress& progress) {
    logistic::Pool pool(layers.size(), request.maxConditions);
    std::int64_t cells = 0;
    try {
        cells = VisitCells(layers, deposits, progress,
                           [&pool](const double* values, bool deposit) { pool.Add(values, deposit); });
    } catch (const std::length_error&) {
        return std::nullopt;
    }
    const logistic::Table table = std::move(pool).Take();
    logistic::Columns columns(table.x, layerNames, request.categorical);
    result.fit = logistic::FitLogisticTable(columns.Expanded(table), columns.Names(), request.fit, progress);
    result.conditions = std::int64_t(table.Rows());
    result.backgroundCells = cells - std::int64_t(deposits.size());
    return columns;
}

// The columns of every cell: a pass over the cells gathers the classes of the categorical layers.
logistic::Columns ColumnsOfCells(const LogisticRasterRequest& request,
                                 const std::vector<std::string>& layerNames, LayerStrips& layers,
                                 const std::vector<Cell>& deposits, const Progress& progress) {
    logistic::ClassGathering gathering(layerNames, request.categorical);
    if (!request.categorical.empty())
        VisitCells(layers, deposits, progress,
                   [&gathering](const double* values, bool) { gathering.Add(values); });
    return std::move(gathering).Finish();
}

// Every cell a row of the fit, read again strip by strip at every pass and handed on in batches
// of at most kBatchRows: memory holds a strip and a batch, however large the rasters.
logistic::Columns FitStreamedCells(const LogisticRasterRequest& request,
                                   const std::vector<std::string>& layerNames, LayerStrips& layers,
                                   const std::vector<Cell>& deposits, LogisticRasterResult& result,
                                   const Progress& progress) {
    constexpr std::size_t kBatchRows = std::size_t(1) << 16;
    logistic::Columns columns = ColumnsOfCells(request, layerNames, layers, deposits, progress);
    const std::size_t inputs = columns.Inputs();
    std::vector<double> x, ones, zeros;
    x.reserve(kBatchRows * inputs);
    ones.reserve(kBatchRows);
    zeros.reserve(kBatchRows);
    std::int64_t cells = 0;
    const logistic::RowSource everyCell = [&](const std::function<void(const logistic::Rows&)>& take) {
        const auto hand = [&] {
            take({x.data(), ones.data(), zeros.data(), ones.size()});
            x.clear();
            ones.clear();
            zeros.clear();
        };
        x.clear();
        ones.clear();
        zeros.clear();
        cells = VisitCells(layers, deposits, progress, [&](const double* values, bool deposit) {
            x.resize(x.size() + inputs);
            // The classes are those of the first pass over these same cells.
            if (!columns.Expand(values, x.data() + x.size() - inputs))
                throw std::invalid_argument(
                    "a cell holds a class the first pass over the cells did not meet");
            ones.push_back(deposit ? 1 : 0);
            zeros.push_back(deposit ? 0 : 1);
            if (ones.size() == kBatchRows) hand();
        });
        hand();
    };
    result.fit = logistic::FitLogisticRows(everyCell, columns.Names(), request.fit, progress);
    result.conditions = cells;
    result.backgroundCells = cells - std::int64_t(deposits.size());
    return columns;
}

// Every cell with data as a sample, the deposit cells 1: pooled by condition while the conditions
// are few enough (layers of classes), else fitted by passes over the cells (continuous layers).
logistic::Columns FitEveryCell(const LogisticRasterRequest& request,
                               const std::vector<std::string>& layerNames, LayerStrips& layers,
                               LogisticRasterResult& result, const Progress& progress) {
    const std::vector<Cell> deposits = DepositCells(request, result);
    result.samples.inputs = int(layers.size());
    std::optional<logistic::Columns> pooled =
        FitPooledCells(request, layerNames, layers, deposits, result, progress);
    logistic::Columns columns =
        pooled ? std::move(*pooled)
               : FitStreamedCells(request, layerNames, layers, deposits, result, progress);
    result.samples.background = int(std::min<std::int64_t>(result.backgroundCells, INT32_MAX));
    return columns;
}

}  // namespace

LogisticRasterResult FitLogisticRasters(const LogisticRasterRequest& request, const WriteOptions& options,
                                        const Progress& progress) {
    RefuseBadRequest(request);
    const std::vector<std::string> layerNames = LayerNames(request.evidence);
    LayerStrips layers(request.evidence);
    LogisticRasterResult result;
    std::optional<logistic::Columns> columns;
    double start = ProcessorSeconds();
    try {
        if (request.allCells) {
            columns.emplace(FitEveryCell(request, layerNames, layers, result, progress));
        } else {
            const logistic::Table samples = DrawnSamples(request, result, progress);
            result.seconds.samples = ProcessorSeconds() - start;
            start = ProcessorSeconds();
            result.conditions = std::int64_t(samples.Rows());
            columns.emplace(samples.x, layerNames, request.categorical);
            result.fit = logistic::FitLogisticTable(columns->Expanded(samples), columns->Names(), request.fit,
                                                    progress);
        }
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
