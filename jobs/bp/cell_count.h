#pragma once
// Cell-count probes of the classification inputs; -1 for an input that gives no usable count.
//
// KvbCellCount: rows × cols from the header of a KVSGDB01 binary grid (read with
// CKvbFile::ReadHeader); *ny and *nx, when given, receive rows and cols.
// DsaaCellCount: nx × ny of a DSAA text grid whose first line, stripped at both ends, is exactly
// "DSAA" and whose second line starts with nx and ny (blank-separated token rule, atoi).
// Both give -1 when the file cannot be opened or is not a grid of their kind, and when a count
// is negative or the product does not fit an int; *ny and *nx are then left as they were.
#include "formats/afx/cstring.h"

namespace quarnel {

// rows × cols, or -1 when a count is negative or the product does not fit an int.
int GridCellCount(int rows, int cols);

int KvbCellCount(const CString& path, int* ny = nullptr, int* nx = nullptr);
int DsaaCellCount(const CString& path, int* ny, int* nx);

}  // namespace quarnel
