#pragma once
// Test helpers: a fresh folder per test for parameter files, tables, grids and reports, and a
// parameter-file builder that writes the token layout of the hierarchy job.
#include <array>
#include <string>
#include <vector>

namespace quarnel::test {

class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    // Writes bytes to the named file and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

  private:
    std::string dir_;
};

std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// Open descriptors of this process, to see that a job closed every file it opened.
int OpenFileCount();

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
