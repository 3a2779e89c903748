#pragma once
// Surfer DSAA grids read line by line, the way BP classification reads its text inputs.
//
// ProbeDsaaLines: the first line, white space stripped at both ends, must be exactly "DSAA"
// (letter case counts); nx and ny are the first two tokens of the second line under the
// blank-separated token rule, converted as atoi does (a missing token gives 0).
// ReadDsaaLineValues: skips exactly five lines (the header), then takes every token of every
// following line, in file order, as the next value (converted as atof does). Value k is stored
// in the caller's blocks (DsaaValueBlocks) for k below capacity; the count covers every value
// the file holds, so a caller compares it with the size it expected. The lines are read from a
// buffer without a copy, and a plain decimal (formats/grid/plain_decimal.h) converts on the short way;
// any other token goes through AtofText.
#include <cstddef>
#include <cstdint>

namespace quarnel {

// line_too_long: a line longer than any grid row can be (CStdioFile::kMaxLineLength).
// not_finite: a value is inf or nan.
enum class DsaaLinesStatus { ok, cannot_open, not_dsaa, line_too_long, not_finite };

struct DsaaLinesShape {
    int nx = 0;
    int ny = 0;
};

DsaaLinesStatus ProbeDsaaLines(const char* path, DsaaLinesShape& shape);

struct DsaaLineValues {
    DsaaLinesStatus status;
    std::uint64_t count;
};

// Where value k (k < capacity) goes: blocks[k / blockValues][(k % blockValues) * stride]. One
// block of capacity values is a plain strided array.
struct DsaaValueBlocks {
    double* const* blocks;
    std::size_t blockValues;
    std::size_t stride;
    std::uint64_t capacity;
};

DsaaLineValues ReadDsaaLineValues(const char* path, const DsaaValueBlocks& out);

}  // namespace quarnel
