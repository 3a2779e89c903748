#include "jobs/hierarchy/table_cause.h"

namespace quarnel {

std::string TableNotOpenedCause(const char* tableName) {
    if (tableName == nullptr) return "no anomaly table is named: it is the second geophysics element's file";
    return std::string(tableName) + ": cannot be opened";
}

std::string TableCauseText(const char* tableName, const TableCause& cause) {
    return cause.what.empty() ? std::string() : std::string(tableName) + ": " + cause.what;
}

}  // namespace quarnel
