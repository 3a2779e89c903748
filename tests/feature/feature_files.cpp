#include "feature_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quarnel::test {

namespace {

std::string UniqueFolderName() {
    static std::atomic<int> counter{0};
    // Short, because the parameter file's path fields hold 99 characters.
    return std::string("feat")
        .append(std::to_string(::getpid()))
        .append("_")
        .append(std::to_string(counter++));
}

}  // namespace

TempFolder::TempFolder() : root_(::testing::TempDir() + UniqueFolderName()) {
    std::filesystem::create_directories(root_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

std::string GridText(int rows, int cols, const std::vector<double>& values, double blank,
                     const std::string& word, const std::string& reals) {
    std::ostringstream text;
    text << word << "\n" << rows << " " << cols << " " << reals << "\n" << blank << "\n";
    for (std::size_t i = 0; i < values.size(); ++i) {
        text << values[i] << ((i + 1) % static_cast<std::size_t>(cols > 0 ? cols : 1) == 0 ? "\n" : " ");
    }
    return text.str();
}

std::string ParamText(const std::vector<VariableLine>& vars, int hasModelUnits, const std::string& unitPath,
                      int method, const std::string& scorePath, const std::string& reportPath) {
    std::ostringstream text;
    text << "QelFrmFeater\n" << vars.size() << "\n";
    for (const VariableLine& var : vars) {
        text << var.name << " " << var.lower << " " << var.upper << " " << var.gridPath << "\n";
    }
    text << hasModelUnits << " " << unitPath << "\n"
         << method << " " << scorePath << " " << reportPath << "\n";
    return text.str();
}

}  // namespace quarnel::test
