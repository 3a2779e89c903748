#include <cstdint>
#include <new>
#include <string>

#include "jobs/feature/feature_status.h"
#include "jobs/feature/feature_types.h"
#include "jobs/feature/model_units.h"
#include "formats/grid/scan_stream.h"

namespace quarnel {

namespace {

bool AllocateUnits(ModelUnitList& units, std::int32_t count) {
    units.unitRows.reset(new (std::nothrow) std::int32_t[count]);
    units.unitCols.reset(new (std::nothrow) std::int32_t[count]);
    units.unitSizes.reset(new (std::nothrow) std::int32_t[count]);
    if (!units.unitRows || !units.unitCols || !units.unitSizes) return false;
    units.unitCount = count;
    return true;
}

std::string AtByte(const ScanResult& read) {
    return std::string(ScanStatusText(read.status)) + " at byte " + std::to_string(read.position);
}

// The first read that fails, or the last one.
ScanResult ReadRecords(ScanStream& in, ModelUnitList& units) {
    ScanResult read{ScanStatus::ok, 0};
    for (std::int32_t k = 0; k < units.unitCount; ++k) {
        std::int32_t sequence = 0;
        for (std::int32_t* field : {&sequence, &units.unitRows[k], &units.unitCols[k], &units.unitSizes[k]}) {
            read = in.Int(*field);
            if (!read.ok()) return read;
        }
    }
    return read;
}

}  // namespace

int ReadModelUnits(const char* path, ModelUnitList& units, std::string* cause) {
    const auto refuse = [&](int status, const std::string& what) {
        if (cause != nullptr) *cause = std::string(path) + ": " + what;
        return status;
    };
    ScanStream in;
    if (!in.Open(path)) return refuse(kFeatureUnitFileUnopened, "cannot be opened");
    char title[kHeaderTokenCapacity];
    const ScanResult titleRead = in.Word(title, sizeof title);
    if (titleRead.status == ScanStatus::too_long)
        return refuse(kFeatureParamsRefused, "title longer than 51 characters");
    std::int32_t count = 0;
    if (!titleRead.ok()) return refuse(kFeatureMalformedInput, "no title: " + AtByte(titleRead));
    const ScanResult countRead = in.Int(count);
    if (!countRead.ok()) return refuse(kFeatureMalformedInput, "unit count: " + AtByte(countRead));
    // A record is four integers, each after at least one blank: a count the file cannot hold is a
    // file that ends early, refused before the arrays are allocated.
    if (count < 0 || !in.HasRoomFor(std::uint64_t(count), 8)) {
        return refuse(kFeatureMalformedInput,
                      "unit count " + std::to_string(count) + " is negative or more than the file can hold");
    }
    if (!AllocateUnits(units, count)) return kFeatureNoMemory;
    const ScanResult recordRead = ReadRecords(in, units);
    if (!recordRead.ok()) return refuse(kFeatureMalformedInput, "unit record: " + AtByte(recordRead));
    return kFeatureOk;
}

}  // namespace quarnel
