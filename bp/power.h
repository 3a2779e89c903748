#pragma once
// Power271(x) = 2.71^x (the base is the double nearest 2.71), the power inside the BP sigmoid.
//
// It is worked out in double arithmetic alone, every operation rounded once to double, with no
// fused multiply-add and no extended precision, so every build that keeps to IEEE double
// (x86-64, and 32-bit x86 with SSE2 arithmetic) gives the same bits for the same x.
//
// The bits are those of the C library's pow(2.71, x) on x86-64 glibc (2.28 and later, on a
// processor with FMA) for all but a handful of arguments: the same reduction of 2.71^x to
// 2^(k/128) e^r, the same table and polynomial, and exact products where glibc's fused
// multiply-adds round once. So the networks trained on Linux before keep their bits, and the
// Windows build now gives them too. Measured on 10^8 arguments (uniform and log-uniform over
// [-800, 800]), see bench/README.md: 0 results differ from glibc's; the error stays within
// 0.502 ULP of the exact 2.71^x (MPFR), the bound being 0.52 ULP. Like glibc's, the result is not
// always the correctly rounded one (about 1 argument in 1200 is 1 ULP off it).
//
// Edges: 1 for x = +-0; +inf from x = 0x1.63262b85ead13p+9 (about 712.4) up, as 2.71^x passes
// the largest double; subnormal below about -710.6 and +0 below about -746.7 (2.71^x < 2^-1075),
// so 1 / (1 / p + 1) saturates to exactly 1 and 0; +inf for +inf, +0 for -inf, NaN for NaN.
namespace quarnel {

double Power271(double x);

}  // namespace quarnel
