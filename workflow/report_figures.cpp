#include "workflow/report_figures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "geo/crs.h"

namespace quarnel::workflow {

namespace {

using Json = nlohmann::ordered_json;

// A bound or a score in a legend: four significant digits.
std::string Short(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

// A share in per cent: whole numbers from 10 up, otherwise two significant digits.
std::string Percent(double share) {
    char text[32];
    std::snprintf(text, sizeof text, share >= 0.1 ? "%.0f %%" : "%.2g %%", 100 * share);
    return text;
}

// Per class value: the cells with data in it and the deposits on them.
struct ClassCounts {
    std::map<double, std::int64_t> cells;
    std::int64_t allCells = 0;
};

ClassCounts CountCells(const std::vector<double>& values) {
    ClassCounts counts;
    for (const double value : values)
        if (!std::isnan(value)) {
            ++counts.cells[value];
            ++counts.allCells;
        }
    return counts;
}

// The class value of each deposit on a cell with data; the deposits elsewhere are left out.
std::vector<double> DepositClasses(const std::vector<double>& values, const geo::GridFrame& frame,
                                   const std::vector<geo::Point>& deposits) {
    const geo::CellLocator locator(frame);
    std::vector<double> found;
    for (const geo::Point& point : deposits) {
        const std::int64_t cell = locator.Index(point.x, point.y);
        if (cell >= 0 && std::size_t(cell) < values.size() && !std::isnan(values[std::size_t(cell)]))
            found.push_back(values[std::size_t(cell)]);
    }
    return found;
}

// The share of found whose class passes keep, or null when found is empty.
Json ShareOf(const std::vector<double>& found, const std::function<bool(double)>& keep) {
    if (found.empty()) return nullptr;
    return double(std::count_if(found.begin(), found.end(), keep)) / double(found.size());
}

}  // namespace

std::vector<plot::ClassName> CodedClasses(double lower, double upper, bool invert) {
    const std::string high = "≥ " + Short(upper), low = "≤ " + Short(lower);
    return {{1, "favourable (" + (invert ? low : high) + ")", plot::Rgb{253, 174, 97}},
            {0, "neutral (" + Short(lower) + " to " + Short(upper) + ")", plot::Rgb{210, 210, 210}},
            {-1, "unfavourable (" + (invert ? high : low) + ")", plot::Rgb{145, 191, 219}}};
}

std::vector<plot::ClassName> ValueClasses(const std::vector<double>& values) {
    std::set<double> found;
    for (const double value : values) {
        if (!std::isnan(value)) found.insert(value);
        if (found.size() > plot::kMostClasses) return {};
    }
    std::vector<plot::ClassName> classes;
    classes.reserve(found.size());
    for (const double value : found) classes.push_back({value, "class " + Short(value), std::nullopt});
    return classes;
}

Classing TopAreas(const std::vector<double>& values) {
    std::vector<double> sorted;
    for (const double value : values)
        if (!std::isnan(value)) sorted.push_back(value);
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    Classing classing;
    if (sorted.empty()) return classing;
    std::array<double, 3> thresholds{};
    for (std::size_t k = 0; k < 3; ++k) {
        const auto place = std::size_t(std::ceil(double(k + 1) / 10 * double(sorted.size())));
        thresholds[k] = sorted[std::max<std::size_t>(place, 1) - 1];
    }
    classing.values.reserve(values.size());
    for (const double value : values)
        classing.values.push_back(std::isnan(value)        ? value
                                  : value >= thresholds[0] ? 1
                                  : value >= thresholds[1] ? 2
                                  : value >= thresholds[2] ? 3
                                                           : 4);
    // Tied scores go to one class: each is named by the share of the area it and those above it
    // take, which may be more than its nominal 10, 20 or 30 %.
    const ClassCounts counts = CountCells(classing.values);
    const plot::Rgb colours[] = {{165, 0, 38}, {244, 109, 67}, {254, 224, 144}};
    std::int64_t cells = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        const auto found = counts.cells.find(double(k + 1));
        if (found == counts.cells.end()) continue;
        cells += found->second;
        classing.classes.push_back(
            {double(k + 1),
             "top " + Percent(double(cells) / double(counts.allCells)) + " (≥ " + Short(thresholds[k]) + ")",
             colours[k]});
    }
    classing.classes.push_back({4, "the rest", plot::Rgb{210, 210, 210}});
    return classing;
}

Json ShareTable(const Classing& classing, const geo::GridFrame& frame,
                const std::vector<geo::Point>& training, const std::vector<geo::Point>& heldOut) {
    const ClassCounts counts = CountCells(classing.values);
    const std::vector<double> trained = DepositClasses(classing.values, frame, training);
    const std::vector<double> kept = DepositClasses(classing.values, frame, heldOut);
    Json rows = Json::array();
    Json head = {"class", "area %", "training deposits %", "ratio"};
    if (!heldOut.empty()) head.insert(head.end(), {"held-out deposits %", "ratio"});
    rows.push_back(head);
    const auto ratio = [](const Json& deposits, double area) {
        return deposits.is_number() && area > 0 ? Json(deposits.get<double>() / area) : Json(nullptr);
    };
    const auto percent = [](const Json& share) {
        return share.is_number() ? Json(100 * share.get<double>()) : share;
    };
    for (const plot::ClassName& name : classing.classes) {
        const auto found = counts.cells.find(name.value);
        if (found == counts.cells.end()) continue;
        const double area = double(found->second) / double(counts.allCells);
        const auto inClass = [&](double value) { return value == name.value; };
        const Json trainShare = ShareOf(trained, inClass);
        Json row = {name.name, 100 * area, percent(trainShare), ratio(trainShare, area)};
        if (!heldOut.empty()) {
            const Json keptShare = ShareOf(kept, inClass);
            row.insert(row.end(), {percent(keptShare), ratio(keptShare, area)});
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<plot::ClassName> CumulativeNames(const Classing& classing, const geo::GridFrame& frame,
                                             const std::vector<geo::Point>& judged) {
    const ClassCounts counts = CountCells(classing.values);
    const std::vector<double> found = DepositClasses(classing.values, frame, judged);
    std::vector<plot::ClassName> names = classing.classes;
    for (plot::ClassName& name : names) {
        if (name.value >= 4) continue;
        std::int64_t cells = 0;
        for (const auto& [value, count] : counts.cells)
            if (value <= name.value) cells += count;
        const Json share = ShareOf(found, [&](double value) { return value <= name.value; });
        name.name = "top " + Percent(double(cells) / double(std::max<std::int64_t>(counts.allCells, 1))) +
                    " → " + (share.is_number() ? Percent(share.get<double>()) : std::string("–"));
    }
    return names;
}

bool DrawClassedMap(const Classing& classing, const geo::GridFrame& frame,
                    const std::vector<geo::Point>& training, const std::vector<geo::Point>& heldOut,
                    const std::string& title, const std::string& legendTitle, const std::string& path,
                    std::string& cause) {
    plot::MapOptions options;
    options.title = title;
    options.classes = true;
    options.classNames = classing.classes;
    options.legendTitle = legendTitle;
    options.units = geo::DescribeCrs(frame.crsWkt).units;
    for (const geo::Point& point : training) options.deposits.push_back({point.x, point.y});
    for (const geo::Point& point : heldOut) options.heldOut.push_back({point.x, point.y});
    const plot::MapRaster raster{frame.rows, frame.cols, classing.values, frame.geoTransform, std::nullopt};
    const plot::PlotOutcome drawn = plot::PlotMap(raster, options, path);
    cause = drawn.cause;
    return drawn.ok;
}

}  // namespace quarnel::workflow
