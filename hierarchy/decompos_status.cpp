#include "hierarchy/decompos_status.h"

namespace quarnel::decompos_status {

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
            return "the parameter file does not start with the keyword QELFrmDECOMPOSE";
        case kReportNotCreated:
            return "the report file cannot be created";
        case kNoMemory:
            return "memory cannot be obtained (the anomaly table's rows or a file buffer)";
        case kNotAnomalyTable:
            return "targets 0 and 2: the table does not start with AnmLvl";
        case kVariableCountMismatch:
            return "targets 0 and 2: the table's variable count differs from the number of elements";
        case kInconsistentMatrix:
            return "a judgement matrix fails its consistency test";
        case kMalformedParameterFile:
            return "malformed parameter file: a token is missing, unreadable or longer than its field, an "
                   "element count is outside 0..10, or target 1 has no element grid";
        case kBadImportance:
            return "an importance in the parameter file is zero, negative or not finite";
        case kMalformedInput:
            return "malformed grid or table: different grid dimensions, an early end, a value that does not "
                   "parse or a token longer than 19 characters";
        case kOutputOverwritesInput:
            return "an output or report file is the parameter file, an element grid or the anomaly table";
        case kWriteFailed:
            return "the report or an output file could not be written completely";
        default:
            if (status > kTableOrGridNotOpened && status <= GridNotOpened(3, 9)) return GridMeaning(status);
            return "unknown status";
    }
}

std::string Meaning(int status, int target) {
    if (status != kTableOrGridNotOpened) return Meaning(status);
    if (target == 1) return GridMeaning(status);
    if (target == 0 || target == 2) {
        return "the anomaly table (second geophysics element's file) is not given or cannot be opened, or "
               "target 2's forecast file cannot be created";
    }
    return Meaning(status);
}

}  // namespace quarnel::decompos_status
