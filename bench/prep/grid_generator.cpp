#include "bench/prep/grid_generator.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace quarnel::bench {
namespace {

constexpr std::size_t kKvbHeaderBytes = 2176;

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// A smooth surface with noise, in the value range of distance or geochemistry layers.
std::string ValueText(int r, int c, int size, std::mt19937& random) {
    std::uniform_real_distribution<double> noise(-40.0, 40.0);
    std::uniform_int_distribution<int> decimals(2, 4);
    std::uniform_int_distribution<int> percent(0, 99);
    if (percent(random) < 3) return "99999";
    const double x = 6.0 * c / size, y = 6.0 * r / size;
    const double v =
        2500.0 + 1200.0 * std::sin(x) * std::cos(y) + 600.0 * std::sin(2.3 * x + y) + noise(random);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals(random), v);
    return text;
}

bool WriteKvb(const std::string& path, const std::vector<float>& values, int size) {
    float zMin = 1e30f, zMax = -1e30f;
    for (float v : values) {
        if (v == 99999.0f) continue;
        zMin = std::fmin(zMin, v);
        zMax = std::fmax(zMax, v);
    }
    unsigned char header[kKvbHeaderBytes] = {};
    const float blank = 99999.0f;
    std::memcpy(header, "KVSGDB01", 8);
    std::memcpy(header + 8, &size, 4);
    std::memcpy(header + 12, &size, 4);
    std::memcpy(header + 64, &zMax, 4);
    std::memcpy(header + 68, &zMin, 4);
    std::memcpy(header + 76, &blank, 4);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    for (int r = size - 1; ok && r >= 0; --r)
        ok = std::fwrite(&values[static_cast<std::size_t>(r) * size], 4, size, f) ==
             static_cast<std::size_t>(size);
    return std::fclose(f) == 0 && ok;
}

}  // namespace

bool MakeBenchGrids(const std::string& dir, int size, unsigned seed, BenchGrids& out) {
    out.dsaa = dir + "/bench_" + std::to_string(size) + ".grd";
    out.kvb = dir + "/bench_" + std::to_string(size) + ".kvb";
    if (Exists(out.dsaa) && Exists(out.kvb)) return true;
    std::FILE* f = std::fopen(out.dsaa.c_str(), "w");
    if (f == nullptr) return false;
    std::fprintf(f, "DSAA\n%d %d\n0 %d\n0 %d\n0 5000\n", size, size, size - 1, size - 1);
    std::vector<float> values(static_cast<std::size_t>(size) * size);
    std::mt19937 random(seed);
    for (int r = 0; r < size; ++r) {
        for (int c = 0; c < size; ++c) {
            const std::string text = ValueText(r, c, size, random);
            values[static_cast<std::size_t>(r) * size + c] = std::strtof(text.c_str(), nullptr);
            std::fputs(text.c_str(), f);
            std::fputc(c + 1 < size ? ' ' : '\n', f);
        }
    }
    if (std::fclose(f) != 0) return false;
    return WriteKvb(out.kvb, values, size);
}

}  // namespace quarnel::bench
