#pragma once
// Test helpers shared by the areas' tests: temporary files and KVSGDB01 grids (the library
// reads KVSGDB01 but never writes one, so the tests make their own).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quarnel::testing {

// A fresh directory for one test, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir() {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::path(::testing::TempDir()) /
                ("quarnel_" + std::string(test->test_suite_name()) + "_" + test->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The bytes of a KVSGDB01 grid: header record (2176 bytes) and stored rows, little-endian.
// storedValues holds rows x cols floats in stored order (the reverse of the DSAA row order).
inline std::string KvbFileBytes(std::int32_t rows, std::int32_t cols, const std::vector<float>& storedValues,
                                float zMin = 0.0f, float zMax = 1.0f, float blankValue = 1.70141e38f,
                                const char* magic = "KVSGDB01") {
    std::string bytes(2176, '\0');
    std::memcpy(bytes.data(), magic, 8);
    std::memcpy(bytes.data() + 8, &rows, 4);
    std::memcpy(bytes.data() + 12, &cols, 4);
    std::memcpy(bytes.data() + 64, &zMax, 4);
    std::memcpy(bytes.data() + 68, &zMin, 4);
    std::memcpy(bytes.data() + 76, &blankValue, 4);
    bytes.append(reinterpret_cast<const char*>(storedValues.data()), storedValues.size() * sizeof(float));
    return bytes;
}

}  // namespace quarnel::testing
