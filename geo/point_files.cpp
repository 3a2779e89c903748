#include "geo/point_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <set>

#include "geo/evidence.h"
#include "geo/rows.h"
#include "formats/grid/text_sink.h"
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

// A number below n from the generator, the same on every platform (the standard's
// distributions are not).
std::uint64_t Below(std::mt19937_64& random, std::uint64_t n) {
    const std::uint64_t limit =
        std::numeric_limits<std::uint64_t>::max() - std::numeric_limits<std::uint64_t>::max() % n;
    std::uint64_t x;
    do x = random();
    while (x >= limit);
    return x % n;
}

// count distinct numbers below n, ascending (Floyd's draw).
std::vector<std::uint64_t> Draw(std::uint64_t n, std::uint64_t count, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::set<std::uint64_t> drawn;
    for (std::uint64_t j = n - count; j < n; ++j) {
        const std::uint64_t t = Below(random, j + 1);
        drawn.insert(drawn.count(t) != 0 ? j : t);
    }
    return {drawn.begin(), drawn.end()};
}

// Clears the cells whose centre lies nearer than distance to (x, y), in map units whatever way
// the frame's rows and columns run: the cells looked at are those the square round the circle
// touches, found from the square's corners in cell units.
void ClearAround(std::vector<char>& allowed, const GridFrame& frame, const CellLocator& locator, double x,
                 double y, double distance) {
    double low[2] = {HUGE_VAL, HUGE_VAL};
    double high[2] = {-HUGE_VAL, -HUGE_VAL};
    for (const double dx : {-distance, distance})
        for (const double dy : {-distance, distance}) {
            const std::array<double, 2> at = locator.Position(x + dx, y + dy);
            for (int k = 0; k < 2; ++k) {
                low[k] = std::min(low[k], at[k]);
                high[k] = std::max(high[k], at[k]);
            }
        }
    const auto index = [](double v, int size) { return int(std::clamp(std::floor(v), -1.0, double(size))); };
    const int r0 = std::max(0, index(low[0], frame.rows));
    const int r1 = std::min(frame.rows - 1, index(high[0], frame.rows));
    const int c0 = std::max(0, index(low[1], frame.cols));
    const int c1 = std::min(frame.cols - 1, index(high[1], frame.cols));
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const std::array<double, 2> centre = locator.Centre(r, c);
            if (std::hypot(centre[0] - x, centre[1] - y) < distance)
                allowed[std::size_t(r) * std::size_t(frame.cols) + std::size_t(c)] = 0;
        }
}

// The background cells: drawn among the cells with data everywhere, on no deposit cell and at
// least minDistance from every deposit point.
std::vector<Cell> DrawBackground(const Evidence& evidence, std::vector<char> allowed,
                                 const std::vector<Point>& deposits, const std::vector<Cell>& depositCells,
                                 int wanted, const SampleOptions& options, const std::string& output) {
    const GridFrame& frame = evidence.frame();
    const std::size_t cols = std::size_t(frame.cols);
    for (const Cell& cell : depositCells) allowed[std::size_t(cell.row) * cols + std::size_t(cell.col)] = 0;
    if (options.minDistance > 0) {
        const CellLocator locator(frame);
        for (const Point& point : deposits)
            ClearAround(allowed, frame, locator, point.x, point.y, options.minDistance);
    }
    const auto qualifying = std::uint64_t(std::count(allowed.begin(), allowed.end(), 1));
    if (std::uint64_t(wanted) > qualifying)
        throw GeoError(output + ": " + std::to_string(wanted) + " background cells asked, but only " +
                       std::to_string(qualifying) + " hold data on every layer away from the deposits");
    std::vector<Cell> cells;
    const std::vector<std::uint64_t> drawn = Draw(qualifying, std::uint64_t(wanted), options.seed);
    std::uint64_t rank = 0;
    auto next = drawn.begin();
    for (std::size_t i = 0; i < allowed.size() && next != drawn.end(); ++i) {
        if (allowed[i] == 0) continue;
        if (rank++ == *next) {
            cells.push_back({int(i / cols), int(i % cols)});
            ++next;
        }
    }
    return cells;
}

}  // namespace

BpSamples MakeBpSamples(const std::vector<std::string>& evidencePaths, const std::vector<Point>& deposits,
                        const SampleOptions& options, const std::string& depositsName,
                        const std::string& backgroundName) {
    const Evidence evidence(evidencePaths);
    const KeptPoints kept = KeepPoints(evidence, AsRead(deposits));
    if (kept.cells.empty())
        throw GeoError(depositsName + ": no deposit lies on a cell where every evidence layer holds data");
    // Each deposit cell once, in cell order.
    std::vector<Cell> depositCells(kept.cells);
    std::sort(depositCells.begin(), depositCells.end());
    depositCells.erase(std::unique(depositCells.begin(), depositCells.end()), depositCells.end());

    const Evidence::Coverage coverage = evidence.Cover();
    const int wanted = options.background < 0 ? int(depositCells.size()) : options.background;
    const std::vector<Cell> background =
        DrawBackground(evidence, coverage.hasData, deposits, depositCells, wanted, options, backgroundName);

    // The samples in file order, each deposit cell followed by a background cell while both last.
    std::vector<Cell> cells;
    std::vector<int> targets;
    for (std::size_t i = 0; i < std::max(depositCells.size(), background.size()); ++i) {
        if (i < depositCells.size()) {
            cells.push_back(depositCells[i]);
            targets.push_back(1);
        }
        if (i < background.size()) {
            cells.push_back(background[i]);
            targets.push_back(0);
        }
    }
    // Rescaled by the core as bp-classify rescales whole grids: the running range folds in each
    // layer's smallest and largest value before that layer's samples are scaled.
    const int layers = evidence.LayerCount();
    BpSamples samples;
    samples.count = {kept.count, int(background.size()), layers};
    samples.set.sampleCount = int(cells.size());
    samples.set.inputCount = layers;
    samples.set.outputCount = 1;
    samples.set.inputs = evidence.ValuesAt(cells);
    samples.set.targets = std::move(targets);
    samples.cellsWithData = std::count(coverage.hasData.begin(), coverage.hasData.end(), char(1));
    InputRange range;
    for (std::size_t i = 0; i < std::size_t(layers) && options.rescaled; ++i) {
        FoldInputRange(&coverage.low[i], 1, 1, kCoreBlank, range);
        FoldInputRange(&coverage.high[i], 1, 1, kCoreBlank, range);
        ScaleInputColumn(samples.set.inputs.data() + i, cells.size(), std::size_t(layers), kCoreBlank, range);
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
                            const SampleOptions& options) {
    const PointFile deposits = ReadPointFile(depositsPath, Evidence(evidencePaths).frame().crsWkt, pointOptions);
    BpSamples samples = MakeBpSamples(evidencePaths, deposits.points, options, depositsPath, output);
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
