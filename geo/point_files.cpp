#include "geo/point_files.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <set>

#include "formats/grid/text_sink.h"
#include "geo/evidence.h"
#include "geo/rows.h"
#include "geo/sample_draw.h"
#include "quarnel/bp.h"

namespace quarnel::geo {

namespace {

constexpr std::size_t kMaxTitle = 51;       // the model-unit file's title token
constexpr std::size_t kMaxTableToken = 19;  // every anomaly-table token

// The points that lie on the frame and on cells where every layer holds data, with those cells
// and their values ([point][layer]).
struct KeptPoints {
    std::vector<Point> points;
    std::vector<Cell> cells;
    std::vector<double> values;
    PointCount count;
};

KeptPoints KeepPoints(const Evidence& evidence, const PointFile& file) {
    const PlacedPoints placed = PlacePoints(file.points, evidence.frame());
    const std::vector<double> values = evidence.ValuesAt(placed.cells);
    const std::size_t layers = std::size_t(evidence.LayerCount());
    KeptPoints kept;
    kept.count = file.count;
    kept.count.outside = placed.outside;
    for (std::size_t i = 0; i < placed.cells.size(); ++i) {
        const double* at = values.data() + i * layers;
        if (std::any_of(at, at + layers, [](double v) { return std::isnan(v); })) {
            ++kept.count.onNoData;
            continue;
        }
        kept.points.push_back(placed.points[i]);
        kept.cells.push_back(placed.cells[i]);
        kept.values.insert(kept.values.end(), at, at + layers);
    }
    kept.count.cells = int(std::set<Cell>(kept.cells.begin(), kept.cells.end()).size());
    return kept;
}

// Points already read and chosen (a workflow's training deposits), each counted as read.
PointFile AsRead(const std::vector<Point>& points) {
    PointFile file{points, {}};
    file.count.read = int(points.size());
    return file;
}

// The shortest text that reads back to v (as a float where the reader takes floats).
void PutNumber(TextSink& sink, double v, bool asFloat) {
    char text[32];
    const auto end = asFloat ? std::to_chars(text, text + sizeof text, static_cast<float>(v))
                             : std::to_chars(text, text + sizeof text, v);
    sink.Put(std::string_view(text, std::size_t(end.ptr - text)));
}

// text as one token of at most length bytes: white space becomes '_'.
std::string Token(std::string text, std::size_t length) {
    for (char& c : text)
        if (std::isspace(static_cast<unsigned char>(c))) c = '_';
    return text.substr(0, length);
}

void Open(TextSink& sink, const std::string& path) {
    if (!sink.Open(path.c_str(), kTextFileLineEnds)) throw GeoError(path + ": cannot be created");
}

void Close(TextSink& sink, const std::string& path) {
    if (!sink.Close()) throw GeoError(path + ": cannot be written");
}

}  // namespace

BpSamples MakeBpSamples(const std::vector<std::string>& evidencePaths, const std::vector<Point>& deposits,
                        const SampleOptions& options, const std::string& depositsName,
                        const std::string& backgroundName, const Progress& progress) {
    const Evidence evidence(evidencePaths);
    const PlacedPoints placed = PlacePoints(deposits, evidence.frame());
    CellDrawRequest request;
    request.deposits = placed.cells;
    std::sort(request.deposits.begin(), request.deposits.end());
    request.deposits.erase(std::unique(request.deposits.begin(), request.deposits.end()),
                           request.deposits.end());
    request.points = deposits;
    request.background = options.background < 0 ? request.deposits.size() : std::size_t(options.background);
    // Refused before the walk when the rasters cannot hold it, so that the draw never keeps more
    // cells than a sample set of the size asked would.
    const std::int64_t cells = std::int64_t(evidence.frame().rows) * evidence.frame().cols;
    if (std::int64_t(request.background) > cells)
        throw GeoError(backgroundName + ": " + std::to_string(request.background) +
                       " background cells asked, but the rasters hold only " + std::to_string(cells) +
                       " cells");
    request.seed = options.seed;
    request.minDistance = options.minDistance;
    const DrawnCells drawn = DrawCells(evidencePaths, request, progress);

    // The deposit cells with data on every layer (in cell order), and what became of each point.
    const std::size_t layers = std::size_t(evidence.LayerCount());
    const auto onData = [&](std::size_t d) {
        const double* at = drawn.depositValues.data() + d * layers;
        return std::none_of(at, at + layers, [](double v) { return std::isnan(v); });
    };
    PointCount count = AsRead(deposits).count;
    count.outside = placed.outside;
    for (const Cell& cell : placed.cells) {
        const auto d = std::lower_bound(request.deposits.begin(), request.deposits.end(), cell);
        count.onNoData += !onData(std::size_t(d - request.deposits.begin()));
    }
    std::vector<std::size_t> depositCells;
    for (std::size_t d = 0; d < request.deposits.size(); ++d)
        if (onData(d)) depositCells.push_back(d);
    count.cells = int(depositCells.size());
    if (depositCells.empty())
        throw GeoError(depositsName + ": no deposit lies on a cell where every evidence layer holds data");

    const std::size_t wanted = options.background < 0 ? depositCells.size() : std::size_t(options.background);
    if (wanted > drawn.qualifying)
        throw GeoError(backgroundName + ": " + std::to_string(wanted) + " background cells asked, but only " +
                       std::to_string(drawn.qualifying) + " hold data on every layer away from the deposits");
    // The background in cell order.
    std::vector<std::size_t> background(wanted);
    for (std::size_t i = 0; i < wanted; ++i) background[i] = i;
    std::sort(background.begin(), background.end(),
              [&](std::size_t a, std::size_t b) { return drawn.background[a] < drawn.background[b]; });

    // The samples in file order, each deposit cell followed by a background cell while both last.
    BpSamples samples;
    samples.count = {count, int(wanted), int(layers)};
    samples.set.inputCount = int(layers);
    samples.set.outputCount = 1;
    const auto add = [&](const std::vector<double>& values, std::size_t at, int target) {
        samples.set.inputs.insert(samples.set.inputs.end(), values.begin() + std::ptrdiff_t(at * layers),
                                  values.begin() + std::ptrdiff_t((at + 1) * layers));
        samples.set.targets.push_back(target);
    };
    for (std::size_t i = 0; i < std::max(depositCells.size(), wanted); ++i) {
        if (i < depositCells.size()) add(drawn.depositValues, depositCells[i], 1);
        if (i < wanted) add(drawn.backgroundValues, background[i], 0);
    }
    samples.set.sampleCount = int(samples.set.targets.size());
    samples.cellsWithData = drawn.cellsWithData;
    // Rescaled by the core as bp-classify rescales whole grids: the running range folds in each
    // layer's smallest and largest value before that layer's samples are scaled.
    InputRange range;
    for (std::size_t i = 0; i < layers && options.rescaled; ++i) {
        FoldInputRange(&drawn.low[i], 1, 1, kCoreBlank, range);
        FoldInputRange(&drawn.high[i], 1, 1, kCoreBlank, range);
        ScaleInputColumn(samples.set.inputs.data() + i, std::size_t(samples.set.sampleCount), layers,
                         kCoreBlank, range);
    }
    return samples;
}

void WriteSampleFile(const BPSampleSet& samples, const std::string& output) {
    TextSink sink;
    Open(sink, output);
    sink.Put("BP Training Sample File !!!\n");
    for (int s = 0; s < samples.sampleCount; ++s) {
        const double* inputs = samples.Inputs(s);
        for (int i = 0; i < samples.inputCount; ++i) {
            PutNumber(sink, inputs[i], false);
            sink.Put(' ');
        }
        sink.Int(samples.Targets(s)[0]);
        sink.Put('\n');
    }
    Close(sink, output);
}

SampleResult WriteBpSamples(const std::vector<std::string>& evidencePaths, const std::string& depositsPath,
                            const PointOptions& pointOptions, const std::string& output,
                            const SampleOptions& options, const Progress& progress) {
    const PointFile deposits =
        ReadPointFile(depositsPath, Evidence(evidencePaths).frame().crsWkt, pointOptions);
    BpSamples samples =
        MakeBpSamples(evidencePaths, deposits.points, options, depositsPath, output, progress);
    WriteSampleFile(samples.set, output);
    // What reading the file left out, beside what placing the points did.
    samples.count.deposits.read = deposits.count.read;
    samples.count.deposits.noGeometry = deposits.count.noGeometry;
    samples.count.deposits.notAPoint = deposits.count.notAPoint;
    samples.count.deposits.badRows = deposits.count.badRows;
    return samples.count;
}

std::vector<ModelUnit> ModelUnitsOf(const std::vector<std::string>& evidencePaths,
                                    const std::vector<Point>& deposits, PointCount& count) {
    const Evidence evidence(evidencePaths);
    const KeptPoints kept = KeepPoints(evidence, AsRead(deposits));
    count = kept.count;
    std::map<Cell, std::int32_t> units;
    for (const Cell& cell : kept.cells) ++units[cell];
    std::vector<ModelUnit> found;
    found.reserve(units.size());
    for (const auto& [cell, size] : units) found.push_back({cell, size});
    return found;
}

ModelUnitResult WriteModelUnits(const std::string& evidencePath, const std::string& depositsPath,
                                const PointOptions& pointOptions, const std::string& output,
                                const std::string& title) {
    const std::string token =
        title.empty() ? Token(std::filesystem::path(depositsPath).stem().string(), kMaxTitle) : title;
    if (token.empty() || token.size() > kMaxTitle || std::any_of(token.begin(), token.end(), [](char c) {
            return std::isspace(static_cast<unsigned char>(c));
        }))
        throw GeoError("the title \"" + token + "\" is not one word of 1 to 51 characters");
    const Evidence evidence({evidencePath});
    const KeptPoints kept =
        KeepPoints(evidence, ReadPointFile(depositsPath, evidence.frame().crsWkt, pointOptions));
    const bool sized = !pointOptions.valueField.empty();
    // Units by (row from the south, column), as the design's files count rows.
    const GridFrame& frame = evidence.frame();
    const auto fromSouth = [&](int row) { return RowsRunNorth(frame) ? row : frame.rows - 1 - row; };
    std::map<std::pair<int, int>, std::int64_t> units;
    ModelUnitResult result{kept.count, 0};
    for (std::size_t i = 0; i < kept.cells.size(); ++i) {
        const double size = sized ? kept.points[i].value : 1.0;
        if (size != std::floor(size) || std::fabs(size) > 1e9)
            throw GeoError(depositsPath + ": point " + kept.points[i].name + ": size " +
                           std::to_string(size) + " is not a whole number");
        const std::pair<int, int> key{fromSouth(kept.cells[i].row), kept.cells[i].col};
        units[key] += std::int64_t(size);
        result.size += std::int64_t(size);
        if (std::llabs(units[key]) > 2147483647)
            throw GeoError(depositsPath + ": the sizes of one cell add up past a 32-bit integer");
    }
    TextSink sink;
    Open(sink, output);
    sink.Print("%s %d\n", token, int(units.size()));
    int sequence = 0;
    for (const auto& [cell, size] : units)
        sink.Print("%d %d %d %d\n", ++sequence, cell.first, cell.second, size);
    Close(sink, output);
    return result;
}

AnomalyTableResult WriteAnomalyTable(const std::vector<std::string>& evidencePaths,
                                     const std::string& candidates, const PointOptions& pointOptions,
                                     const std::string& output) {
    const Evidence evidence(evidencePaths);
    const KeptPoints kept =
        KeepPoints(evidence, ReadPointFile(candidates, evidence.frame().crsWkt, pointOptions));
    const int layers = evidence.LayerCount();
    TextSink sink;
    Open(sink, output);
    sink.Print("AnmLvl %d %d\nAnomaly", layers, int(kept.points.size()));
    for (int i = 0; i < layers; ++i) sink.Print(" %s", Token(evidence.LayerName(i), kMaxTableToken));
    sink.Put('\n');
    for (std::size_t p = 0; p < kept.points.size(); ++p) {
        const std::string name = Token(kept.points[p].name, kMaxTableToken);
        sink.Put(name.empty() ? std::to_string(p + 1) : name);
        for (int i = 0; i < layers; ++i) {
            sink.Put(' ');
            PutNumber(sink, kept.values[p * std::size_t(layers) + std::size_t(i)], true);
        }
        sink.Put('\n');
    }
    Close(sink, output);
    return {kept.count, layers};
}

}  // namespace quarnel::geo
