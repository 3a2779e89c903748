// Regular-grid prediction over ten generated element grids: qelDecompos against a
// straightforward version of the same prediction that reads every value with its own fscanf and
// writes every cell with its own fprintf, timed in one run (best of two each); then the job's
// peak memory at two grid sizes, each in a process of its own, to show that it streams.
//
//   bench_hierarchy [--dir FOLDER] [--size N] [--small N]   (defaults: a folder under /tmp, 2000, 500)
//   bench_hierarchy --job PARAMFILE                         (one qelDecompos run, for the memory figures)
//
// Exit status 0 when both predictions agree, the ratio is at least 3 and the peak memory does
// not grow with the grid, 1 otherwise.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "jobs/frame/quarnel.h"
#include "jobs/hierarchy/judgement_matrix.h"

namespace {

constexpr int kElements = 10;

struct Case {
    std::string folder;
    int size = 0;
    std::vector<std::string> grids;

    std::string Name(const char* what) const {
        return folder + "/" + what + "_" + std::to_string(size) + ".txt";
    }
};

// Values 0.0 to 99.9 with one decimal and about one blank (99999) in 500 cells, from a small
// linear congruential sequence so every run sees the same grids.
void GenerateGrid(const std::string& path, int size, unsigned seed) {
    std::string text = "KVSGDA01\n" + std::to_string(size) + " " + std::to_string(size);
    text += "\n600000.0 725000.0\n-2500000.0 -2260000.0 0.0 99.9\n99999\n";
    for (int r = 0; r < size; ++r) {
        for (int c = 0; c < size; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const unsigned v = (seed >> 8) % 1000;
            if ((seed >> 20) % 500 == 0) {
                text += "99999 ";
                continue;
            }
            text += std::to_string(v / 10) + '.';
            text += static_cast<char>('0' + v % 10);
            text += ' ';
        }
        text += '\n';
    }
    std::ofstream(path, std::ios::binary) << text;
}

Case PrepareCase(const std::string& folder, int size) {
    Case bench{folder, size, {}};
    for (int i = 0; i < kElements; ++i) {
        bench.grids.push_back(bench.Name(("element" + std::to_string(i)).c_str()));
        if (!std::filesystem::exists(bench.grids.back()))
            GenerateGrid(bench.grids.back(), size, 7919u * (i + 1));
    }
    return bench;
}

// One geology level of ten elements with importances 1 to 10; the other levels absent.
std::string WriteParams(const Case& bench) {
    const std::string path = bench.Name("params");
    std::ofstream out(path);
    out << "QELFrmDECOMPOSE 1\n1 0 0 0\n1 " << kElements << "\n";
    for (int i = 0; i < kElements; ++i) out << "E" << i << " " << i + 1 << " " << bench.grids[i] << "\n";
    out << bench.Name("prediction_quarnel") << "\n" << bench.Name("report") << "\n";
    return path;
}

void QuarnelPrediction(const Case& bench) {
    const int status = qelDecompos(WriteParams(bench).c_str());
    if (status != 0) std::printf("qelDecompos returned %d\n", status);
}

// The total weights as the job forms them: one level, so its main weight is 1.
std::vector<float> TotalWeightsOfImportances() {
    float importance[kElements];
    for (int i = 0; i < kElements; ++i) importance[i] = static_cast<float>(i + 1);
    quarnel::JudgementMatrix matrix;
    quarnel::BuildJudgementMatrix(importance, kElements, matrix);
    float weights[kElements];
    float lambda = 0;
    quarnel::CMine_Decompos().PrincipalVector(matrix, weights, &lambda, kElements);
    std::vector<float> totals;
    for (float w : weights) totals.push_back(static_cast<float>(static_cast<double>(w) * 1.0f * 100.0));
    return totals;
}

// The prediction as one would first write it: a fscanf per value, a fprintf per cell.
void StraightforwardPrediction(const Case& bench) {
    const std::vector<float> weights = TotalWeightsOfImportances();
    std::vector<std::FILE*> files;
    char word[64];
    long rows = 0, cols = 0;
    float reals[6] = {}, blank = 0;
    for (const std::string& path : bench.grids) {
        files.push_back(std::fopen(path.c_str(), "r"));
        std::fscanf(files.back(), "%63s%ld%ld%f%f%f%f%f%f%f", word, &rows, &cols, &reals[0], &reals[1],
                    &reals[2], &reals[3], &reals[4], &reals[5], &blank);
    }
    std::FILE* out = std::fopen(bench.Name("prediction_fscanf").c_str(), "w");
    std::fprintf(out, "KVSGDA01\n%12ld%12ld", rows, cols);
    std::fprintf(out, "%10.2f %10.2f\n", reals[0], reals[1]);
    std::fprintf(out, "%10.2f %10.2f %10.2f %10.2f\n", reals[2], reals[3], reals[4], reals[5]);
    std::fprintf(out, "%10.2f\n", blank);
    for (long r = 0; r < rows; ++r) {
        for (long c = 0; c < cols; ++c) {
            float cell = 0;
            bool isBlank = false;
            for (int i = 0; i < kElements; ++i) {
                float v;
                std::fscanf(files[i], "%f", &v);
                if (v == blank) {
                    isBlank = true;
                } else if (!isBlank) {
                    cell = static_cast<float>(cell + static_cast<double>(v) * weights[i]);
                }
            }
            std::fprintf(out, "%8.2f", isBlank ? blank : cell);
            if (c % 10 == 9) std::fprintf(out, "\n");
        }
        std::fprintf(out, "\n");
    }
    std::fclose(out);
    for (std::FILE* f : files) std::fclose(f);
}

double SecondsOf(void (*prediction)(const Case&), const Case& bench) {
    const auto start = std::chrono::steady_clock::now();
    prediction(bench);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The two grids hold the same numbers; ours has a blank more wherever numbers would touch.
bool SamePredictions(const Case& bench) {
    auto numbers = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::string text;
        for (char c; in.get(c);) {
            if (c != ' ') text += c;
        }
        return text;
    };
    return numbers(bench.Name("prediction_quarnel")) == numbers(bench.Name("prediction_fscanf"));
}

// Runs one job and prints this process's peak resident memory (VmHWM) in KiB.
int RunJobAndPrintPeak(const char* params) {
    const int status = qelDecompos(params);
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmHWM:", 0) == 0) std::printf("%ld\n", std::atol(line.c_str() + 6));
    }
    return status == 0 ? 0 : 1;
}

