#include "geo/wofe.h"

#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <unordered_map>

#include "geo/rows.h"

namespace quarnel::geo {

namespace fs = std::filesystem;

std::string WofeLayerName(const std::string& raster) {
    return fs::path(raster).stem().string();
}

namespace {

// Class values counted densely where they are small and non-negative (Byte and UInt16 rasters),
// in a map otherwise; a map past kMaxClasses values is refused at once, so memory stays bounded.
class ClassTally {
  public:
    void Add(std::int64_t value, std::int64_t cells) {
        if (value >= 0 && value < kDense) {
            if (dense_.empty()) dense_.assign(kDense, 0);
            dense_[std::size_t(value)] += cells;
            return;
        }
        sparse_[value] += cells;
        if (sparse_.size() > wofe::kMaxClasses)
            throw GeoError(name +
                           ": more than 1000 classes; at most 1000 are taken (class a continuous layer with "
                           "--breaks)");
    }
    std::map<std::int64_t, std::int64_t> Counts() const {
        std::map<std::int64_t, std::int64_t> all = sparse_;
        for (std::size_t v = 0; v < dense_.size(); ++v)
            if (dense_[v] != 0) all[std::int64_t(v)] = dense_[v];
        return all;
    }

    std::string name;  // the layer's

  private:
    static constexpr std::int64_t kDense = 65536;
    std::vector<std::int64_t> dense_;
    std::map<std::int64_t, std::int64_t> sparse_;
};

// A layer's rows: integers as stored where the raster holds them and no breaks class them (the
// classes are the values), doubles otherwise.
struct Layer {
    const WofeEvidence* evidence = nullptr;
    std::string name;
    std::unique_ptr<Raster> raster;
    std::unique_ptr<RowStrip> strip;        // doubles, no data as kCoreBlank
    std::unique_ptr<Int32RowStrip> values;  // or integers, no data equal to blank
    std::optional<std::int32_t> blank;
    ClassTally cells;
    std::map<std::int64_t, std::int64_t> deposits;

