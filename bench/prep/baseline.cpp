#include "bench/prep/baseline.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace quarnel::bench {
namespace {

constexpr double kDsaaBlank = 99999.0;
constexpr long kKvbHeaderBytes = 2176;

struct Grid {
    int rows = 0;
    int cols = 0;
    double blank = kDsaaBlank;
    bool binary = false;
    double zMin = 0;
    double zMax = 0;
    std::vector<double> values;  // row-major, DSAA row order
};

bool IsBinaryGrid(const char* path, bool& binary) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    char magic[9] = {};
    binary = std::fread(magic, 1, 8, f) == 8 && strcasecmp(magic, "KVSGDB01") == 0;
    std::fclose(f);
    return true;
}

bool ReadBinary(const char* path, Grid& grid) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    unsigned char header[kKvbHeaderBytes];
    bool ok = std::fread(header, 1, sizeof header, f) == sizeof header;
    float zMax = 0, zMin = 0, blank = 0;
    if (ok) {
        std::memcpy(&grid.rows, header + 8, 4);
        std::memcpy(&grid.cols, header + 12, 4);
        std::memcpy(&zMax, header + 64, 4);
        std::memcpy(&zMin, header + 68, 4);
        std::memcpy(&blank, header + 76, 4);
        ok = grid.rows > 0 && grid.cols > 0;
    }
    if (ok) {
        grid.binary = true;
        grid.zMax = zMax;
        grid.zMin = zMin;
        grid.blank = blank;
        grid.values.resize(static_cast<std::size_t>(grid.rows) * grid.cols);
        std::vector<float> row(grid.cols);
        for (int r = 0; ok && r < grid.rows; ++r) {
            ok = std::fread(row.data(), 4, row.size(), f) == row.size();
            double* target = &grid.values[static_cast<std::size_t>(grid.rows - 1 - r) * grid.cols];
            for (int c = 0; c < grid.cols; ++c) target[c] = row[c];
        }
    }
    std::fclose(f);
    return ok;
}

bool ReadText(const char* path, Grid& grid) {
    std::FILE* f = std::fopen(path, "r");
    if (f == nullptr) return false;
    char word[64];
    bool ok = std::fscanf(f, "%63s", word) == 1 && strcasecmp(word, "DSAA") == 0;
    ok = ok && std::fscanf(f, "%d", &grid.cols) == 1 && std::fscanf(f, "%d", &grid.rows) == 1;
    float range[6];
    for (float& r : range) ok = ok && std::fscanf(f, "%f", &r) == 1;
    ok = ok && grid.rows > 0 && grid.cols > 0;
    if (ok) {
        grid.values.resize(static_cast<std::size_t>(grid.rows) * grid.cols);
        for (double& v : grid.values) {
            float value;
            if (std::fscanf(f, "%f", &value) != 1) {
                ok = false;
                break;
            }
            v = value;
        }
    }
    std::fclose(f);
    return ok;
}

bool ReadGrid(const char* path, Grid& grid) {
    bool binary = false;
    if (!IsBinaryGrid(path, binary)) return false;
    return binary ? ReadBinary(path, grid) : ReadText(path, grid);
}

bool IsBlank(double v, double blank) {
    return std::fabs(v - blank) <= 1;
}

void Rescale(std::vector<double>& values, double blank) {
    double low = 1e308, high = -1e308;
    for (double v : values) {
        if (IsBlank(v, blank)) continue;
        if (v > high) high = v;
        if (v < low) low = v;
    }
    for (double& v : values) {
        if (!IsBlank(v, blank)) v = high == low ? 0.0 : (v - low) / (high - low);
    }
}

void WriteValues(std::FILE* f, const std::vector<double>& values, int rows, int cols) {
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c)
            std::fprintf(f, "%6.2f  ", values[static_cast<std::size_t>(r) * cols + c]);
        std::fprintf(f, "\n");
    }
}

