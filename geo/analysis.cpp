#include "geo/analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <span>

#include "geo/rows.h"
#include "quarnel/hierarchy.h"

namespace quarnel::geo {

namespace {

// The float32 blank the core is given for no data; no raster value is -FLT_MAX.
constexpr float kFloatBlank = -std::numeric_limits<float>::max();

// Co-registered rasters (band 1 each) walked together, a strip of rows at a time, as float32
// cells with no data as kFloatBlank.
class RasterStack {
  public:
    explicit RasterStack(const std::vector<std::string>& paths) {
        if (paths.empty()) throw GeoError("no input rasters named");
        for (const std::string& path : paths) {
            rasters_.push_back(std::make_unique<Raster>(Raster::Open(path)));
            RequireSameFrame(paths.front(), rasters_.front()->frame(), path, rasters_.back()->frame());
        }
        for (const auto& raster : rasters_) strips_.emplace_back(*raster, 1);
    }
    const GridFrame& frame() const { return rasters_.front()->frame(); }
    std::size_t size() const { return rasters_.size(); }
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
    // The values of cell c of the strip, one per raster.
    void Cell(std::size_t c, std::span<float> values) {
        for (std::size_t k = 0; k < strips_.size(); ++k) {
            const double v = strips_[k].Values()[c];
            values[k] = v == kCoreBlank ? kFloatBlank : static_cast<float>(v);
        }
    }

