#pragma once
// The input grid of a preparation job, in memory as a row matrix of doubles in DSAA row order
// (row 0 = the first row of a DSAA file = the last stored row of a KVSGDB01 file).
//
// LoadWorkingGrid tells the two formats apart by the first 8 bytes ("KVSGDB01" in any letter
// case is binary, anything else is read as DSAA) and reads the whole grid, opening the file
// for reading only. It fails, holding nothing, when the file cannot be opened, a DSAA file
// does not start with the word DSAA (any letter case), a count is not positive, the file
// holds fewer values than its counts promise (checked against the file size before anything
// is allocated), a value does not parse, or memory runs out.
#include "grid/matrix.h"

namespace quarnel::prep {

struct WorkingGrid {
    RowMatrix<double> values;
    int rows = 0;
    int cols = 0;
    double blank = 99999;  // DSAA: the library's no-data value; KVSGDB01: the header's
    bool binary = false;
    double zMin = 0;  // header range of a KVSGDB01 grid
    double zMax = 0;
};

bool LoadWorkingGrid(const char* path, WorkingGrid& grid);

}  // namespace quarnel::prep
