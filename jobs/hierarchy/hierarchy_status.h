#pragma once
// Status codes of the hierarchy-analysis job (qelDecompos) and their one-line meanings.
// 0 is success; 3000 upward are failures. 3900 to 3904 are this library's own: conditions the
// job refuses instead of reading or writing past its data or reporting a failure as success.
#include <string>

namespace quarnel::hierarchy_status {

inline constexpr int kSuccess = 0;
inline constexpr int kParameterFileNotOpened = 3000;
// Target 0 and 2: the anomaly table cannot be opened (or is not named), or the target 2 forecast
// cannot be created. Target 1: 3001 + 10 * level + element, the element's grid cannot be opened.
inline constexpr int kTableOrGridNotOpened = 3001;
inline constexpr int kOutputGridNotCreated = 3048;
inline constexpr int kNotTheKeyword = 3056;
inline constexpr int kReportNotCreated = 3059;
// Memory for the anomaly table rows, or for a file buffer, cannot be obtained.
inline constexpr int kNoMemory = 3070;
inline constexpr int kNotAnomalyTable = 3256;
inline constexpr int kVariableCountMismatch = 3500;
inline constexpr int kInconsistentMatrix = 3501;
inline constexpr int kMalformedParameterFile = 3900;
inline constexpr int kBadImportance = 3901;
inline constexpr int kMalformedInput = 3902;
inline constexpr int kOutputOverwritesInput = 3903;
inline constexpr int kWriteFailed = 3904;

inline int GridNotOpened(int level, int element) {
    return kTableOrGridNotOpened + 10 * level + element;
}

// English one-line meaning of a status, for the command-line host.
std::string Meaning(int status);
// The same, told for the job's target kind where the status means one thing per target (3001).
std::string Meaning(int status, int target);

}  // namespace quarnel::hierarchy_status
