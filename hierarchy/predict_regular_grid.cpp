#include <memory>

#include "grid/kvsgda.h"
#include "hierarchy/hierarchy_status.h"
#include "hierarchy/mine_decompos.h"

namespace quarnel {

namespace {

using namespace hierarchy_status;

struct ElementGrids {
    int count = 0;
    std::unique_ptr<KvsgdaReader[]> readers;
    float weights[kLevelCount * kMaxElements];
};

// Opens the grids of the present levels' elements in level and element order, each positioned
// at its first value. Every grid's header replaces the one before, so the header in force is
// the last grid's; all grids must have its dimensions.
int OpenElementGrids(const HierarchyParams& params, const TotalWeights& totalWeights, ElementGrids& grids,
                     KvsgdaHeader& header) {
    int total = 0;
    for (int level = 0; level < kLevelCount; ++level) total += params.ElementsInUse(level);
    grids.readers.reset(new KvsgdaReader[total]);
    for (int level = 0; level < kLevelCount; ++level) {
        for (int i = 0; i < params.ElementsInUse(level); ++i) {
            KvsgdaReader& reader = grids.readers[grids.count];
            if (!reader.Open(params.elements[level][i].file)) return GridNotOpened(level, i);
            const bool first = grids.count == 0;
            const std::int32_t rows = header.rows;
            const std::int32_t cols = header.cols;
            if (!reader.ReadHeader(&header).ok()) return kMalformedInput;
            if (!first && (header.rows != rows || header.cols != cols)) return kMalformedInput;
            grids.weights[grids.count++] = totalWeights[level][i];
        }
    }
    return kSuccess;
}

// A cell is blank when any grid holds the blank value there; otherwise it is the weighted sum
// of the grids' values, stored as float after each addition.
bool NextCell(ElementGrids& grids, float blankValue, float& cell) {
    float sum = 0.0f;
    bool blank = false;
    for (int g = 0; g < grids.count; ++g) {
        float value = 0.0f;
        if (!grids.readers[g].Next(value).ok()) return false;
        if (value == blankValue) {
            blank = true;
        } else if (!blank) {
            sum = static_cast<float>(sum + static_cast<double>(value) * grids.weights[g]);
        }
    }
    cell = blank ? blankValue : sum;
    return true;
}

}  // namespace

// The grids are streamed: one value of every element grid per cell, each cell written at once.
int CMine_Decompos::PredictRegularGrid(const HierarchyParams& params, const TotalWeights& totalWeights,
                                       TextSink& report) {
    ElementGrids grids;
    KvsgdaHeader header;
    if (const int status = OpenElementGrids(params, totalWeights, grids, header); status != kSuccess)
        return status;
    report.Print("\n输入数据的行数为%ld,\t列数为%ld\n", header.rows, header.cols);
    KvsgdaWriter output;
    if (!output.Open(params.outputFile, KvsgdaLayout::hierarchy)) return kOutputGridNotCreated;
    report.Put("\n\n");
    output.WriteHeader(header);
    for (std::int64_t cells = std::int64_t{header.rows} * header.cols; cells > 0; --cells) {
        float cell = 0.0f;
        if (!NextCell(grids, header.blankValue, cell)) return kMalformedInput;
        output.Put(cell);
    }
    return output.Close() ? kSuccess : kWriteFailed;
}

}  // namespace quarnel
