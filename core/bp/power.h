#pragma once
// Power271(x) = 2.71^x (the base is the double nearest 2.71), the power inside the BP sigmoid.
//
// It is worked out in double arithmetic alone, every operation rounded once to double, with no
// fused multiply-add and no extended precision, so every build that keeps to IEEE double
// (x86-64, and 32-bit x86 with SSE2 arithmetic) gives the same bits for the same x.
//
// The bits are those of the C library's pow(2.71, x) on x86-64 glibc (2.28 and later, on a
// processor with FMA) for all but a few arguments in 10^8: the same reduction of 2.71^x to
// 2^(k/128) e^r, the same table and polynomial, and exact products where glibc's fused
// multiply-adds round once. So the networks trained on Linux before keep their bits, and the
// Windows build now gives them too. Measured on 10^8 arguments (alternately uniform over
// [-800, 800] and log-uniform over [2^-30, 800] in magnitude; bench/bp/sweep_power.cpp,
// bench/README.md): 4 results differ from glibc's, each by one unit in the last place, where
// 2.71^x lies within 2^-12 ULP of a halfway point between doubles (x = -0x1.1df11377e7518p+8,
// 0x1.01208ab3f12e8p+9, -0x1.89b238e6c77b8p+6, -0x1.908e2ae83bddp+5). The largest error is 0.5102
// ULP of the exact 2.71^x (MPFR), within the bound of 0.52; like glibc's, 0.061 % of the results
// are not the nearest double but the one next to it.
//
// Edges: 1 for x = +-0 and |x| < 2^-54; +inf above x = 0x1.63fa424a1373cp+9 (711.955...), the last
// finite result; subnormal below x = -710.5646...; +0 below -0x1.75b4f91743ebcp+9 (-747.413...),
// where 2.71^x falls under half the least subnormal. So 1 / (1 / p + 1) is exactly 1 from x =
// 36.85 on and exactly 0 from x = -711.955 down, as with glibc. +inf for +inf, +0 for -inf, NaN for
// NaN.
namespace quarnel {

double Power271(double x);

}  // namespace quarnel
