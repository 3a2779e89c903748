#include "tests/hardening/catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <system_error>

#include "formats/grid/same_file.h"

namespace quarnel::hardening {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> Snapshot(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    return ReadFile(path);
}

std::string Describe(const std::optional<std::string>& bytes) {
    return bytes ? std::to_string(bytes->size()) + " bytes" : "no file";
}

}  // namespace

std::string OverlongPath(const std::string& folder) {
    std::string path = folder;
    while (path.size() < 5000) path += "/" + std::string(200, 'd');
    return path + "/grid.grd";
}

std::string OverlongName() {
    return std::string(300, 'n') + ".grd";
}

std::string WithCrlf(const std::string& text) {
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

std::string Garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

void Case::Input(const std::string& path) {
    inputs_[path] = Snapshot(path);
}

bool Case::NamesAnInput(const std::string& path) const {
    for (const auto& [input, bytes] : inputs_) {
        if (input == path || SameExistingFile(input.c_str(), path.c_str())) return true;
    }
    return false;
}

void Case::Untouched(const std::string& path) {
    untouched_[path] = Snapshot(path);
}

void Case::Written(const std::string& path) {
    written_.push_back(path);
}

void Case::ResetOutputs() {
    for (const auto& [path, bytes] : untouched_) {
        std::error_code error;
        if (bytes) {
            WriteFile(path, *bytes);
        } else if (fs::is_regular_file(path, error)) {
            fs::remove(path, error);
        }
    }
    for (const std::string& path : written_) {
        std::error_code error;
        if (!untouched_.count(path) && !NamesAnInput(path) && fs::is_regular_file(path, error)) {
            fs::remove(path, error);
        }
    }
}

void Case::CheckFiles(bool success, const std::string& context) {
    for (const auto& [path, bytes] : inputs_) {
        const std::optional<std::string> now = Snapshot(path);
        EXPECT_TRUE(now == bytes) << context << ": input " << path << " changed from " << Describe(bytes)
                                  << " to " << Describe(now);
    }
    if (success) {
        for (const std::string& path : written_)
            EXPECT_TRUE(FileExists(path)) << context << ": " << path << " not written";
        return;
    }
    for (const auto& [path, bytes] : untouched_) {
        const std::optional<std::string> now = Snapshot(path);
        EXPECT_TRUE(now == bytes) << context << ": failed run left " << path << " as " << Describe(now);
    }
}

void Case::ExpectExport(const std::function<int()>& job, int expectedStatus, bool success) {
    ResetOutputs();
    EXPECT_EQ(job(), expectedStatus) << "export";
    CheckFiles(success, "export");
}

void Case::ExpectCli(const std::vector<std::string>& arguments, int expectedStatus, bool success,
                     const std::string& meaning) {
    ResetOutputs();
    const CliResult result = RunCli(arguments);
    ASSERT_TRUE(result.exited) << "host killed by signal " << -result.exitCode << ":\n" << result.output;
    EXPECT_EQ(result.exitCode, success ? 0 : 1) << result.output;
    const std::size_t statusAt = result.output.find("status ");
    if (statusAt != std::string::npos) {
        const std::string expected = "status " + std::to_string(expectedStatus) + ": " + meaning;
        EXPECT_EQ(result.output.compare(statusAt, expected.size(), expected), 0)
            << "expected \"" << expected << "\" in:\n"
            << result.output;
    }
    CheckFiles(success, "host");
}

}  // namespace quarnel::hardening