    void Open(int rowsPerStrip) {
        if (evidence->breaks.empty() && raster->HoldsInt32(1)) {
            values = std::make_unique<Int32RowStrip>(*raster, 1, rowsPerStrip);
            blank = raster->Int32NoData(1);
        } else {
            strip = std::make_unique<RowStrip>(*raster, 1, rowsPerStrip);
        }
    }
    bool Next() { return values ? values->Next() : strip->Next(); }
    void Restart() { values ? values->Restart() : strip->Restart(); }
    int first() const { return values ? values->first() : strip->first(); }
    int count() const { return values ? values->count() : strip->count(); }
    bool Blank(std::size_t c) const {
        return values ? blank && values->Values()[c] == *blank : strip->Values()[c] == kCoreBlank;
    }
};

// The class of a value read, or a refusal naming the cell.
std::int64_t ClassOf(const Layer& layer, double v, int row, int col) {
    const std::vector<double>& breaks = layer.evidence->breaks;
    if (!breaks.empty())
        return 1 + std::int64_t(std::upper_bound(breaks.begin(), breaks.end(), v) - breaks.begin());
    if (v != std::floor(v) || std::abs(v) > 9.0e15) {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", v);
        throw GeoError(layer.raster->path() + ": row " + std::to_string(row + 1) + ", column " +
                       std::to_string(col + 1) + " holds " + text +
                       ", which is no integer class; class it with --breaks " + layer.name + "=B1,B2,...");
    }
    return std::int64_t(v);
}
std::int64_t ClassOf(const Layer&, std::int32_t v, int, int) {
    return v;
}

// The class of cell c of the layer's strip (row and col name it in a refusal).
std::int64_t ClassAt(const Layer& layer, std::size_t c, int row, int col) {
    return layer.values ? ClassOf(layer, layer.values->Values()[c], row, col)
                        : ClassOf(layer, layer.strip->Values()[c], row, col);
}

// The cell's area in unit cells: the CRS must be projected for km2.
double UnitsPerCell(const GridFrame& frame, const std::optional<double>& unitAreaKm2,
                    std::optional<double>& unitKm2, const std::string& path) {
    const auto& t = frame.geoTransform;
    const double cellArea = std::abs(t[1] * t[5] - t[2] * t[4]);
    OGRSpatialReferenceH srs = frame.crsWkt.empty() ? nullptr : OSRNewSpatialReference(frame.crsWkt.c_str());
    const bool projected = srs && OSRIsProjected(srs);
    const double metres = projected ? OSRGetLinearUnits(srs, nullptr) : 0;
    if (srs) OSRDestroySpatialReference(srs);
    const double cellKm2 = cellArea * metres * metres / 1e6;
    if (!unitAreaKm2) {
        if (projected) unitKm2 = cellKm2;
        return 1;
    }
    if (!projected)
        throw GeoError(path + ": " + (srs ? "a geographic CRS" : "no CRS") +
                       ": areas in km2 need a projected CRS in metres or feet (or --unit-area cell)");
    unitKm2 = *unitAreaKm2;
    return cellKm2 / *unitAreaKm2;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    if (fs::absolute(a).lexically_normal() == fs::absolute(b).lexically_normal()) return true;
    std::error_code error;
    return fs::equivalent(a, b, error);
}

std::vector<std::string> PlannedOutputs(const WofeRequest& request, const std::vector<Layer>& layers) {
    const fs::path folder(request.output);
    std::vector<std::string> outputs;
    outputs.reserve(layers.size() + 3);
    for (const Layer& layer : layers)
        outputs.push_back((folder / "weights" / (layer.name + ".csv")).string());
    if (!request.weightsOnly)
        for (const char* name : {"posterior.tif", "posterior_std.tif", "confidence.tif"})
            outputs.push_back((folder / name).string());
    return outputs;
}

void RefuseOutputsOverInputs(const WofeRequest& request, const std::vector<Layer>& layers) {
    std::vector<std::string> inputs = {request.mask, request.depositsFile};
    for (const WofeEvidence& evidence : request.evidence) inputs.push_back(evidence.raster);
    for (const std::string& output : PlannedOutputs(request, layers))
        for (const std::string& input : inputs)
            if (SameFile(output, input))
                throw GeoError(output + ": the output would overwrite the input " + input +
                               "; choose another -o");
}

std::vector<Layer> OpenLayers(const WofeRequest& request) {
    if (request.evidence.empty()) throw GeoError("no evidence raster named");
    std::vector<Layer> layers(request.evidence.size());
    for (std::size_t k = 0; k < layers.size(); ++k) {
        Layer& layer = layers[k];
        layer.evidence = &request.evidence[k];
        layer.name =
            layer.evidence->name.empty() ? WofeLayerName(layer.evidence->raster) : layer.evidence->name;
        layer.cells.name = layer.name;
        for (std::size_t j = 0; j < k; ++j)
            if (layers[j].name == layer.name)
                throw GeoError(layer.evidence->raster + ": its layer name \"" + layer.name + "\" is " +
                               layers[j].evidence->raster + "'s too");
        if (!std::is_sorted(layer.evidence->breaks.begin(), layer.evidence->breaks.end()))
            throw GeoError(layer.name + ": the breaks must ascend");
        layer.raster = std::make_unique<Raster>(Raster::Open(layer.evidence->raster));
        RequireSameFrame(request.evidence.front().raster, layers.front().raster->frame(),
                         layer.evidence->raster, layer.raster->frame());
    }
    return layers;
}

// Class rasters hold runs of one class: each run of the piece (from its first cell on) is
// classed and counted once.
template <class Value>
void CountRuns(Layer& layer, const Value* values, const std::vector<std::uint8_t>& study, std::size_t from,
               int first, int cols) {
    std::size_t start = 0;
    std::int64_t run = 0;
    const auto flush = [&] {
        if (run == 0) return;
        const std::size_t cell = from + start;
        layer.cells.Add(ClassOf(layer, values[start], first + int(cell / std::size_t(cols)),
                                int(cell % std::size_t(cols))),
                        run);
    };
    for (std::size_t c = 0; c < study.size(); ++c) {
        if (!study[c]) continue;
        if (run > 0 && values[c] == values[start]) {
            ++run;
            continue;
        }
        flush();
        start = c;
        run = 1;
    }
    flush();
}
void CountRuns(Layer& layer, const std::vector<std::uint8_t>& study, std::size_t from, int first, int cols) {
    if (layer.values)
        CountRuns(layer, layer.values->Values().data() + from, study, from, first, cols);
    else
        CountRuns(layer, layer.strip->Values().data() + from, study, from, first, cols);
}

// The deposits' cells (row-major index) with how many points lie there, ascending.
std::vector<std::pair<std::int64_t, std::int64_t>> DepositCells(const WofeRequest& request,
                                                                const GridFrame& frame, WofeResult& result) {
    std::map<std::int64_t, std::int64_t> cells;
    const CellLocator locator(frame);
    for (const Point& point : request.deposits) {
        const std::int64_t cell = locator.Index(point.x, point.y);
        if (cell < 0) {
            ++result.depositsOutside;
            continue;
        }
        ++cells[cell];
    }
    return {cells.begin(), cells.end()};
}

// A deposit cell of the study area: its class in each layer and how many deposits it counts.
struct DepositClasses {
    std::int64_t cell = 0;
    std::int64_t count = 0;
    std::vector<std::int64_t> classes;
};

bool IsMissing(const Layer& layer, std::int64_t value) {
    const auto& missing = layer.evidence->missing;
    return std::find(missing.begin(), missing.end(), value) != missing.end();
}

// Walks every layer's strips (and the mask's) together; visit(first row, rows) per strip.
template <class Visit>
void ForEachStrip(std::vector<Layer>& layers, RowStrip* mask, Visit visit) {
    for (Layer& layer : layers) layer.Restart();
    if (mask) mask->Restart();
    while (true) {
        bool more = true;
        for (Layer& layer : layers) more = layer.Next() && more;
        if (mask) more = mask->Next() && more;
        if (!more) return;
        visit(layers.front().first(), layers.front().count());
    }
}

// Cells counted together: small enough for every layer's piece to stay in cache.
constexpr std::size_t kPiece = 4096;

// Whether each cell from .. to - 1 of the strip lies in the study area.
void StudyOfPiece(const std::vector<Layer>& layers, RowStrip* mask, std::size_t from, std::size_t to,
                  std::vector<std::uint8_t>& study) {
    study.assign(to - from, 1);
    if (mask) {
        const double* m = mask->Values().data() + from;
        for (std::size_t c = 0; c < study.size(); ++c) study[c] = m[c] != kCoreBlank && m[c] != 0;
    }
    for (const Layer& layer : layers) {
        if (layer.values) {
            if (!layer.blank) continue;
            const std::int32_t* v = layer.values->Values().data() + from;
            const std::int32_t blank = *layer.blank;
            for (std::size_t c = 0; c < study.size(); ++c) study[c] &= v[c] != blank;
        } else {
            const double* v = layer.strip->Values().data() + from;
            for (std::size_t c = 0; c < study.size(); ++c) study[c] &= v[c] != kCoreBlank;
        }
    }
}

bool InStudy(const std::vector<Layer>& layers, RowStrip* mask, std::size_t c) {
    if (mask) {
        const double m = mask->Values()[c];
        if (m == kCoreBlank || m == 0) return false;
    }
    for (const Layer& layer : layers)
        if (layer.Blank(c)) return false;
    return true;
}

// The first pass: each layer's class counts, the study area and the deposits' classes.
std::vector<DepositClasses> Count(std::vector<Layer>& layers, RowStrip* mask, const WofeRequest& request,
                                  WofeResult& result, const Progress& progress) {
    const GridFrame& frame = layers.front().raster->frame();
    const auto depositCells = DepositCells(request, frame, result);
    std::vector<DepositClasses> found;
    std::vector<std::uint8_t> study;
    std::size_t next = 0;
    ForEachStrip(layers, mask, [&](int first, int count) {
        const std::size_t cells = std::size_t(count) * std::size_t(frame.cols);
        const std::int64_t base = std::int64_t(first) * frame.cols;
        // A piece of the strip at a time, layer by layer: the pieces of every layer stay in the
        // processor's cache between the study-area pass and the counting pass.
        for (std::size_t from = 0; from < cells; from += kPiece) {
            const std::size_t to = std::min(cells, from + kPiece);
            StudyOfPiece(layers, mask, from, to, study);
            for (const std::uint8_t in : study) result.studyCells += in;
            for (Layer& layer : layers) CountRuns(layer, study, from, first, frame.cols);
        }
        for (; next < depositCells.size() && depositCells[next].first < base + std::int64_t(cells); ++next) {
            const auto [cell, points] = depositCells[next];
            const std::size_t c = std::size_t(cell - base);
            if (!InStudy(layers, mask, c)) {
                result.depositsOnNoData += points;
                continue;
            }
            const std::int64_t deposits = request.countCells ? 1 : points;
            DepositClasses classes{cell, deposits, {}};
            for (Layer& layer : layers) {
                const std::int64_t value = ClassAt(layer, c, first + int(c / std::size_t(frame.cols)),
                                                   int(c % std::size_t(frame.cols)));
                classes.classes.push_back(value);
                layer.deposits[value] += deposits;
            }
            found.push_back(std::move(classes));
        }
        ReportProgress(progress, {"count", first + count, frame.rows, 0});
    });
    return found;
}

std::vector<wofe::ClassCount> CountsOf(const Layer& layer) {
    std::vector<wofe::ClassCount> counts;
    for (const auto& [value, cells] : layer.cells.Counts()) {
        const auto d = layer.deposits.find(value);
        counts.push_back({value, cells, d == layer.deposits.end() ? 0 : d->second, IsMissing(layer, value)});
    }
    return counts;
}

std::string Figure(const std::optional<double>& value) {
    if (!value) return "";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", *value);
    return text;
}

// weights/NAME.csv, whole: one line per row of the table.
std::string WriteTable(const wofe::LayerWeights& layer, const fs::path& folder) {
    const fs::path path = folder / "weights" / (layer.name + ".csv");
    const fs::path temporary = path.string() + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << "class,cells,area_units,deposits,w_plus,s_w_plus,w_minus,s_w_minus,contrast,s_contrast,"
               "studentized_contrast,generalized_class,weight,weight_std,note\n";
        for (const wofe::ClassRow& row : layer.rows) {
            const wofe::Weights& w = row.weights;
            out << row.value << ',' << row.cells << ',' << Figure(row.area) << ',' << row.deposits << ','
                << Figure(w.wPlus) << ',' << Figure(w.sWPlus) << ',' << Figure(w.wMinus) << ','
                << Figure(w.sWMinus) << ',' << Figure(w.contrast) << ',' << Figure(w.sContrast) << ','
                << Figure(w.studentized) << ','
                << (row.generalizedClass ? std::to_string(*row.generalizedClass) : "") << ','
                << Figure(row.weight) << ',' << Figure(row.weightStd) << ",\"" << w.note << "\"\n";
        }
        for (const wofe::ClassCount& missing : layer.missing)
            out << missing.value << ',' << missing.cells << ",," << missing.deposits
                << ",,,,,,,,,,,\"missing: unknown evidence\"\n";
        out.flush();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw GeoError(path.string() + ": cannot be written");
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) throw GeoError(path.string() + ": " + error.message());
    return path.string();
}

struct MapStats {
    std::int64_t cells = 0;
    double min = 0;
    double max = 0;
    void Add(double v) {
        if (std::isnan(v)) return;
        min = cells == 0 ? v : std::min(min, v);
        max = cells == 0 ? v : std::max(max, v);
        ++cells;
    }
};

// The posterior of every cell of one condition, the same for all of them.
struct ConditionCells {
    wofe::CellPosterior posterior;
    std::int64_t cells = 0;
};

// The second pass: the three maps, the conditions' areas, the independence test.
void WritePosterior(std::vector<Layer>& layers, RowStrip* mask, const WofeRequest& request,
                    const WriteOptions& options, WofeResult& result, const Progress& progress) {
    const GridFrame& frame = layers.front().raster->frame();
    const wofe::Model& model = result.model;
    const fs::path folder(request.output);
    const char* names[] = {"posterior.tif", "posterior_std.tif", "confidence.tif"};
    std::vector<std::unique_ptr<RasterWriter>> writers;
    for (const char* name : names) {
        writers.push_back(
            std::make_unique<RasterWriter>((folder / name).string(), frame, 1, std::nullopt, options));
        writers.back()->SetBandName(1, fs::path(name).stem().string());
    }
    std::unordered_map<std::uint64_t, ConditionCells> conditions;
    std::vector<int> classes(layers.size());
    std::vector<double> out[3];
    MapStats stats[3];
    ForEachStrip(layers, mask, [&](int first, int count) {
        const std::size_t cells = std::size_t(count) * std::size_t(frame.cols);
        for (auto& values : out) values.assign(cells, std::nan(""));
        for (std::size_t c = 0; c < cells; ++c) {
            if (!InStudy(layers, mask, c)) continue;
            std::uint64_t code = 0;
            for (std::size_t k = 0; k < layers.size(); ++k) {
                classes[k] = model.layers[k].GeneralIndex(ClassAt(layers[k], c, first, 0));
                code = code * (model.layers[k].classes.size() + 1) + std::uint64_t(classes[k] + 1);
            }
            auto [at, added] = conditions.try_emplace(code);
            if (added) at->second.posterior = wofe::Posterior(model, classes);
            ++at->second.cells;
            const wofe::CellPosterior& p = at->second.posterior;
            out[0][c] = p.probability;
            out[1][c] = p.std;
            out[2][c] = p.std > 0 ? p.probability / p.std : std::nan("");
        }
        for (int m = 0; m < 3; ++m) {
            for (const double v : out[m]) stats[m].Add(v);
            writers[std::size_t(m)]->WriteRows(1, first, count, out[m].data());
        }
        ReportProgress(progress, {"posterior", first + count, frame.rows, 0});
    });
    for (int m = 0; m < 3; ++m) {
        writers[std::size_t(m)]->Commit();
        result.maps.push_back({writers[std::size_t(m)]->path(), stats[m].cells, stats[m].min, stats[m].max});
    }
    std::vector<wofe::Condition> areas;
    areas.reserve(conditions.size());
    for (const auto& [code, found] : conditions)
        areas.push_back(
            {double(found.cells) * result.unitsPerCell, found.posterior.probability, found.posterior.std});
    result.independence = wofe::TestIndependence(model.deposits, areas);
}

}  // namespace

