#pragma once
// The report's words for the four evidence levels, in level order (geology, geophysics,
// geochemistry, remote sensing). Every text is written exactly as it stands here.

namespace quarnel {

struct LevelTexts {
    const char* importanceLine;  // main-level listing, with the level's importance ("%5.1f")
    const char* elementHeading;  // heading of the level's element listing
    const char* columnHeading;   // main matrix: the level's column heading
    const char* rowLabel;        // main matrix: the level's row label
    const char* matrixTitle;     // title of the level's judgement matrix section
    const char* levelPhrase;     // closes the combined-consistency line
};

const LevelTexts& LevelText(int level);

// The level's English name, for causes and the host's summary ("remote sensing").
const char* LevelName(int level);

}  // namespace quarnel
