#pragma once
// Status codes of the feature-analysis job (qelFeater) and a one-line meaning for each.
// 3057 and 3058 are this library's own: they refuse input the job cannot read soundly, and
// outputs that would overwrite an input (3057).
namespace quarnel {

inline constexpr int kFeatureOk = 0;
inline constexpr int kFeatureFileUnavailable = 3000;  // parameter file not opened, score grid not written
inline constexpr int kFeatureGridUnopened = 3001;     // plus the variable's index
inline constexpr int kFeatureBadKeyword = 3056;
inline constexpr int kFeatureParamsRefused = 3057;
inline constexpr int kFeatureMalformedInput = 3058;
inline constexpr int kFeatureReportUnwritten = 3059;
inline constexpr int kFeatureNoWeights = 3060;
inline constexpr int kFeatureNoMemory = 3070;
inline constexpr int kFeatureUnitFileUnopened = 3600;

// English meaning of a status the job can return; "unknown status" for anything else.
const char* FeatureStatusText(int status);

}  // namespace quarnel
