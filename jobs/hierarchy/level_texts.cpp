#include "jobs/hierarchy/level_texts.h"

#include "jobs/hierarchy/hierarchy_params.h"

namespace quarnel {

namespace {

constexpr LevelTexts kLevelTexts[kLevelCount] = {
    {"    地质层    %5.1f\n", "\n      地质层次元素  重要性\n", "     地质层次元素", "    地质层次元素",
     "\n主层次与地质层间的判断矩阵:\n            ", ",主层次与地质层"},
    {"    地球物理层%5.1f\n", "\n  地球物理层次元素  重要性\n", " 地球物理层次元素", "地球物理层次元素",
     "\n主层次与地球物理层间的判断矩阵:\n            ", ",主层次与地球物理层"},
    {"    地球化学层%5.1f\n", "\n  地球化学层次元素  重要性\n", " 地球化学层次元素", "地球化学层次元素",
     "\n主层次与地球化学层间的判断矩阵:\n            ", ",主层次与地球化学层"},
    {"    遥感层    %5.1f\n", "\n      遥感层次元素  重要性\n", "     遥感层次元素", "    遥感层次元素",
     "\n主层次与遥感层间的判断矩阵:\n            ", ",主层次与遥感层"},
};

}  // namespace

const LevelTexts& LevelText(int level) {
    return kLevelTexts[level];
}

const char* LevelName(int level) {
    static const char* const kNames[kLevelCount] = {"geology", "geophysics", "geochemistry",
                                                    "remote sensing"};
    return kNames[level];
}

}  // namespace quarnel
