#pragma once
// Files for the feature-analysis tests: a fresh folder per test, whole-file reads and
// writes, KVSGDA01 grids and parameter files built from their parts.
#include <string>
#include <vector>

namespace quarnel::test {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // path of name inside the folder
    std::string operator/(const std::string& name) const { return root_ + "/" + name; }

  private:
    std::string root_;
};

void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// Number of file descriptors this process holds open.
int OpenDescriptorCount();

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
