// The library's jobs timed as a host application calls them, the same program built for Linux
// (against libquarnel.so) and for 32-bit Windows (against Quarnel.dll, run under wine), so the
// two builds can be compared on the same inputs. It also writes those inputs.
//
//   bench_dll grid PATH COLS ROWS SEED          a DSAA grid: a smooth surface with noise, two
//                                               decimals, one cell in a hundred 99999
//   bench_dll samples PATH COUNT INPUTS SEED    a BP sample file, inputs with four decimals, two
//                                               class bits
//   bench_dll time RUNS JOB ARGUMENTS...        runs the job RUNS times and prints its status and
//                                               the best wall and processor seconds:
//       normalize IN OUT
//       window IN MEAN STD W
//       train SAMPLES NETWORK RESULT COUNT INPUTS HIDDEN OUTPUTS EPOCHS   (error limit 0: every
//                                               epoch runs)
//       classify NETWORK OUT FILES KINDS
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

#include "jobs/frame/quarnel.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <ctime>
#endif

namespace {

double ProcessorSeconds() {
#if defined(_WIN32)
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
    const auto ticks = [](const FILETIME& t) {
        return double((std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) * 1e-7;
#else
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
#endif
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A value with two decimals as text, without the C library's formatting.
void PutTwoDecimals(std::string& line, double v) {
    const long long hundredths = std::llround(v * 100);
    const long long magnitude = hundredths < 0 ? -hundredths : hundredths;
    if (hundredths < 0) line += '-';
    line += std::to_string(magnitude / 100);
    line += '.';
    line += char('0' + magnitude / 10 % 10);
    line += char('0' + magnitude % 10);
}

int WriteGrid(const char* path, int cols, int rows, unsigned seed) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return 1;
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> noise(-5.0, 5.0);
    std::fprintf(file, "DSAA\n%d %d\n0 %d\n0 %d\n0 100\n", cols, rows, cols - 1, rows - 1);
    std::string line;
    for (int r = 0; r < rows; ++r) {
        line.clear();
        for (int q = 0; q < cols; ++q) {
            const double v = 50 + 40 * std::sin((r + 7.0 * seed) / 97.0) * std::cos((q - 3.0 * seed) / 131.0);
            const double noisy = v + noise(generator);
            if (generator() % 100 == 0)
                line += "99999";
            else
                PutTwoDecimals(line, noisy);
            line += ' ';
        }
        line += '\n';
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) break;
    }
    return std::fclose(file) == 0 ? 0 : 1;
}

// Bit 0: the first half of the inputs outweighs the second; bit 1: the first input exceeds the last.
int WriteSamples(const char* path, int count, int inputs, unsigned seed) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return 1;
    std::mt19937 generator(seed);
    std::fprintf(file, "BP Training Sample File !!!\n");
    for (int s = 0; s < count; ++s) {
        double first = 0, second = 0, x0 = 0, xLast = 0;
        for (int i = 0; i < inputs; ++i) {
            const int v = int(generator() % 10000);
            std::fprintf(file, "%d.%04d ", v / 10000, v);
            (i < inputs / 2 ? first : second) += v;
            if (i == 0) x0 = v;
            xLast = v;
        }
        std::fprintf(file, "%d %d\n", first > second ? 1 : 0, x0 > xLast ? 1 : 0);
    }
    return std::fclose(file) == 0 ? 0 : 1;
}

int Time(int runs, const char* job, const std::function<int()>& call) {
    double wall = 1e300, processor = 1e300;
    int status = 0;
    for (int k = 0; k < runs; ++k) {
        const double wall0 = WallSeconds(), processor0 = ProcessorSeconds();
        status = call();
        wall = std::min(wall, WallSeconds() - wall0);
        processor = std::min(processor, ProcessorSeconds() - processor0);
    }
    std::printf("%-9s status %d  wall %.3f s  processor %.3f s  (best of %d)\n", job, status, wall, processor,
                runs);
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: bench_dll grid|samples|time ... (see the head of bench/dll/bench_dll.cpp)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const auto arg = [&](int i) { return i < argc ? argv[i] : ""; };
    const auto number = [&](int i) { return std::atoi(arg(i)); };
    const std::string command = arg(1);
    if (command == "grid" && argc == 6) return WriteGrid(argv[2], number(3), number(4), unsigned(number(5)));
    if (command == "samples" && argc == 6)
        return WriteSamples(argv[2], number(3), number(4), unsigned(number(5)));
    if (command != "time" || argc < 4) return Usage();
    const int runs = std::max(1, number(2));
    const std::string job = arg(3);
    if (job == "normalize" && argc == 6)
        return Time(runs, "normalize", [&] { return OnDataNormalize(argv[4], argv[5]); });
    if (job == "window" && argc == 8)
        return Time(runs, "window", [&] { return OnCalAvgVar(argv[4], argv[5], argv[6], number(7)); });
    if (job == "train" && argc == 12) {
        return Time(runs, "train", [&] {
            return OnBPTrain(argv[4], argv[5], argv[6], number(7), number(8), number(9), number(10),
                             number(11), 0.0);
        });
    }
    if (job == "classify" && argc == 8)
        return Time(runs, "classify", [&] { return OnBPClass(argv[4], argv[5], argv[6], argv[7]); });
    return Usage();
}
