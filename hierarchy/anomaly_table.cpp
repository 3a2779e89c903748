#include "hierarchy/anomaly_table.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "hierarchy/hierarchy_status.h"

namespace quarnel {

namespace {

using namespace hierarchy_status;

// Every table token but a row name must fit its 20-byte field.
using TableToken = char[kRowNameField];

// The row arrays' size counts as an allocation failure beyond a 32-bit byte count, as it would
// on the 32-bit host; that also keeps a bogus row count from reserving tens of gigabytes.
constexpr std::uint64_t kLargestArray = 0xFFFFFFFFull;

int ReadHeader(ScanStream& table, TextSink& report) {
    TableToken header;
    if (!table.Word(header, sizeof header).ok()) return kMalformedInput;
    report.Print("\n\n  输入数据文件的头部信息为:\n  %s\n ", header);
    return std::strcmp(header, "AnmLvl") == 0 ? kSuccess : kNotAnomalyTable;
}

int ReadVariableNames(ScanStream& table, const HierarchyParams& params, std::int32_t variableCount,
                      TextSink& report) {
    TableToken token;
    if (!table.Word(token, sizeof token).ok()) return kMalformedInput;
    report.Print("  %s", token);
    std::int32_t count = 0;
    for (int level = 0; level < kLevelCount; ++level) {
        for (int i = 0; i < params.ElementsInUse(level); ++i) {
            if (!table.Word(token, sizeof token).ok()) return kMalformedInput;
            report.Print("  %s", token);
            ++count;
        }
    }
    if (count != variableCount) {
        report.Print("%ld %ld\n\n", count, variableCount);
        return kVariableCountMismatch;
    }
    report.Put("\n\n\n ");
    return kSuccess;
}

int AllocateRows(std::int32_t count, bool withIndex, AnomalyRows& rows) {
    if (count < 0) return kMalformedInput;
    if (static_cast<std::uint64_t>(count) * sizeof(RowName) > kLargestArray) return kNoMemory;
    rows.names.reset(new (std::nothrow) RowName[count]);
    rows.scores.reset(new (std::nothrow) float[count]);
    if (withIndex) rows.index.reset(new (std::nothrow) std::int32_t[count]);
    if (!rows.names || !rows.scores || (withIndex && !rows.index)) return kNoMemory;
    rows.count = count;
    return kSuccess;
}

// Row names longer than their field are cut; text is reused from row to row so a table costs no
// allocation per row. A name beyond kMaxRowNameText bytes is no name but a malformed table, so
// an endless token ends the read.
constexpr std::size_t kMaxRowNameText = 4096;

bool ReadRowName(ScanStream& table, std::string& text, RowName& name) {
    if (!table.Word(text, kMaxRowNameText).ok()) return false;
    const std::size_t length = text.size() < kRowNameField - 1 ? text.size() : kRowNameField - 1;
    std::memcpy(name, text.data(), length);
    name[length] = '\0';
    return true;
}

// The score is stored as float after each weighted value is added; every value counts.
bool ReadRow(ScanStream& table, const HierarchyParams& params, const TotalWeights& totalWeights,
             std::string& text, RowName& name, float& score) {
    if (!ReadRowName(table, text, name)) return false;
    score = 0.0f;
    for (int level = 0; level < kLevelCount; ++level) {
        for (int i = 0; i < params.ElementsInUse(level); ++i) {
            float value = 0.0f;
            if (!table.Float(value).ok() || !std::isfinite(value)) return false;
            score = static_cast<float>(score + static_cast<double>(totalWeights[level][i]) * value);
        }
    }
    return true;
}

}  // namespace

const char* AnomalyTableName(const HierarchyParams& params) {
    return params.ElementsInUse(1) >= 2 ? params.elements[1][1].file : nullptr;
}

int ReadAnomalyTable(ScanStream& table, const HierarchyParams& params, const TotalWeights& totalWeights,
                     bool withIndex, TextSink& report, AnomalyRows& rows) {
    if (const int status = ReadHeader(table, report); status != kSuccess) return status;
    std::int32_t variableCount = 0;
    std::int32_t rowCount = 0;
    if (!table.Int(variableCount).ok() || !table.Int(rowCount).ok()) return kMalformedInput;
    report.Print(" %ld  %ld\n", variableCount, rowCount);
    if (const int status = ReadVariableNames(table, params, variableCount, report); status != kSuccess) {
        return status;
    }
    // Every row takes at least two bytes (its name and a blank), so a count the rest of the table
    // cannot hold is a table that ends early, refused before the rows are reserved.
    const std::uint64_t left = table.Size() - std::min(table.Size(), table.Position());
    if (rowCount > 0 && std::uint64_t(rowCount) > left / 2) return kMalformedInput;
    if (const int status = AllocateRows(rowCount, withIndex, rows); status != kSuccess) return status;
    std::string text;
    for (std::int32_t r = 0; r < rows.count; ++r) {
        if (!ReadRow(table, params, totalWeights, text, rows.names[r], rows.scores[r]))
            return kMalformedInput;
    }
    return kSuccess;
}

}  // namespace quarnel
