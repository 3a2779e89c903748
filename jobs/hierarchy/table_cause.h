#pragma once
// The causes the host names when the anomaly table of targets 0 and 2 fails: which file, what,
// where.
#include <string>

#include "jobs/hierarchy/anomaly_table.h"

namespace quarnel {

// The table is not named (geophysics absent or with fewer than two elements: tableName null) or
// cannot be opened.
std::string TableNotOpenedCause(const char* tableName);

// "TABLE: WHAT", or "" when nothing more than the status is known.
std::string TableCauseText(const char* tableName, const TableCause& cause);

}  // namespace quarnel