WofeResult RunWofe(const WofeRequest& request, const WriteOptions& options, const Progress& progress) {
    InitialiseGdal();
    std::vector<Layer> layers = OpenLayers(request);
    const GridFrame& frame = layers.front().raster->frame();
    std::unique_ptr<Raster> maskRaster;
    if (!request.mask.empty()) {
        maskRaster = std::make_unique<Raster>(Raster::Open(request.mask));
        RequireSameFrame(request.evidence.front().raster, frame, request.mask, maskRaster->frame());
    }
    RefuseOutputsOverInputs(request, layers);
    WofeResult result;
    result.unitsPerCell =
        UnitsPerCell(frame, request.unitAreaKm2, result.unitAreaKm2, request.evidence.front().raster);
    result.depositsRead = std::int64_t(request.deposits.size());
    const int rowsPerStrip = layers.front().raster->PreferredRowCount();
    for (Layer& layer : layers) layer.Open(rowsPerStrip);
    std::unique_ptr<RowStrip> mask =
        maskRaster ? std::make_unique<RowStrip>(*maskRaster, 1, rowsPerStrip) : nullptr;

    const std::vector<DepositClasses> deposits = Count(layers, mask.get(), request, result, progress);
    std::int64_t counted = 0;
    for (const DepositClasses& d : deposits) counted += d.count;
    std::vector<wofe::LayerWeights> weights;
    for (const Layer& layer : layers) {
        const std::vector<wofe::ClassCount> counts = CountsOf(layer);
        weights.push_back(wofe::WeighLayer(layer.name, layer.evidence->type, counts, result.unitsPerCell,
                                           layer.evidence->rule));
    }
    result.model =
        wofe::ModelOf(double(result.studyCells) * result.unitsPerCell, counted, std::move(weights));

    const fs::path folder(request.output);
    std::error_code error;
    const bool hadFolder = fs::exists(folder, error);
    const bool made = fs::create_directories(folder / "weights", error);
    if (error) throw GeoError(request.output + ": " + error.message());
    const auto writeTables = [&] {
        for (const wofe::LayerWeights& layer : result.model.layers)
            result.tables.push_back(WriteTable(layer, request.output));
    };
    for (const wofe::LayerWeights& layer : result.model.layers)
        if (!layer.ok) {
            writeTables();
            throw GeoError(layer.name + ": no generalisation by " + layer.method + ": " + layer.reason +
                           " (the weights tables are written in " + (folder / "weights").string() +
                           "; the posterior is not)");
        }

    std::vector<std::vector<int>> classes;
    for (const DepositClasses& d : deposits) {
        std::vector<int> general;
        for (std::size_t k = 0; k < layers.size(); ++k)
            general.push_back(result.model.layers[k].GeneralIndex(d.classes[k]));
        for (std::int64_t i = 0; i < d.count; ++i) classes.push_back(general);
    }
    result.pairwise = wofe::PairwiseChiSquares(result.model, classes);
    // The tables go last, so that a run told to stop leaves nothing (and no folder it made).
    try {
        if (!request.weightsOnly) WritePosterior(layers, mask.get(), request, options, result, progress);
    } catch (const Stopped&) {
        if (made) fs::remove(folder / "weights", error);
        if (!hadFolder) fs::remove(folder, error);
        throw;
    }
    writeTables();
    return result;
}

}  // namespace quarnel::geo
