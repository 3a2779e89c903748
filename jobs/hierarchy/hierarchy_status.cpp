#include "jobs/hierarchy/hierarchy_status.h"

namespace quarnel::hierarchy_status {

namespace {

std::string GridMeaning(int status) {
    static const char* const kLevel[] = {"geology", "geophysics", "geochemistry", "remote-sensing"};
    const int offset = status - kTableOrGridNotOpened;
    return std::string("target 1: the grid of ") + kLevel[offset / 10] + " element " +
           std::to_string(offset % 10 + 1) + " cannot be opened";
}

}  // namespace

std::string Meaning(int status) {
    switch (status) {
        case kSuccess:
            return "success";
        case kParameterFileNotOpened:
            return "the parameter file cannot be opened";
        case kTableOrGridNotOpened:
            return "targets 0 and 2: the anomaly table (second geophysics element's file) is not given or "
                   "cannot be opened, or target 2's forecast file cannot be created; target 1: the first "
                   "geology element grid cannot be opened";
        case kOutputGridNotCreated:
            return "target 1: the output grid cannot be created";
        case kNotTheKeyword:
            return "the parameter file's first token is not QELFrmDECOMPOSE (case counts), or the file is "
                   "empty";
        case kReportNotCreated:
            return "the report file cannot be created";
        case kNoMemory:
            return "memory exhausted: the table's row arrays (also when they would pass 4 GiB) or a file "
                   "buffer";
        case kNotAnomalyTable:
            return "targets 0 and 2: the table's first token is not AnmLvl (case counts)";
        case kVariableCountMismatch:
            return "targets 0 and 2: the table's variable count differs from the number of elements";
        case kInconsistentMatrix:
            return "a judgement matrix fails its consistency test (main CR not below 0.1, combined value "
                   "above 0.1, or weights that are not numbers)";
        case kMalformedParameterFile:
            return "malformed parameter file: a token missing or unparsable, an element count outside 0..10, "
                   "a token longer than its field (keyword 19, names 99, files 199 characters), or target 1 "
                   "without any element grid; refused before the report is created";
        case kBadImportance:
            return "an importance (of a present level or one of its elements) is zero or not finite; refused "
                   "before the report is created";
        case kMalformedInput:
            return "malformed grid or table: grids of other dimensions than the first, non-positive grid "
                   "counts, a negative row count or one the rest of the table cannot hold, a grid or table "
                   "that ends early, a value that does not parse or is not finite, a table token other than "
                   "a row name longer than 19 characters, a row name longer than 4096 bytes";
        case kOutputOverwritesInput:
            return "the report or the result file is the parameter file, an element grid (target 1) or the "
                   "anomaly table (targets 0 and 2), or the two are one file; refused before anything is "
                   "written";
        case kWriteFailed:
            return "the report or the result file could not be written completely (for example a full disk)";
        default:
            if (status > kTableOrGridNotOpened && status <= GridNotOpened(3, 9)) return GridMeaning(status);
            return "unknown status";
    }
}

std::string Meaning(int status, int target) {
    if (status != kTableOrGridNotOpened) return Meaning(status);
    if (target == 1) return GridMeaning(status);
    if (target == 0 || target == 2) {
        return "targets 0 and 2: the anomaly table is not named (geophysics absent or with fewer than two "
               "elements) or cannot be opened, or target 2's forecast file cannot be created";
    }
    return Meaning(status);
}

}  // namespace quarnel::hierarchy_status
