#include "jobs/bp/cell_count.h"

#include <climits>

#include "formats/grid/dsaa_lines.h"
#include "formats/grid/grid_kind.h"
#include "formats/grid/kvb_file.h"

namespace quarnel {

int GridCellCount(int rows, int cols) {
    if (rows < 0 || cols < 0) return -1;
    if (rows != 0 && cols > INT_MAX / rows) return -1;
    return rows * cols;
}

int KvbCellCount(const CString& path, int* ny, int* nx) {
    KvbGridHeader header{};
    CKvbFile reader;
    reader.ReadHeader(path, &header);
    if (!IsKvbMagic(header.magic)) return -1;
    int cells = GridCellCount(header.rows, header.cols);
    if (cells < 0) return -1;
    if (ny != nullptr) *ny = header.rows;
    if (nx != nullptr) *nx = header.cols;
    return cells;
}

int DsaaCellCount(const CString& path, int* ny, int* nx) {
    DsaaLinesShape shape;
    if (ProbeDsaaLines(path, shape) != DsaaLinesStatus::ok) return -1;
    int cells = GridCellCount(shape.ny, shape.nx);
    if (cells < 0) return -1;
    *ny = shape.ny;
    *nx = shape.nx;
    return cells;
}

}  // namespace quarnel
