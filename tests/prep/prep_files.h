#pragma once
// Small file helpers for the preparation job tests: a fresh folder per test, whole-file reads
// and writes, hand-made KVSGDB01 grids, and running a job as a user who cannot write a file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace quarnel::test {

// A folder of its own for the running test, emptied first.
inline std::string TestDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "quarnel_prep" /
                                (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

template <class T>
void AppendRaw(std::string& bytes, T value) {
    bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// A KVSGDB01 file: the header with the given fields, then the stored rows as float32 values
// (stored row 0 first). valueCount below rows * cols makes a short file.
inline std::string KvbBytes(std::int32_t rows, std::int32_t cols, float zMin, float zMax, float blank,
                            const std::vector<float>& stored, const char* magic = "KVSGDB01") {
    std::string bytes(magic, 8);
    AppendRaw(bytes, rows);
    AppendRaw(bytes, cols);
    bytes.append(48, '\x5a');
    AppendRaw(bytes, zMax);
    AppendRaw(bytes, zMin);
    bytes.append(4, '\x5a');
    AppendRaw(bytes, blank);
    bytes.append(2096, '\x5a');
    for (float v : stored) AppendRaw(bytes, v);
    return bytes;
}

// Runs job in a child process whose user cannot write readOnlyFile (mode 0444; as root the child
// drops to an unprivileged user, since root writes through any mode). Returns the job's result.
inline int RunWithReadOnlyInput(const std::string& readOnlyFile, const std::string& outputDir,
                                const std::function<int()>& job) {
    chmod(readOnlyFile.c_str(), 0444);
    chmod(outputDir.c_str(), 0777);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(200);
        _exit(job() & 0xff);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -100;
    return WEXITSTATUS(status);
}

}  // namespace quarnel::test