bool WriteStatistics(const char* path, const std::vector<double>& values, int rows, int cols) {
    std::FILE* f = std::fopen(path, "w+");
    if (f == nullptr) return false;
    std::fprintf(f, "%s\n", "DSAA");
    std::fprintf(f, "%d ", cols);
    std::fprintf(f, "%d\n", rows);
    std::fprintf(f, "%f ", 0.0);
    std::fprintf(f, "%f\n", static_cast<double>(cols - 1));
    std::fprintf(f, "%f ", 0.0);
    std::fprintf(f, "%f\n", static_cast<double>(rows - 1));
    std::fprintf(f, "%f ", 0.0);
    std::fprintf(f, "%f\n", 1.0);
    WriteValues(f, values, rows, cols);
    return std::fclose(f) == 0;
}

}  // namespace

int BaselineNormalize(const char* inputFile, const char* outputFile) {
    Grid grid;
    if (!ReadGrid(inputFile, grid)) return 0;
    double low = grid.zMin, high = grid.zMax;
    if (!grid.binary) {
        low = 1e308;
        high = -1e308;
        for (double v : grid.values) {
            if (std::fabs(v - kDsaaBlank) <= 1) continue;
            if (v > high) high = v;
            if (v < low) low = v;
        }
    }
    std::vector<double> out(grid.values.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        double v = grid.values[i];
        out[i] = IsBlank(v, grid.blank) ? grid.blank : high == low ? 0.0 : (v - low) / (high - low);
    }
    std::FILE* f = std::fopen(outputFile, "w+");
    if (f == nullptr) return 0;
    std::fprintf(f, "%s\n", "DSAA");
    std::fprintf(f, "%d ", grid.cols);
    std::fprintf(f, "%d\n", grid.rows);
    std::fprintf(f, "%d ", 0);
    std::fprintf(f, "%d\n", grid.cols - 1);
    std::fprintf(f, "%d ", 0);
    std::fprintf(f, "%d\n", grid.rows - 1);
    std::fprintf(f, "%6.2f  ", 0.0);
    std::fprintf(f, "%6.2f\n", 1.0);
    WriteValues(f, out, grid.rows, grid.cols);
    return std::fclose(f) == 0 ? 1 : 0;
}

int BaselineCalAvgVar(const char* inPath, const char* meanPath, const char* stdPath, int w) {
    Grid grid;
    if (w <= 0 || !ReadGrid(inPath, grid)) return 0;
    const int outRows = grid.rows / w, outCols = grid.cols / w;
    if (outRows == 0 || outCols == 0) return 0;
    std::vector<double> mean(static_cast<std::size_t>(outRows) * outCols);
    std::vector<double> deviation(mean.size());
    for (int i = 0; i < outRows; ++i) {
        for (int j = 0; j < outCols; ++j) {
            int blanks = 0;
            double sum = 0;
            for (int r = i * w; r < i * w + w; ++r)
                for (int c = j * w; c < j * w + w; ++c) {
                    double v = grid.values[static_cast<std::size_t>(r) * grid.cols + c];
                    if (IsBlank(v, grid.blank))
                        ++blanks;
                    else
                        sum += v;
                }
            std::size_t k = static_cast<std::size_t>(i) * outCols + j;
            if (blanks > w * w / 2) {
                mean[k] = deviation[k] = grid.blank;
                continue;
            }
            const int n = w * w - blanks;
            const double m = sum / n;
            double squares = 0;
            for (int r = i * w; r < i * w + w; ++r)
                for (int c = j * w; c < j * w + w; ++c) {
                    double v = grid.values[static_cast<std::size_t>(r) * grid.cols + c];
                    if (!IsBlank(v, grid.blank)) squares += (v - m) * (v - m);
                }
            mean[k] = m;
            deviation[k] = std::sqrt(squares / n);
        }
    }
    Rescale(mean, grid.blank);
    Rescale(deviation, grid.blank);
    return WriteStatistics(meanPath, mean, outRows, outCols) &&
                   WriteStatistics(stdPath, deviation, outRows, outCols)
               ? 1
               : 0;
}

}  // namespace quarnel::bench
