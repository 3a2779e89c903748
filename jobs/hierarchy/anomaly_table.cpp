#include "jobs/hierarchy/anomaly_table.h"

#include <quarnel/hierarchy.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "jobs/hierarchy/hierarchy_status.h"

namespace quarnel {

namespace {

using namespace hierarchy_status;

// Every table token but a row name must fit its 20-byte field.
using TableToken = char[kRowNameField];

// The row arrays' size counts as an allocation failure beyond a 32-bit byte count, as it would
// on the 32-bit host; that also keeps a bogus row count from reserving tens of gigabytes.
constexpr std::uint64_t kLargestArray = 0xFFFFFFFFull;

// Where the table stopped making sense, for the host: the token's kind, its byte offset and why.
int Refuse(const ScanResult& read, const char* what, TableCause& cause) {
    cause.what =
        std::string(what) + " at byte " + std::to_string(read.position) + ": " + ScanStatusText(read.status);
    return kMalformedInput;
}

int ReadHeader(ScanStream& table, TextSink& report, TableCause& cause) {
    TableToken header;
    if (const ScanResult read = table.Word(header, sizeof header); !read.ok())
        return Refuse(read, "the header", cause);
    report.Print("\n\n  输入数据文件的头部信息为:\n  %s\n ", header);
    if (std::strcmp(header, "AnmLvl") == 0) return kSuccess;
    cause.what = std::string("the first token is \"") + header + "\", not AnmLvl";
    return kNotAnomalyTable;
}

int ReadVariableNames(ScanStream& table, const HierarchyParams& params, std::int32_t variableCount,
                      TextSink& report, TableCause& cause) {
    TableToken token;
    if (const ScanResult read = table.Word(token, sizeof token); !read.ok())
        return Refuse(read, "the title", cause);
    report.Print("  %s", token);
    std::int32_t count = 0;
    for (int level = 0; level < kLevelCount; ++level) {
        for (int i = 0; i < params.ElementsInUse(level); ++i) {
            if (const ScanResult read = table.Word(token, sizeof token); !read.ok())
                return Refuse(read, "a variable name", cause);
            report.Print("  %s", token);
            ++count;
        }
    }
    if (count != variableCount) {
        report.Print("%ld %ld\n\n", count, variableCount);
        cause.what = "the table counts " + std::to_string(variableCount) +
                     " variables, but the parameter file has " + std::to_string(count) + " elements";
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

ScanResult ReadRowName(ScanStream& table, std::string& text, RowName& name) {
    const ScanResult read = table.Word(text, kMaxRowNameText);
    if (!read.ok()) return read;
    const std::size_t length = text.size() < kRowNameField - 1 ? text.size() : kRowNameField - 1;
    std::memcpy(name, text.data(), length);
    name[length] = '\0';
    return read;
}

// The total weights of the elements in use, in the order of a row's values.
struct RowWeights {
    int count = 0;
    float weights[kLevelCount * kMaxElements];
};

RowWeights RowWeightsOf(const HierarchyParams& params, const TotalWeights& totalWeights) {
    RowWeights row;
    for (int level = 0; level < kLevelCount; ++level) {
        for (int i = 0; i < params.ElementsInUse(level); ++i)
            row.weights[row.count++] = totalWeights[level][i];
    }
    return row;
}

// A row's values are read whole, then scored by the core.
int ReadRow(ScanStream& table, const RowWeights& weights, std::string& text, RowName& name, float& score,
            TableCause& cause) {
    if (const ScanResult read = ReadRowName(table, text, name); !read.ok())
        return Refuse(read, "a row name", cause);
    float values[kLevelCount * kMaxElements];
    for (int i = 0; i < weights.count; ++i) {
        ScanResult read = table.Float(values[i]);
        if (read.ok() && !std::isfinite(values[i])) read.status = ScanStatus::not_finite;
        if (!read.ok()) return Refuse(read, "a value", cause);
    }
    const auto count = static_cast<std::size_t>(weights.count);
    score = hierarchy::ScoreRow({values, count}, {weights.weights, count});
    return kSuccess;
}

}  // namespace

const char* AnomalyTableName(const HierarchyParams& params) {
    return params.ElementsInUse(1) >= 2 ? params.elements[1][1].file : nullptr;
}

int ReadAnomalyTable(ScanStream& table, const HierarchyParams& params, const TotalWeights& totalWeights,
                     bool withIndex, TextSink& report, AnomalyRows& rows, TableCause& cause) {
    if (const int status = ReadHeader(table, report, cause); status != kSuccess) return status;
    std::int32_t variableCount = 0;
    std::int32_t rowCount = 0;
    if (const ScanResult read = table.Int(variableCount); !read.ok())
        return Refuse(read, "the variable count", cause);
    if (const ScanResult read = table.Int(rowCount); !read.ok()) return Refuse(read, "the row count", cause);
    report.Print(" %ld  %ld\n", variableCount, rowCount);
    if (const int status = ReadVariableNames(table, params, variableCount, report, cause);
        status != kSuccess) {
        return status;
    }
    // Every row takes at least two bytes (its name and a blank), so a count the table cannot hold
    // is a table that ends early, refused before the rows are reserved.
    if (rowCount > 0 && !table.HasRoomFor(std::uint64_t(rowCount))) {
        cause.what =
            "the row count " + std::to_string(rowCount) + " is more than the rest of the table can hold";
        return kMalformedInput;
    }
    if (rowCount < 0) {
        cause.what = "the row count " + std::to_string(rowCount) + " is negative";
        return kMalformedInput;
    }
    if (const int status = AllocateRows(rowCount, withIndex, rows); status != kSuccess) return status;
    const RowWeights weights = RowWeightsOf(params, totalWeights);
    std::string text;
    for (std::int32_t r = 0; r < rows.count; ++r) {
        if (const int status = ReadRow(table, weights, text, rows.names[r], rows.scores[r], cause);
            status != kSuccess) {
            cause.what = "row " + std::to_string(r + 1) + ": " + cause.what;
            return status;
        }
    }
    return kSuccess;
}

}  // namespace quarnel