// Peak resident memory, in KiB, of one qelDecompos run in a fresh process of this program.
long PeakKiBOfJob(const Case& bench) {
    const std::string command =
        std::filesystem::read_symlink("/proc/self/exe").string() + " --job " + WriteParams(bench);
    std::FILE* child = popen(command.c_str(), "r");
    long kib = -1;
    if (child == nullptr || std::fscanf(child, "%ld", &kib) != 1) kib = -1;
    if (child != nullptr) pclose(child);
    return kib;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--job") return RunJobAndPrintPeak(argv[2]);
    std::string folder = "/tmp/quarnel_hierarchy_bench";
    int size = 2000;
    int small = 500;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--dir") folder = argv[i + 1];
        if (option == "--size") size = std::atoi(argv[i + 1]);
        if (option == "--small") small = std::atoi(argv[i + 1]);
    }
    std::filesystem::create_directories(folder);
    const Case big = PrepareCase(folder, size);
    std::printf("regular-grid prediction over %d element grids of %d x %d\n", kElements, size, size);
    double ours = 1e300, plain = 1e300;
    for (int round = 0; round < 2; ++round) {
        ours = std::min(ours, SecondsOf(QuarnelPrediction, big));
        plain = std::min(plain, SecondsOf(StraightforwardPrediction, big));
    }
    const bool same = SamePredictions(big);
    std::printf("qelDecompos               %8.2f s\n", ours);
    std::printf("fscanf/fprintf version    %8.2f s\n", plain);
    std::printf("ratio                     %8.2f x  (predictions %s)\n", plain / ours,
                same ? "identical" : "DIFFER");
    const Case little = PrepareCase(folder, small);
    const long smallPeak = PeakKiBOfJob(little);
    const long bigPeak = PeakKiBOfJob(big);
    std::printf("peak memory of qelDecompos: %d x %d  %ld KiB;  %d x %d  %ld KiB\n", small, small, smallPeak,
                size, size, bigPeak);
    return same && plain / ours >= 3.0 && smallPeak > 0 && bigPeak - smallPeak < 4096 ? 0 : 1;
}
