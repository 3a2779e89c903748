#include "geo/logistic.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "geo/evidence.h"
#include "geo/rows.h"

namespace quarnel::geo {

namespace {

// Every band of every raster, walked together a strip of rows at a time (one strip height for
// all, so a strip's cells are the same cells in each).
class Layers {
  public:
    explicit Layers(const std::vector<std::string>& paths) {
        for (const std::string& path : paths) rasters_.push_back(Raster::Open(path));
        const int height = rasters_.front().PreferredRowCount();
        for (const Raster& raster : rasters_)
            for (int band = 1; band <= raster.BandCount(); ++band) strips_.emplace_back(raster, band, height);
    }
    const GridFrame& frame() const { return rasters_.front().frame(); }
    std::size_t size() const { return strips_.size(); }
    void Restart() {
        for (RowStrip& strip : strips_) strip.Restart();
    }
    bool Next() {
        bool more = true;
        for (RowStrip& strip : strips_) more = strip.Next() && more;
        return more;
    }
    int first() const { return strips_.front().first(); }
    int count() const { return strips_.front().count(); }
    // Cell c's values, false when any layer has no data there.
    bool Cell(std::size_t c, std::vector<double>& values) {
        for (std::size_t k = 0; k < strips_.size(); ++k) {
            values[k] = strips_[k].Values()[c];
            if (values[k] == kCoreBlank) return false;
        }
        return true;
    }

  private:
    std::vector<Raster> rasters_;
    std::vector<RowStrip> strips_;
};

std::vector<std::string> LayerNames(const std::vector<std::string>& paths) {
    const Evidence evidence(paths);
    std::vector<std::string> names;
    names.reserve(std::size_t(evidence.LayerCount()));
    for (int layer = 0; layer < evidence.LayerCount(); ++layer) names.push_back(evidence.LayerName(layer));
    return names;
}

std::int64_t CellsWithData(Layers& layers, const Progress& progress) {
    std::vector<double> values(layers.size());
    std::int64_t cells = 0;
    while (layers.Next()) {
        const std::size_t n = std::size_t(layers.count()) * std::size_t(layers.frame().cols);
        for (std::size_t c = 0; c < n; ++c) cells += layers.Cell(c, values);
        ReportProgress(progress, {"count", layers.first() + layers.count(), layers.frame().rows, 0});
    }
    layers.Restart();
    return cells;
}

}  // namespace

LogisticRasterResult FitLogisticRasters(const LogisticRasterRequest& request, const WriteOptions& options,
                                        const Progress& progress) {
    if (request.evidence.empty()) throw GeoError("logistic regression: no evidence rasters named");
    for (const std::string& output : {request.output, request.stdErrorOutput})
        for (const std::string& input : request.evidence)
            if (output == input)
                throw GeoError(output + " is the input " + input + "; it is not overwritten");
    SampleOptions drawn = request.samples;
    drawn.rescaled = false;
    const BpSamples samples =
        MakeBpSamples(request.evidence, request.deposits, drawn, request.depositsName, "background");
    LogisticRasterResult result;
    result.samples = samples.count;
    const std::vector<std::string> names = LayerNames(request.evidence);
    try {
        result.fit =
            logistic::FitLogistic(samples.set.inputs, samples.set.targets, names, request.fit, progress);
    } catch (const std::invalid_argument& error) {
        throw GeoError(std::string("logistic regression: ") + error.what());
    } catch (const std::domain_error& error) {
        throw GeoError(std::string("logistic regression: ") + error.what());
    }
    Layers layers(request.evidence);
    result.backgroundCells = CellsWithData(layers, progress) - result.samples.deposits.cells;
    if (result.backgroundCells > 0 && result.samples.background > 0)
        result.interceptCorrection =
            std::log(double(result.samples.background) / double(result.backgroundCells));

    const GridFrame& frame = layers.frame();
    RasterWriter probability(request.output, frame, 1, std::nullopt, options);
    RasterWriter stdError(request.stdErrorOutput, frame, 1, std::nullopt, options);
    probability.SetBandName(1, "probability");
    stdError.SetBandName(1, "std_error");
    std::vector<double> values(layers.size());
    std::vector<double> p, se;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    while (layers.Next()) {
        const std::size_t n = std::size_t(layers.count()) * std::size_t(frame.cols);
        p.resize(n);
        se.resize(n);
        for (std::size_t c = 0; c < n; ++c) {
            if (!layers.Cell(c, values)) {
                p[c] = se[c] = nan;
                ++result.blank;
                continue;
            }
            const logistic::Prediction found =
                logistic::Predict(result.fit, values.data(), result.interceptCorrection);
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
    return result;
}

}  // namespace quarnel::geo
