#pragma once
// DSAA text grids as normalisation and window statistics read them: the word "DSAA" (any
// letter case), nx and ny ("%d"), six reals ("%f"), then ny rows of nx "%f" values, each read
// as float32 and widened. The file is opened read-only, and counts that are not positive or
// that the file is too small to hold are refused before the matrix is allocated; a value that
// does not parse or a file that ends early fails the read.
#include "formats/grid/grid_status.h"
#include "formats/grid/matrix.h"

namespace quarnel {

// The no-data value of every DSAA grid.
inline constexpr double DSAA_BLANK = 99999.0;

struct DsaaGrid {
    int nx = 0;
    int ny = 0;
    float ranges[6] = {};      // xlo xhi ylo yhi zlo zhi as read; no job uses them
    RowMatrix<double> values;  // ny rows of nx values, first row of the file first
};

GridReadResult ReadDsaaGrid(const char* path, DsaaGrid* grid);

}  // namespace quarnel
