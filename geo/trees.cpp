#include "geo/trees.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "geo/layer_strips.h"

namespace quarnel::geo {

namespace {

// The model's scores on the samples it learnt from.
trees::Scores TrainingScores(const trees::Model& model, const BpSamples& samples) {
    const std::vector<float> values(samples.set.inputs.begin(), samples.set.inputs.end());
    std::vector<double> p(samples.set.targets.size());
    model.Predict(values.data(), p.size(), p.data());
    return trees::Score(p, samples.set.targets);
}

// ln(sampled / backgroundCells): the log-odds' shift from the samples' balance of deposits and
// background to the study area's, 0 when every background cell is a sample.
double InterceptCorrection(int sampled, std::int64_t backgroundCells) {
    if (backgroundCells <= 0 || sampled <= 0) return 0;
    return std::log(double(sampled) / double(backgroundCells));
}

}  // namespace

TreesRasterResult FitTreesRasters(const TreesRasterRequest& request, const WriteOptions& options,
                                  const Progress& progress) {
    if (request.evidence.empty()) throw GeoError("trees: no evidence rasters named");
    for (const std::string& input : request.evidence)
        if (request.output == input)
            throw GeoError(request.output + " is the input " + input + "; it is not overwritten");
    SampleOptions drawn = request.samples;
    drawn.rescaled = false;
    double start = ProcessorSeconds();
    const BpSamples samples = MakeBpSamples(request.evidence, request.deposits, drawn, request.depositsName,
                                            "background", progress);
    const double drawing = ProcessorSeconds() - start;
    start = ProcessorSeconds();
    const std::vector<std::string> names = LayerNames(request.evidence);
    std::optional<trees::Trained> trained;
    try {
        trained.emplace(trees::TrainWithFolds(samples.set.inputs, samples.set.targets, names, request.model,
                                              request.folds.value_or(0), progress));
    } catch (const Stopped&) {
        throw;
    } catch (const std::invalid_argument& error) {
        throw GeoError(std::string("trees: ") + error.what());
    } catch (const std::runtime_error& error) {
        throw GeoError(std::string("trees: ") + error.what());
    }
    const std::int64_t backgroundCells = samples.cellsWithData - samples.count.deposits.cells;
    TreesRasterResult result{samples.count,
                             std::move(trained->model),
                             {},
                             std::move(trained->folds),
                             backgroundCells,
                             InterceptCorrection(samples.count.background, backgroundCells),
                             0,
                             0,
                             {}};
    result.training = TrainingScores(result.model, samples);
    result.seconds.samples = drawing;
    result.seconds.fit = ProcessorSeconds() - start;
    start = ProcessorSeconds();

    LayerStrips layers(request.evidence);
    const GridFrame& frame = layers.frame();
    RasterWriter probability(request.output, frame, 1, std::nullopt, options);
    probability.SetBandName(1, "probability");
    std::vector<double> values(layers.size());
    std::vector<float> cells;        // the strip's cells with data, input after input
    std::vector<std::size_t> where;  // their places in the strip
    std::vector<double> found, p;
    while (layers.Next()) {
        const std::size_t n = std::size_t(layers.count()) * std::size_t(frame.cols);
        cells.clear();
        where.clear();
        p.assign(n, std::numeric_limits<double>::quiet_NaN());
        for (std::size_t c = 0; c < n; ++c) {
            if (!layers.Cell(c, values)) continue;
            cells.insert(cells.end(), values.begin(), values.end());
            where.push_back(c);
        }
        found.resize(where.size());
        result.model.Predict(cells.data(), where.size(), found.data(), result.interceptCorrection);
        for (std::size_t i = 0; i < where.size(); ++i) p[where[i]] = found[i];
        result.predicted += std::int64_t(where.size());
        result.blank += std::int64_t(n - where.size());
        probability.WriteRows(1, layers.first(), layers.count(), p.data());
        ReportProgress(progress, {"row", layers.first() + layers.count(), frame.rows, 0});
    }
    probability.Commit();
    result.seconds.map = ProcessorSeconds() - start;
    return result;
}

}  // namespace quarnel::geo