  private:
    std::vector<std::unique_ptr<Raster>> rasters_;
    std::vector<RowStrip> strips_;
};

double AsOutput(float v, bool blank) {
    return blank ? std::nan("") : double(v);
}

}  // namespace

PredictionResult PredictHierarchyRaster(const std::vector<std::string>& rasters,
                                        const std::vector<float>& weights, const std::string& output,
                                        const WriteOptions& options, const Progress& progress) {
    RefuseOutputsOverInputs({output}, rasters);
    RasterStack stack(rasters);
    if (weights.size() != stack.size())
        throw GeoError(std::to_string(weights.size()) + " weights for " + std::to_string(stack.size()) +
                       " rasters");
    const GridFrame& frame = stack.frame();
    RasterWriter writer(output, frame, 1, options.noData, options);
    writer.SetBandName(1, "prospectivity");
    PredictionResult result{
        frame.rows, frame.cols, 0, 0, std::numeric_limits<float>::max(), -std::numeric_limits<float>::max()};
    std::vector<float> values(stack.size());
    std::vector<double> row;
    while (stack.Next()) {
        const std::size_t cells = std::size_t(stack.count()) * std::size_t(frame.cols);
        row.resize(cells);
        for (std::size_t c = 0; c < cells; ++c) {
            stack.Cell(c, values);
            const float v = hierarchy::PredictCell(values, weights, kFloatBlank);
            const bool blank = v == kFloatBlank;
            row[c] = AsOutput(v, blank);
            if (blank) {
                ++result.blank;
                continue;
            }
            ++result.predicted;
            result.min = std::min(result.min, v);
            result.max = std::max(result.max, v);
        }
        writer.WriteRows(1, stack.first(), stack.count(), row.data());
        ReportProgress(progress, {"row", stack.first() + stack.count(), frame.rows, 0});
    }
    writer.Commit();
    if (result.predicted == 0) result.min = result.max = 0;
    return result;
}

namespace {

std::vector<float> FeatureWeights(feature::AnalysisResults& results, int n) {
    std::vector<float> p = results.productMatrix;
    std::vector<float> weights(std::size_t(n), 0.0f);
    if (results.method == 0) {
        results.lengths.assign(std::size_t(n), 0.0f);
        if (!feature::VectorLengthWeights(p, n, results.lengths, weights).formed)
            throw GeoError("no weights: every variable's vector length is 0 (no cell codes non-zero)");
    } else {
        if (!feature::NormaliseProductMatrix(p, n))
            throw GeoError("no weights: a variable never codes non-zero on the cells used");
        std::vector<float> vectors(std::size_t(n) * std::size_t(n));
        std::vector<float> values(static_cast<std::size_t>(n));
        results.component.assign(std::size_t(n), 0.0f);
        const feature::PrincipalComponentResult component =
            feature::PrincipalComponentWeights(p, n, vectors, values, results.component, weights);
        results.sweeps = component.sweeps;
        if (!component.formed) throw GeoError("no weights: the first principal component sums to 0");
    }
    return weights;
}

}  // namespace

feature::AnalysisResults AnalyseFeatures(const FeatureRequest& request, const WriteOptions& options,
                                         const Progress& progress) {
    std::vector<std::string> paths;
    std::vector<feature::CodeBounds> bounds;
    for (const FeatureVariable& variable : request.variables) {
        paths.push_back(variable.raster);
        bounds.push_back({variable.lower, variable.upper});
    }
    RefuseOutputsOverInputs({request.scoreOutput}, paths);
    RasterStack stack(paths);
    const GridFrame& frame = stack.frame();
    const int n = int(request.variables.size());
    std::map<Cell, std::int32_t> units;
    for (const ModelUnit& unit : request.modelUnits) units.emplace(unit.cell, unit.size);

    feature::AnalysisResults results;
    results.method = request.method;
    results.variables = n;
    results.productMatrix.assign(std::size_t(n) * std::size_t(n), 0.0f);
    std::vector<float> values(static_cast<std::size_t>(n));
    while (stack.Next()) {
        const std::size_t cells = std::size_t(stack.count()) * std::size_t(frame.cols);
        for (std::size_t c = 0; c < cells; ++c) {
            const Cell cell{stack.first() + int(c / std::size_t(frame.cols)),
                            int(c % std::size_t(frame.cols))};
            if (request.useModelUnits && !units.contains(cell)) continue;
            stack.Cell(c, values);
            if (!feature::IsBlankCell(values, kFloatBlank))
                feature::AddCellCodes(bounds, values, results.productMatrix);
        }
        ReportProgress(progress, {"product", stack.first() + stack.count(), frame.rows, 0});
    }
    feature::MirrorLowerTriangle(results.productMatrix, n);
    results.weights = FeatureWeights(results, n);

    RasterWriter writer(request.scoreOutput, frame, 1, options.noData, options);
    writer.SetBandName(1, "score");
    std::vector<double> row;
    stack.Restart();
    while (stack.Next()) {
        const std::size_t cells = std::size_t(stack.count()) * std::size_t(frame.cols);
        row.resize(cells);
        for (std::size_t c = 0; c < cells; ++c) {
            stack.Cell(c, values);
            const feature::CellScore score = feature::ScoreCell(bounds, results.weights, values, kFloatBlank);
            results.scores.Add(score);
            row[c] = AsOutput(score.score, score.blank);
            const Cell cell{stack.first() + int(c / std::size_t(frame.cols)),
                            int(c % std::size_t(frame.cols))};
            if (const auto unit = units.find(cell); unit != units.end())
                results.units.push_back({cell.row, cell.col, unit->second, score.score});
        }
        writer.WriteRows(1, stack.first(), stack.count(), row.data());
        ReportProgress(progress, {"row", stack.first() + stack.count(), frame.rows, 0});
    }
    writer.Commit();
    return results;
}

void CodeRaster(const std::string& input, feature::CodeBounds bounds, bool invert, const std::string& output,
                const WriteOptions& options, const Progress& progress) {
    const double sign = invert ? -1.0 : 1.0;
    RefuseOutputsOverInputs({output}, {input});
    const Raster raster = Raster::Open(input);
    RasterWriter writer(output, raster.frame(), 1, options.noData, options);
    RowStrip strip(raster, 1);
    while (strip.Next()) {
        for (double& v : strip.Values())
            v = v == kCoreBlank
                    ? std::nan("")
                    : sign * double(feature::CodeValue(static_cast<float>(v), bounds.lower, bounds.upper));
        writer.WriteRows(1, strip.first(), strip.count(), strip.Values().data());
        ReportProgress(progress, {"row", strip.first() + strip.count(), raster.frame().rows, 0});
    }
    writer.Commit();
}

}  // namespace quarnel::geo
