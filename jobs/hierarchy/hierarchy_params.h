#pragma once
// The parsed hierarchy parameter file: the target kind, the four evidence levels in their fixed
// order (geology, geophysics, geochemistry, remote sensing), each with its importance and up to
// ten elements, and the output and report file names. Fields of an absent level and element
// slots beyond a level's count are never read or used.
#include <cstddef>
#include <cstdint>

namespace quarnel {

inline constexpr int kLevelCount = 4;
inline constexpr int kMaxElements = 10;

// Field capacities in bytes, terminator included.
inline constexpr std::size_t kKeywordField = 20;
inline constexpr std::size_t kNameField = 100;
inline constexpr std::size_t kFileField = 200;

enum HierarchyTarget : std::int32_t {
    kRankAnomalies = 0,
    kPredictRegularGrid = 1,
    kPredictIrregularGrid = 2,
};

struct HierarchyElement {
    char name[kNameField];
    char file[kFileField];
};

struct HierarchyParams {
    std::int32_t target;
    std::int32_t levelOn[kLevelCount];
    std::int32_t elementCount[kLevelCount];
    float levelImportance[kLevelCount];
    float elementImportance[kLevelCount][kMaxElements];
    char outputFile[kFileField];
    char reportFile[kFileField];
    HierarchyElement elements[kLevelCount][kMaxElements];

    // A level is present exactly when its presence value is 1.
    bool LevelPresent(int level) const { return levelOn[level] == 1; }
    // Elements that take part: those of the present levels.
    int ElementsInUse(int level) const { return LevelPresent(level) ? elementCount[level] : 0; }
};

// Weighted total weight, in percent, of element i of level k; filled for the present levels.
using TotalWeights = float[kLevelCount][kMaxElements];

}  // namespace quarnel
