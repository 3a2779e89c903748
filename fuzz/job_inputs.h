#pragma once
// Small valid files that targets put beside a fuzzed input, so a whole job gets past its other
// inputs and reaches the fuzzed one.
namespace quarnel::fuzz {

// A BP network of one input, two hidden nodes and one output.
inline constexpr char kOneInputNetwork[] =
    "         1           2           1            0.01230000\n"
    "     0.10000    -0.20000\n"
    "     0.50000\n"
    "     1.00000     2.00000\n"
    "     0.30000\n"
    "    -0.40000\n";

// A DSAA grid of 3 x 2 cells, one of them blank.
inline constexpr char kSmallDsaa[] = "DSAA\n3 2\n0 2\n0 1\n0 1\n1 2 3\n4 99999 6\n";

}  // namespace quarnel::fuzz
