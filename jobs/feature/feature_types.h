#pragma once
// The records of the feature-analysis job: the parsed parameter file, one evidence
// variable, and the header of an evidence grid as the job reads it. Field widths are those of
// the parameter file's fields (a 100-byte field holds at most 99 characters and the zero).
#include <cstdint>

namespace quarnel {

// Each stage keeps one open grid per variable, so a job has at most this many variables.
inline constexpr int kMaxFeatureVars = 50;
inline constexpr int kFeatureVarSlots = 80;

struct EvidenceVariable {
    char name[100];
    float lower;
    float upper;
    char gridPath[100];
};

struct FeatureParams {
    std::int32_t varCount;
    std::int32_t hasModelUnits;  // 1: model units are used; any other value: none
    char modelUnitPath[200];
    std::int32_t method;  // 0 vector-length weights, 1 principal-component weights
    char scoreGridPath[200];
    char reportPath[200];
    EvidenceVariable vars[kFeatureVarSlots];
};

inline constexpr int kHeaderTokenCapacity = 52;

struct GridHeader {
    char headerToken[kHeaderTokenCapacity];
    std::int32_t rows;
    std::int32_t cols;
    float headerReals[6];
    float blankValue;
};

}  // namespace quarnel
