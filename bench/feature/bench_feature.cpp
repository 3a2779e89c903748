// Characteristic analysis over twenty generated evidence grids: qelFeater against a
// straightforward version of the same job that reads every value with its own fscanf and writes
// every score with its own fprintf, timed in one run (best of two each, wall and processor time:
// on a shared machine the processor time is the fair measure); then qelFeater's peak memory at
// two grid sizes, each run in a process of its own.
//
//   bench_feature [--dir FOLDER] [--size N] [--small N]   (defaults: a folder under /tmp, 2000, 500)
//   bench_feature --job PARAMFILE                (one qelFeater run, for the memory figures)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "jobs/frame/quarnel.h"

namespace {

constexpr int kGridCount = 20;
constexpr float kLower = 33.0f;
constexpr float kUpper = 66.0f;

struct Bench {
    std::string folder;
    int size;
    std::vector<std::string> grids;
    std::string ScorePath(const char* who) const {
        return folder + "/score_" + who + "_" + std::to_string(size);
    }
};

// Values 0.0 to 99.9 with one decimal, as survey grids often hold; a few blanks.
void WriteGrid(const std::string& path, int size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text =
        "KVSGDA01\n" + std::to_string(size) + " " + std::to_string(size) + " 0 1\n0 1 0 1\n99999\n";
    text.reserve(text.size() + std::size_t(size) * size * 6);
    for (int r = 0; r < size; ++r) {
        for (int c = 0; c < size; ++c) {
            const auto v = static_cast<unsigned>(random() % 1001);
            if (v == 1000) {
                text += "99999 ";
                continue;
            }
            text += std::to_string(v / 10);
            text += '.';
            text += char('0' + v % 10);
            text += ' ';
        }
        text += '\n';
    }
    std::ofstream(path, std::ios::binary) << text;
}

Bench MakeGrids(const std::string& folder, int size) {
    Bench bench{folder, size, {}};
    for (int i = 0; i < kGridCount; ++i) {
        bench.grids.push_back(folder + "/grid" + std::to_string(i) + "_" + std::to_string(size) + ".txt");
        if (!std::filesystem::exists(bench.grids.back()))
            WriteGrid(bench.grids.back(), size, 1000u * size + i);
    }
    return bench;
}

std::string WriteParams(const Bench& bench) {
    const std::string path = bench.folder + "/params_" + std::to_string(bench.size) + ".txt";
    std::ofstream out(path);
    out << "QelFrmFeater\n" << kGridCount << "\n";
    for (int i = 0; i < kGridCount; ++i)
        out << "v" << i << " " << kLower << " " << kUpper << " " << bench.grids[i] << "\n";
    out << "0 none\n0 " << bench.ScorePath("quarnel") << " " << bench.folder << "/report_" << bench.size
        << ".txt\n";
    return path;
}

float Code(float x) {
    return x >= kUpper ? 1.0f : (x <= kLower ? -1.0f : 0.0f);
}

struct Grids {
    std::vector<std::FILE*> files;
    int rows = 0, cols = 0;
    float blank = 0;
    explicit Grids(const Bench& bench) {
        char word[64];
        float reals[6];
        for (const std::string& path : bench.grids) {
            files.push_back(std::fopen(path.c_str(), "r"));
            std::fscanf(files.back(), "%63s%d%d%f%f%f%f%f%f%f", word, &rows, &cols, &reals[0], &reals[1],
                        &reals[2], &reals[3], &reals[4], &reals[5], &blank);
        }
    }
    ~Grids() {
        for (std::FILE* f : files) std::fclose(f);
    }
};

// The job as one would first write it: vector-length weights over every cell, then the scores.
void StraightforwardFeature(const Bench& bench) {
    const int n = kGridCount;
    std::vector<float> p(n * n, 0.0f), x(n), w(n);
    {
        Grids grids(bench);
        for (long cell = 0; cell < long(grids.rows) * grids.cols; ++cell) {
            bool blank = false;
            for (int i = 0; i < n; ++i) {
                std::fscanf(grids.files[i], "%f", &x[i]);
                blank = blank || x[i] == grids.blank;
            }
            if (blank) continue;
            for (int i = 0; i < n; ++i) x[i] = Code(x[i]);
            for (int j = 0; j < n; ++j) {
                for (int k = 0; k <= j; ++k) p[j * n + k] += x[k] * x[j];
            }
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k < j; ++k) p[k * n + j] = p[j * n + k];
    }
    float total = 0;
    for (int i = 0; i < n; ++i) {
        float squares = 0;
        for (int k = 0; k < n; ++k) squares = float(squares + double(p[i * n + k]) * p[i * n + k]);
        w[i] = float(std::sqrt(double(squares)));
        total += w[i];
    }
    total /= 100.0f;
    for (float& weight : w) weight /= total;
    Grids grids(bench);
    std::FILE* out = std::fopen(bench.ScorePath("fscanf").c_str(), "w");
    std::fprintf(out, "KVSGDA01\n%10ld %10ld %10.2f %10.2f\n", long(grids.rows), long(grids.cols), 0.0, 1.0);
    std::fprintf(out, "%10.2f %10.2f %10.2f %10.2f\n%10.2f\n", 0.0, 1.0, 0.0, 1.0, double(grids.blank));
    for (int r = 0; r < grids.rows; ++r) {
        for (int c = 0; c < grids.cols; ++c) {
            bool blank = false;
            float s = 0;
            for (int i = 0; i < n; ++i) {
                float v;
                std::fscanf(grids.files[i], "%f", &v);
                if (v == grids.blank)
                    blank = true;
                else
                    s += w[i] * Code(v);
            }
            std::fprintf(out, "%8.2f", blank ? grids.blank : s);
        }
        std::fprintf(out, "\n");
    }
    std::fclose(out);
}

struct Timing {
    double wall = 1e300;  // seconds
    double cpu = 1e300;   // seconds of this process's processor time
};

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Keeps the best wall and processor times seen.
void Time(void (*job)(const Bench&), const Bench& bench, Timing& best) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    job(bench);
    best.cpu = std::min(best.cpu, CpuSeconds() - cpuStart);
    best.wall =
        std::min(best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

void QuarnelFeature(const Bench& bench) {
    const std::string params = WriteParams(bench);
    const int status = qelFeater(params.c_str());
    if (status != 0) std::printf("qelFeater returned %d\n", status);
}

// Both score grids hold the same text but for the blanks that keep numbers apart in ours.
bool SameScores(const Bench& bench) {
    auto withoutBlanks = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::string text;
        for (char c; in.get(c);) {
            if (c != ' ') text += c;
        }
        return text;
    };
    return withoutBlanks(bench.ScorePath("quarnel")) == withoutBlanks(bench.ScorePath("fscanf"));
}

// Peak resident memory, in KiB, of qelFeater run in a fresh process (this program again, with
// --job, which prints its own high-water mark), so nothing of this one's memory is counted.
long PeakKiB(const Bench& bench) {
    const std::string command =
        std::filesystem::read_symlink("/proc/self/exe").string() + " --job " + WriteParams(bench);
    std::FILE* child = popen(command.c_str(), "r");
    long kib = -1;
    if (child == nullptr || std::fscanf(child, "%ld", &kib) != 1) kib = -1;
    if (child != nullptr) pclose(child);
    return kib;
}

// Runs one job and prints the process's peak resident memory (VmHWM) in KiB.
int RunJob(const char* params) {
    const int status = qelFeater(params);
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmHWM:", 0) == 0) std::printf("%ld\n", std::atol(line.c_str() + 6));
    }
    return status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--job") return RunJob(argv[2]);
    std::string folder = "/tmp/quarnel_feature_bench";
    int size = 2000;
    int small = 500;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--dir") folder = std::string(argv[i + 1]) + "/feature";
        if (option == "--size") size = std::atoi(argv[i + 1]);
        if (option == "--small") small = std::atoi(argv[i + 1]);
    }
    std::filesystem::create_directories(folder);
    const Bench big = MakeGrids(folder, size);
    std::printf("%d evidence grids of %d x %d, vector-length method, no model units\n", kGridCount, size,
                size);
    // Best of two runs each, alternating, against the noise of a shared machine.
    Timing ours, plain;
    for (int round = 0; round < 2; ++round) {
        Time(QuarnelFeature, big, ours);
        Time(StraightforwardFeature, big, plain);
    }
    std::printf("                          wall time   processor time\n");
    std::printf("qelFeater                 %8.2f s   %8.2f s\n", ours.wall, ours.cpu);
    std::printf("fscanf/fprintf version    %8.2f s   %8.2f s\n", plain.wall, plain.cpu);
    std::printf("ratio                     %8.2f x   %8.2f x   (score grids %s)\n", plain.wall / ours.wall,
                plain.cpu / ours.cpu, SameScores(big) ? "identical" : "DIFFER");
    const Bench little = MakeGrids(folder, small);
    std::printf("peak memory of qelFeater: %d x %d  %ld KiB;  %d x %d  %ld KiB\n", small, small,
                PeakKiB(little), size, size, PeakKiB(big));
    return 0;
}
