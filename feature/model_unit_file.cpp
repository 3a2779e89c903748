#include <cstdint>
#include <filesystem>
#include <new>
#include <system_error>

#include "feature/feature_status.h"
#include "feature/feature_types.h"
#include "feature/model_units.h"
#include "grid/native_path.h"
#include "grid/scan_stream.h"

namespace quarnel {

namespace {

// A record is four integers, each after at least one blank, so a file of this many bytes cannot
// hold more records than this; a larger count is a file that ends early, refused before the
// arrays are allocated.
std::int64_t MostRecordsIn(const char* path) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(NativePath(path), error);
    if (error) return INT32_MAX;
    return static_cast<std::int64_t>(bytes / 8);
}

bool AllocateUnits(ModelUnitList& units, std::int32_t count) {
    units.unitRows.reset(new (std::nothrow) std::int32_t[count]);
    units.unitCols.reset(new (std::nothrow) std::int32_t[count]);
    units.unitSizes.reset(new (std::nothrow) std::int32_t[count]);
    if (!units.unitRows || !units.unitCols || !units.unitSizes) return false;
    units.unitCount = count;
    return true;
}

bool ReadRecords(ScanStream& in, ModelUnitList& units) {
    for (std::int32_t k = 0; k < units.unitCount; ++k) {
        std::int32_t sequence = 0;
        if (!in.Int(sequence).ok() || !in.Int(units.unitRows[k]).ok() || !in.Int(units.unitCols[k]).ok() ||
            !in.Int(units.unitSizes[k]).ok()) {
            return false;
        }
    }
    return true;
}

}  // namespace

int ReadModelUnits(const char* path, ModelUnitList& units) {
    ScanStream in;
    if (!in.Open(path)) return kFeatureUnitFileUnopened;
    char title[kHeaderTokenCapacity];
    const ScanResult titleRead = in.Word(title, sizeof title);
    if (titleRead.status == ScanStatus::too_long) return kFeatureParamsRefused;
    std::int32_t count = 0;
    if (!titleRead.ok() || !in.Int(count).ok()) return kFeatureMalformedInput;
    if (count < 0 || count > MostRecordsIn(path)) return kFeatureMalformedInput;
    if (!AllocateUnits(units, count)) return kFeatureNoMemory;
    if (!ReadRecords(in, units)) return kFeatureMalformedInput;
    return kFeatureOk;
}

}  // namespace quarnel
