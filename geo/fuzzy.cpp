#include "geo/fuzzy.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>

#include "geo/rows.h"

namespace quarnel::geo {

namespace {

void RefuseBadRequest(const FuzzyOverlayRequest& request) {
    if (request.inputs.empty()) throw GeoError("fuzzy overlay: no input rasters named");
    if (const std::string why = fuzzy::CheckGamma(request.gamma); !why.empty())
        throw GeoError("fuzzy overlay: " + why + " (it is " + std::to_string(request.gamma) + ")");
    for (const FuzzyInput& input : request.inputs) {
        if (const std::string why = fuzzy::CheckMembership(input.membership); !why.empty())
            throw GeoError(input.raster + ": membership " + fuzzy::MembershipText(input.membership) + ": " +
                           why);
        for (const std::string& output : {request.output, input.membershipOutput})
            for (const FuzzyInput& other : request.inputs)
                if (!output.empty() && output == other.raster)
                    throw GeoError(output + " is the input " + other.raster + "; it is not overwritten");
    }
}

// x as the membership takes it: the door's no data (kCoreBlank) as NaN.
double ValueOf(double v) {
    return v == kCoreBlank ? std::numeric_limits<double>::quiet_NaN() : v;
}

void RefuseAsIsValue(const FuzzyInput& input, double x, int row, int col) {
    if (input.membership.kind == fuzzy::Kind::asIs && !std::isnan(x) && !(x >= 0 && x <= 1))
        throw GeoError(input.raster + ": row " + std::to_string(row) + ", column " + std::to_string(col) +
                       " holds " + std::to_string(x) + ", outside 0..1, which membership as-is refuses");
}

}  // namespace

FuzzyOverlayResult FuzzyOverlay(const FuzzyOverlayRequest& request, const WriteOptions& options,
                                const Progress& progress) {
    RefuseBadRequest(request);
    std::vector<Raster> rasters;
    for (const FuzzyInput& input : request.inputs) {
        rasters.push_back(Raster::Open(input.raster));
        RequireSameFrame(request.inputs.front().raster, rasters.front().frame(), input.raster,
                         rasters.back().frame());
    }
    CacheBlockRowsOf(rasters);
    const GridFrame& frame = rasters.front().frame();
    // One strip height for every input, so a strip's cells are the same cells in each.
    const int rowsPerStrip = rasters.front().PreferredRowCount();
    std::vector<RowStrip> strips;
    strips.reserve(rasters.size());
    for (const Raster& raster : rasters) strips.emplace_back(raster, 1, rowsPerStrip);

    const std::size_t n = request.inputs.size();
    std::vector<std::unique_ptr<RasterWriter>> memberships(n);
    for (std::size_t k = 0; k < n; ++k)
        if (!request.inputs[k].membershipOutput.empty()) {
            memberships[k] = std::make_unique<RasterWriter>(request.inputs[k].membershipOutput, frame, 1,
                                                            std::nullopt, options);
            memberships[k]->SetBandName(1, "membership");
        }
    RasterWriter writer(request.output, frame, 1, std::nullopt, options);
    writer.SetBandName(1, "fuzzy");

    FuzzyOverlayResult result;
    result.rows = frame.rows;
    result.cols = frame.cols;
    std::vector<double> low(n, std::numeric_limits<double>::infinity());
    std::vector<double> high(n, -std::numeric_limits<double>::infinity());
    double overlayLow = std::numeric_limits<double>::infinity();
    double overlayHigh = -overlayLow;
    std::vector<double> cell(n);
    std::vector<double> overlay;
    std::vector<std::vector<double>> membershipRows(n);
    while (true) {
        bool more = true;
        for (RowStrip& strip : strips) more = strip.Next() && more;
        if (!more) break;
        const int first = strips.front().first();
        const int count = strips.front().count();
        const std::size_t cells = std::size_t(count) * std::size_t(frame.cols);
        overlay.resize(cells);
        for (auto& rowValues : membershipRows) rowValues.resize(cells);
        for (std::size_t c = 0; c < cells; ++c) {
            for (std::size_t k = 0; k < n; ++k) {
                const double x = ValueOf(strips[k].Values()[c]);
                if (!std::isnan(x)) {
                    RefuseAsIsValue(request.inputs[k], x, first + int(c / std::size_t(frame.cols)),
                                    int(c % std::size_t(frame.cols)));
                    low[k] = std::min(low[k], x);
                    high[k] = std::max(high[k], x);
                }
                cell[k] = fuzzy::MembershipOf(request.inputs[k].membership, x);
                membershipRows[k][c] = cell[k];
            }
            const double v = fuzzy::Combine(request.op, request.gamma, cell);
            overlay[c] = v;
            if (std::isnan(v)) {
                ++result.blank;
                continue;
            }
            ++result.valid;
            overlayLow = std::min(overlayLow, v);
            overlayHigh = std::max(overlayHigh, v);
        }
        for (std::size_t k = 0; k < n; ++k)
            if (memberships[k]) memberships[k]->WriteRows(1, first, count, membershipRows[k].data());
        writer.WriteRows(1, first, count, overlay.data());
        ReportProgress(progress, {"row", first + count, frame.rows, 0});
    }
    for (auto& membership : memberships)
        if (membership) membership->Commit();
    writer.Commit();
    for (std::size_t k = 0; k < n; ++k)
        result.inputs.push_back(low[k] <= high[k] ? FuzzyInputRange{low[k], high[k]} : FuzzyInputRange{});
    if (result.valid > 0) {
        result.min = overlayLow;
        result.max = overlayHigh;
    }
    return result;
}

}  // namespace quarnel::geo
