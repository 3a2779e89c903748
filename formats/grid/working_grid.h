#pragma once
// The working matrix of normalisation and window statistics: a KVSGDB01 grid read with
// CKvbFile and turned over (stored row rows-1-r becomes row r), or a DSAA grid as read, so
// both give the same matrix in DSAA row order, widened to double.
#include "formats/grid/dsaa_reader.h"
#include "formats/grid/grid_kind.h"
#include "formats/grid/grid_status.h"
#include "formats/grid/matrix.h"

namespace quarnel {

struct WorkingGrid {
    GridFileKind kind = GridFileKind::text;
    int rows = 0;
    int cols = 0;
    double blank = DSAA_BLANK;  // the header's blankValue for a KVSGDB01 grid
    float zMin = 0.0f;          // the header's range of a KVSGDB01 grid
    float zMax = 0.0f;
    RowMatrix<double> values;
};

GridReadResult LoadWorkingGrid(const char* path, WorkingGrid* grid);

}  // namespace quarnel
