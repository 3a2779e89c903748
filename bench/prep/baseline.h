#pragma once
// The straightforward form of the preparation jobs that the benchmark measures the library
// against: one fscanf call per value read and one fprintf call per value written, the same
// arithmetic and the same output bytes. Both return 1 when their outputs were written, else 0.

namespace quarnel::bench {

int BaselineNormalize(const char* inputFile, const char* outputFile);
int BaselineCalAvgVar(const char* inPath, const char* meanPath, const char* stdPath, int w);

}  // namespace quarnel::bench
