#include "geo/sample_draw.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>

#include "geo/layer_strips.h"

namespace quarnel::geo {

namespace {

// SplitMix64's finaliser: a bijection of 64-bit numbers that scatters neighbours.
std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// Columns c0..c1 of a row that are not background.
struct Span {
    int row, c0, c1;
    bool operator<(const Span& other) const { return row != other.row ? row < other.row : c0 < other.c0; }
};

// The cells whose centre lies nearer than distance to (x, y): per row of the square round the
// circle (found from its corners in cell units), the columns between the first and the last that
// do, which are all that do since the circle is convex in cell units too.
void AddSpansAround(std::vector<Span>& spans, const GridFrame& frame, const CellLocator& locator, double x,
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
    for (int r = r0; r <= r1; ++r) {
        Span span{r, frame.cols, -1};
        for (int c = c0; c <= c1; ++c) {
            const std::array<double, 2> centre = locator.Centre(r, c);
            if (std::hypot(centre[0] - x, centre[1] - y) >= distance) continue;
            span.c0 = std::min(span.c0, c);
            span.c1 = c;
        }
        if (span.c1 >= 0) spans.push_back(span);
    }
}

// Every cell that is never background: the deposit cells and those too near a deposit point.
std::vector<Span> ExcludedSpans(const CellDrawRequest& request, const GridFrame& frame) {
    std::vector<Span> spans;
    spans.reserve(request.deposits.size());
    for (const Cell& cell : request.deposits) spans.push_back({cell.row, cell.col, cell.col});
    if (request.minDistance > 0) {
        const CellLocator locator(frame);
        for (const Point& point : request.points)
            AddSpansAround(spans, frame, locator, point.x, point.y, request.minDistance);
    }
    std::sort(spans.begin(), spans.end());
    return spans;
}

// The background cells of the smallest keys met so far, each with its values in a slot of its own.
class Kept {
  public:
    // Grows with the cells it keeps, not with the capacity asked: a request larger than the cells
    // that qualify is refused after the walk, and must not claim its memory before.
    Kept(std::size_t capacity, std::size_t layers) : capacity_(capacity), layers_(layers) {}
    // Where key's values go, or nullptr when the cell is not kept.
    double* Offer(std::uint64_t key, std::int64_t cell) {
        if (capacity_ == 0) return nullptr;
        std::size_t slot;
        if (heap_.size() < capacity_) {
            slot = heap_.size();
            values_.resize(values_.size() + layers_);
        } else if (key < heap_.top().key) {
            slot = heap_.top().slot;
            heap_.pop();
        } else {
            return nullptr;
        }
        heap_.push({key, cell, slot});
        return values_.data() + slot * layers_;
    }
    // The cells kept, smallest key first, with their values.
    void Take(const GridFrame& frame, std::vector<Cell>& cells, std::vector<double>& values) && {
        std::vector<Entry> entries;
        entries.reserve(heap_.size());
        for (; !heap_.empty(); heap_.pop()) entries.push_back(heap_.top());
        std::reverse(entries.begin(), entries.end());
        for (const Entry& entry : entries) {
            cells.push_back({int(entry.cell / frame.cols), int(entry.cell % frame.cols)});
            const double* at = values_.data() + entry.slot * layers_;
            values.insert(values.end(), at, at + layers_);
        }
    }

  private:
    struct Entry {
        std::uint64_t key;
        std::int64_t cell;
        std::size_t slot;
        bool operator<(const Entry& other) const { return key < other.key; }
    };
    std::size_t capacity_;
    std::size_t layers_;
    std::priority_queue<Entry> heap_;  // the largest kept key on top
    std::vector<double> values_;
};

double Value(double stored) {
    return stored == kCoreBlank ? std::numeric_limits<double>::quiet_NaN() : stored;
}

}  // namespace

DrawnCells DrawCells(const std::vector<std::string>& evidence, const CellDrawRequest& request,
                     const Progress& progress) {
    LayerStrips layers(evidence);
    const GridFrame& frame = layers.frame();
    const std::size_t count = layers.size();
    const std::vector<Span> excluded = ExcludedSpans(request, frame);
    const std::uint64_t seedKey = Mix(request.seed);

    DrawnCells drawn;
    drawn.depositValues.resize(request.deposits.size() * count);
    drawn.low.assign(count, std::numeric_limits<double>::infinity());
    drawn.high.assign(count, -std::numeric_limits<double>::infinity());
    Kept kept(request.background, count);
    std::vector<const double*> strips(count);
    std::vector<char> barred(std::size_t(frame.cols));
    auto span = excluded.begin();
    auto deposit = request.deposits.begin();
    while (layers.Next()) {
        for (std::size_t k = 0; k < count; ++k) {
            strips[k] = layers.Values(k);
            for (std::size_t i = 0; i < std::size_t(layers.count()) * std::size_t(frame.cols); ++i)
                if (strips[k][i] != kCoreBlank) {
                    drawn.low[k] = std::min(drawn.low[k], strips[k][i]);
                    drawn.high[k] = std::max(drawn.high[k], strips[k][i]);
                }
        }
        for (int row = layers.first(); row < layers.first() + layers.count(); ++row) {
            const std::size_t offset = std::size_t(row - layers.first()) * std::size_t(frame.cols);
            std::fill(barred.begin(), barred.end(), 0);
            for (; span != excluded.end() && span->row == row; ++span)
                std::fill(barred.begin() + span->c0, barred.begin() + span->c1 + 1, 1);
            for (; deposit != request.deposits.end() && deposit->row == row; ++deposit) {
                const std::size_t d = std::size_t(deposit - request.deposits.begin());
                for (std::size_t k = 0; k < count; ++k)
                    drawn.depositValues[d * count + k] = Value(strips[k][offset + std::size_t(deposit->col)]);
            }
            for (int col = 0; col < frame.cols; ++col) {
                const std::size_t at = offset + std::size_t(col);
                if (std::any_of(strips.begin(), strips.end(),
                                [at](const double* s) { return s[at] == kCoreBlank; }))
                    continue;
                ++drawn.cellsWithData;
                if (barred[std::size_t(col)]) continue;
                ++drawn.qualifying;
                const std::int64_t cell = std::int64_t(row) * frame.cols + col;
                if (double* values = kept.Offer(Mix(seedKey ^ std::uint64_t(cell)), cell))
                    for (std::size_t k = 0; k < count; ++k) values[k] = strips[k][at];
            }
        }
        ReportProgress(progress, {"draw", layers.first() + layers.count(), frame.rows, 0});
    }
    std::move(kept).Take(frame, drawn.background, drawn.backgroundValues);
    return drawn;
}

}  // namespace quarnel::geo
