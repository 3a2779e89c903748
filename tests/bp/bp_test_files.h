#pragma once
// File helpers of the BP tests: a fresh folder per test, whole-file reads and writes, and
// hand-made KVSGDB01 grids.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quarnel::bptest {

// A folder of its own for the running test, emptied first; ends with '/'.
inline std::string FreshDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "quarnel_bp" /
                                (std::string(info->test_suite_name()) + "." + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
}

inline void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string Read(const std::string& path) {
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

// A KVSGDB01 file: header fields (no-data value -9999), then the values as stored (stored row
// 0 first).
inline std::string KvbBytes(std::int32_t rows, std::int32_t cols, float zMin, float zMax,
                            const std::vector<float>& stored, const char* magic = "KVSGDB01") {
    std::string bytes(magic, 8);
    AppendRaw(bytes, rows);
    AppendRaw(bytes, cols);
    bytes.append(48, '\0');
    AppendRaw(bytes, zMax);
    AppendRaw(bytes, zMin);
    bytes.append(4, '\0');
    AppendRaw(bytes, -9999.0f);
    bytes.append(2096, '\0');
    for (float v : stored) AppendRaw(bytes, v);
    return bytes;
}

// Hidden node 0 follows x0 - x1, hidden node 1 follows x1 - x0; the output fires when either
// is high: exclusive or of the two inputs.
inline constexpr const char* kXorNetwork =
    "         2           2           1            0.00000000\n"
    "    -5.00000    -5.00000\n"
    "    -5.00000\n"
    "    10.00000   -10.00000\n"
    "   -10.00000    10.00000\n"
    "    10.00000\n"
    "    10.00000\n";

// Two 2 x 2 DSAA inputs holding the corners of the unit square, cell by cell (0,0) (0,1) /
// (1,0) (1,1), and the class grid of kXorNetwork over them.
inline constexpr const char* kCornerGridA = "DSAA\n2 2\n0 1\n0 1\n0 1\n0 0\n1 1\n";
inline constexpr const char* kCornerGridB = "DSAA\n2 2\n0 1\n0 1\n0 1\n0 1\n0 1\n";
inline constexpr const char* kXorGrid = "DSAA\n2 2\n1 2\n1 2\n2 3\n2 3 \n3 2 \n";

}  // namespace quarnel::bptest
