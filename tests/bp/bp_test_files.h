#pragma once
// What the BP tests share beyond the common test helpers: a small network whose class grid is
// known by hand, and the grids it classifies.
#include "tests/testkit/testkit.h"

namespace quarnel::bptest {

// Hidden node 0 follows x0 - x1, hidden node 1 follows x1 - x0; the output fires when either
// is high: exclusive or of the two inputs.
inline constexpr const char* kXorNetwork =
    "         2           2           1            0.00000000\n"
    "    -5.00000    -5.00000\n"
    "    -5.00000\n"
    "    10.00000   -10.00000\n"
    "   -10.00000    10.00000\n"
    "    10.00000\n"
    "    10.00000\n";

// Two 2 x 2 DSAA inputs holding the corners of the unit square, cell by cell (0,0) (0,1) /
// (1,0) (1,1), and the class grid of kXorNetwork over them.
inline constexpr const char* kCornerGridA = "DSAA\n2 2\n0 1\n0 1\n0 1\n0 0\n1 1\n";
inline constexpr const char* kCornerGridB = "DSAA\n2 2\n0 1\n0 1\n0 1\n0 1\n0 1\n";
inline constexpr const char* kXorGrid = "DSAA\n2 2\n1 2\n1 2\n2 3\n2 3 \n3 2 \n";

}  // namespace quarnel::bptest
