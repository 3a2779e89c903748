#include "scratch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace quarnel::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Parameterised tests have '/' in their names.
    std::string name = std::string("hierarchy_") + info->test_suite_name() + "_" + info->name() + "_" +
                       std::to_string(::getpid());
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    dir_ = ::testing::TempDir() + name;
    fs::remove_all(dir_);
    fs::create_directories(dir_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::string ScratchDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    return fs::exists(path);
}

int OpenFileCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

std::string ParameterText(int target, const std::array<LevelEntry, 4>& levels, const std::string& outputFile,
                          const std::string& reportFile) {
    std::string text = "QELFrmDECOMPOSE\n" + std::to_string(target) + "\n";
    for (const LevelEntry& level : levels) text += std::to_string(level.presence) + " ";
    text += "\n";
    for (const LevelEntry& level : levels) {
        if (level.presence != 1) continue;
        text += level.importance + " " + std::to_string(level.elements.size()) + "\n";
        for (const ElementEntry& e : level.elements)
            text += e.name + " " + e.importance + " " + e.file + "\n";
    }
    return text + outputFile + "\n" + reportFile + "\n";
}

}  // namespace quarnel::test
