#pragma once
// The anomaly table of targets 0 and 2: the header "AnmLvl", the variable and row counts, a
// title token, one variable-name token per element of the present levels, then per row its
// name and one value per element. Every row is scored with the total weights as it is read;
// only the row's name (cut to 19 characters), its score (the core's ScoreRow) and, for ranking,
// its index are kept.
#include <cstdint>
#include <memory>
#include <string>

#include "formats/grid/scan_stream.h"
#include "formats/grid/text_sink.h"
#include "jobs/hierarchy/hierarchy_params.h"

namespace quarnel {

inline constexpr std::size_t kRowNameField = 20;
using RowName = char[kRowNameField];

struct AnomalyRows {
    std::int32_t count = 0;
    std::unique_ptr<RowName[]> names;
    std::unique_ptr<float[]> scores;
    std::unique_ptr<std::int32_t[]> index;  // only for ranking
};

// What made a table unreadable, in words, when that is known ("row 3: a value at byte 120: ...").
struct TableCause {
    std::string what;
};

// The table's file: the file field of the second geophysics element; null when that element
// does not exist.
const char* AnomalyTableName(const HierarchyParams& params);

// Reads the open table into rows, echoing its header, counts and names to the report. Returns 0;
// 3256 when the header is not "AnmLvl"; 3500 when the number of variable names read differs from
// the variable count; 3070 when the row arrays cannot be allocated; 3902 when a token is missing,
// does not parse or (other than a row name) is longer than 19 characters, or the row count is
// negative or more than the rest of the table can hold.
int ReadAnomalyTable(ScanStream& table, const HierarchyParams& params, const TotalWeights& totalWeights,
                     bool withIndex, TextSink& report, AnomalyRows& rows, TableCause& cause);

}  // namespace quarnel
