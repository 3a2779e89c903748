#pragma once
// Files for the feature-analysis tests: KVSGDA01 grids and parameter files built from their
// parts.
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

namespace quarnel::test {

using testkit::FileExists;
using testkit::OpenFileCount;
using testkit::ReadFile;
using testkit::TempFolder;
using testkit::WriteFile;

// A KVSGDA01 grid: word, rows, cols, six reals, blank value, then the values row by row.
std::string GridText(int rows, int cols, const std::vector<double>& values, double blank = 99999,
                     const std::string& word = "KVSGDA01", const std::string& reals = "0 1\n0 1 0 1");

struct VariableLine {
    std::string name;
    std::string lower;
    std::string upper;
    std::string gridPath;
};

// A parameter file for the given variables.
std::string ParamText(const std::vector<VariableLine>& vars, int hasModelUnits, const std::string& unitPath,
                      int method, const std::string& scorePath, const std::string& reportPath);

}  // namespace quarnel::test
