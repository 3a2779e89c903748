#pragma once
// The bits of Power271 over a fixed set of arguments, for the Windows build of the host and its
// Linux twin to write and the suite to compare byte for byte.
//
// WritePowerBits writes, to path, every thousandth argument and its power as hexadecimal bits,
// then the counts of results that are 0, subnormal and inf, and a 64-bit FNV-1a hash of the bits
// of all 10^6 results. The arguments come from a fixed SplitMix64 sequence through bit operations
// alone (no conversions or library functions that could differ between platforms): half uniform
// over [-800, 800), half spread evenly over the binary exponents of [2^-30, 800], then the edges.
// False when the file cannot be written.
namespace quarnel {

bool WritePowerBits(const char* path);

}  // namespace quarnel
