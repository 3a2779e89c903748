#pragma once
// Why a grid file could not be read, and where reading stopped.
#include <cstdint>

namespace quarnel {

enum class GridReadStatus {
    ok,
    not_found,      // the file cannot be opened for reading
    not_dsaa,       // a text grid whose first word is not "DSAA" (any letter case)
    malformed,      // a header field or a value is not a number of its kind
    bad_size,       // counts not positive, or more values than the file could hold
    too_short,      // the file ends before every value promised was read
    out_of_memory,  // the matrix cannot be allocated
    read_error,     // the file could not be read
    not_finite,     // a value is inf or nan, which would make every result of the job nan
};

struct GridReadResult {
    GridReadStatus status;
    std::uint64_t position;  // byte offset of the offending token, or where reading stopped
    bool ok() const { return status == GridReadStatus::ok; }
};

const char* GridReadStatusText(GridReadStatus status);

}  // namespace quarnel
