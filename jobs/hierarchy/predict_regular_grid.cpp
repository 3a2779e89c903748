#include <quarnel/hierarchy.h>

#include <memory>
#include <string>

#include "formats/grid/kvsgda.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/mine_decompos.h"
#include "jobs/hierarchy/report_opening.h"

namespace quarnel {

namespace {

using namespace hierarchy_status;

struct ElementGrids {
    int count = 0;
    std::unique_ptr<KvsgdaReader[]> readers;
    const char* files[kLevelCount * kMaxElements];
    float weights[kLevelCount * kMaxElements];
};

std::string Cells(std::int32_t rows, std::int32_t cols) {
    return std::to_string(rows) + " x " + std::to_string(cols);
}

int Refuse(const char* file, const ScanResult& read, const char* what, std::string& cause) {
    cause = std::string(file) + ": " + what + " at byte " + std::to_string(read.position) + ": " +
            ScanStatusText(read.status);
    return kMalformedInput;
}

// Opens the grids of the present levels' elements in level and element order, each positioned
// at its first value. Every grid's header replaces the one before, so the header in force is
// the last grid's; all grids must have its dimensions.
int OpenElementGrids(const HierarchyParams& params, const TotalWeights& totalWeights, ElementGrids& grids,
                     KvsgdaHeader& header, std::string& cause) {
    int total = 0;
    for (int level = 0; level < kLevelCount; ++level) total += params.ElementsInUse(level);
    grids.readers.reset(new KvsgdaReader[total]);
    for (int level = 0; level < kLevelCount; ++level) {
        for (int i = 0; i < params.ElementsInUse(level); ++i) {
            const char* file = params.elements[level][i].file;
            KvsgdaReader& reader = grids.readers[grids.count];
            if (!reader.Open(file)) {
                cause = std::string(file) + ": cannot be opened";
                return GridNotOpened(level, i);
            }
            const bool first = grids.count == 0;
            const std::int32_t rows = header.rows;
            const std::int32_t cols = header.cols;
            if (const ScanResult read = reader.ReadHeader(&header); !read.ok())
                return Refuse(file, read, "the header", cause);
            if (!first && (header.rows != rows || header.cols != cols)) {
                cause = std::string(file) + ": " + Cells(header.rows, header.cols) + " cells, but " +
                        grids.files[grids.count - 1] + " has " + Cells(rows, cols);
                return kMalformedInput;
            }
            grids.files[grids.count] = file;
            grids.weights[grids.count++] = totalWeights[level][i];
        }
    }
    return kSuccess;
}

// One value of every grid, then the core's cell: blank when any grid is blank there.
int NextCell(ElementGrids& grids, float blankValue, float& cell, std::string& cause) {
    float values[kLevelCount * kMaxElements];
    for (int g = 0; g < grids.count; ++g) {
        if (const ScanResult read = grids.readers[g].Next(values[g]); !read.ok())
            return Refuse(grids.files[g], read, "a value", cause);
    }
    const auto count = static_cast<std::size_t>(grids.count);
    cell = hierarchy::PredictCell({values, count}, {grids.weights, count}, blankValue);
    return kSuccess;
}

}  // namespace

// The grids are streamed: one value of every element grid per cell, each cell written at once.
int CMine_Decompos::PredictRegularGrid(const HierarchyParams& params, const TotalWeights& totalWeights,
                                       TextSink& report) {
    ElementGrids grids;
    KvsgdaHeader header;
    if (const int status = OpenElementGrids(params, totalWeights, grids, header, run_.cause);
        status != kSuccess)
        return status;
    WriteGridSize(header.rows, header.cols, report);
    KvsgdaWriter output;
    if (!output.Open(params.outputFile, KvsgdaLayout::hierarchy)) {
        run_.cause = std::string(params.outputFile) + ": cannot be created";
        return kOutputGridNotCreated;
    }
    report.Put("\n\n");
    output.WriteHeader(header);
    run_.gridRows = header.rows;
    run_.gridCols = header.cols;
    for (std::int64_t cells = std::int64_t{header.rows} * header.cols; cells > 0; --cells) {
        float cell = 0.0f;
        if (const int status = NextCell(grids, header.blankValue, cell, run_.cause); status != kSuccess)
            return status;
        output.Put(cell);
    }
    if (!output.Close()) {
        run_.cause = std::string(params.outputFile) + ": could not be written completely";
        return kWriteFailed;
    }
    return kSuccess;
}

}  // namespace quarnel
