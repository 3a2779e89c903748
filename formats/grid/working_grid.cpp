#include "formats/grid/working_grid.h"

#include "formats/grid/kvb_file.h"

namespace quarnel {
namespace {

// Tells apart the ways a binary grid can fail, which ReadGrid folds into one null.
GridReadStatus KvbFailure(const char* path) {
    CKvbFile kvb;
    KvbGridHeader header{};
    kvb.ReadHeader(path, &header);
    if (!IsKvbMagic(header.magic)) return GridReadStatus::malformed;  // header cut short
    if (header.rows <= 0 || header.cols <= 0) return GridReadStatus::bad_size;
    if (!KvbFileHoldsGrid(path, header)) return GridReadStatus::too_short;
    return GridReadStatus::out_of_memory;
}

GridReadResult LoadKvb(const char* path, WorkingGrid* grid) {
    CKvbFile kvb;
    KvbGridHeader header{};
    float** grid32 = kvb.ReadGrid(path, &header);
    const RowMatrix<float> stored(grid32, header.rows);
    if (!stored) return {KvbFailure(path), 0};
    const int rows = header.rows;
    const int cols = header.cols;
    RowMatrix<double> values(AllocDoubleMatrix(rows, cols), rows);
    if (!values) return {GridReadStatus::out_of_memory, 0};
    for (int r = 0; r < rows; ++r) {
        const float* from = stored[std::size_t(rows - 1 - r)];
        double* to = values[std::size_t(r)];
        for (int c = 0; c < cols; ++c) to[c] = from[c];
    }
    grid->rows = rows;
    grid->cols = cols;
    grid->blank = header.blankValue;
    grid->zMin = header.zMin;
    grid->zMax = header.zMax;
    grid->values.Reset(values.Release(), rows);
    return {GridReadStatus::ok, 0};
}

GridReadResult LoadDsaa(const char* path, WorkingGrid* grid) {
    DsaaGrid dsaa;
    const GridReadResult result = ReadDsaaGrid(path, &dsaa);
    if (!result.ok()) return result;
    grid->rows = dsaa.ny;
    grid->cols = dsaa.nx;
    grid->blank = DSAA_BLANK;
    grid->values.Reset(dsaa.values.Release(), dsaa.ny);
    return result;
}

}  // namespace

GridReadResult LoadWorkingGrid(const char* path, WorkingGrid* grid) {
    grid->kind = DetectGridKind(path);
    switch (grid->kind) {
        case GridFileKind::unreadable:
            return {GridReadStatus::not_found, 0};
        case GridFileKind::kvsgdb01:
            return LoadKvb(path, grid);
        case GridFileKind::text:
            break;
    }
    return LoadDsaa(path, grid);
}

}  // namespace quarnel
