#pragma once
// Status codes of the characteristic-analysis job (qelFeater) and a one-line meaning for each.
// 3057 and 3058 are this library's own: they refuse input the job cannot read soundly, and
// outputs that would overwrite an input (3057).
namespace quarnel {

inline constexpr int kFeaterOk = 0;
inline constexpr int kFeaterFileUnavailable = 3000;  // parameter file not opened, score grid not written
inline constexpr int kFeaterGridUnopened = 3001;     // plus the variable's index
inline constexpr int kFeaterBadKeyword = 3056;
inline constexpr int kFeaterParamsRefused = 3057;
inline constexpr int kFeaterMalformedInput = 3058;
inline constexpr int kFeaterReportUnwritten = 3059;
inline constexpr int kFeaterNoWeights = 3060;
inline constexpr int kFeaterNoMemory = 3070;
inline constexpr int kFeaterUnitFileUnopened = 3600;

// English meaning of a status the job can return; "unknown status" for anything else.
const char* FeaterStatusText(int status);

}  // namespace quarnel
