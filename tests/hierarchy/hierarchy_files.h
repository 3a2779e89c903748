#pragma once
// Files for the hierarchy tests: a parameter-file builder that writes the token layout of the
// hierarchy job.
#include <array>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

namespace quarnel::test {

using testkit::FileExists;
using testkit::OpenFileCount;
using testkit::ReadFile;
using testkit::TempFolder;

struct ElementEntry {
    std::string name;
    std::string importance;
    std::string file;
};

struct LevelEntry {
    int presence = 0;  // 1 present; anything else absent, and the level writes no lines
    std::string importance;
    std::vector<ElementEntry> elements;
};

// The parameter file's tokens for these levels, one entry per line.
std::string ParameterText(int target, const std::array<LevelEntry, 4>& levels, const std::string& outputFile,
                          const std::string& reportFile);

}  // namespace quarnel::test
