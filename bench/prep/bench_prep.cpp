// Times the preparation jobs against their straightforward fscanf/fprintf form on large grids,
// checks that both write the same bytes, and measures the peak memory of OnDataNormalize.
//
//   bench_prep [--size N] [--dir DIR] [--runs K]
//
// Exit status 0 when every output matches and every target is met, 1 otherwise.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "bench/prep/baseline.h"
#include "bench/prep/grid_generator.h"
#include "jobs/frame/quarnel.h"

namespace {

using quarnel::bench::BenchGrids;

struct Options {
    int size = 4000;
    std::string dir = "bench-data";
    int runs = 3;
};

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Best of runs, in processor time of this process (user and system, which includes the
// kernel's share of reading and writing the files): the machine is shared, and wall time
// would measure the neighbours too.
double BestSeconds(int runs, const std::function<int()>& job) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuSeconds();
        if (job() != 1) return -1;
        const double spent = CpuSeconds() - start;
        if (spent < best) best = spent;
    }
    return best;
}

bool SameBytes(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb) return false;
    return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

long PeakKilobytesSoFar() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Child side of the memory probe: reports its peak before the job, then runs it.
int ProbeNormalize(const char* input, const char* output) {
    std::printf("%ld\n", PeakKilobytesSoFar());
    std::fflush(stdout);
    return OnDataNormalize(input, output) == 1 ? 0 : 1;
}

// Runs OnDataNormalize in a fresh process and returns how far its peak resident size grew
// during the job, in kilobytes; -1 when the probe failed.
long NormalizePeakGrowth(const std::string& input, const std::string& output) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        execl("/proc/self/exe", "bench_prep", "--probe-normalize", input.c_str(), output.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char text[64] = {};
    const ssize_t got = read(pipeFds[0], text, sizeof text - 1);
    close(pipeFds[0]);
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0 || got <= 0)
        return -1;
    return usage.ru_maxrss - std::atol(text);
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--size") == 0)
            options.size = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--dir") == 0)
            options.dir = argv[i + 1];
        else if (std::strcmp(argv[i], "--runs") == 0)
            options.runs = std::atoi(argv[i + 1]);
        else
            return false;
    }
    return argc % 2 == 1 && options.size > 0 && options.runs > 0;
}

struct Comparison {
    const char* name;
    double target;  // required speed-up; 0 when the row is for information only
    std::function<int()> baseline;
    std::function<int()> library;
    std::string baselineOutputs[2];
    std::string libraryOutputs[2];
};

bool RunComparison(const Comparison& c, int runs) {
    const double baseline = BestSeconds(runs, c.baseline);
    const double library = BestSeconds(runs, c.library);
    bool same = baseline >= 0 && library >= 0;
    for (int k = 0; k < 2 && same; ++k)
        if (!c.baselineOutputs[k].empty()) same = SameBytes(c.baselineOutputs[k], c.libraryOutputs[k]);
    const double ratio = library > 0 ? baseline / library : 0;
    const bool met = c.target == 0 || ratio >= c.target;
    char target[32] = "(info)";
    if (c.target > 0) std::snprintf(target, sizeof target, ">= %.1fx", c.target);
    std::printf("%-34s %10.3f %10.3f %8.2fx %9s  %s%s\n", c.name, baseline, library, ratio, target,
                same ? "bytes equal" : "BYTES DIFFER", met ? "" : "  TARGET MISSED");
    return same && met;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--probe-normalize") == 0) return ProbeNormalize(argv[2], argv[3]);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench_prep [--size N] [--dir DIR] [--runs K]\n");
        return 1;
    }
    mkdir(options.dir.c_str(), 0777);
    BenchGrids grids;
    if (!quarnel::bench::MakeBenchGrids(options.dir, options.size, 20240607u, grids)) {
        std::fprintf(stderr, "bench_prep: cannot write the grids into %s\n", options.dir.c_str());
        return 1;
    }
    const std::string d = options.dir + "/";
    std::printf("grid %d x %d, best of %d runs, processor seconds\n", options.size, options.size,
                options.runs);
    std::printf("%-34s %10s %10s %9s %9s\n", "job", "baseline", "library", "ratio", "target");
    bool ok = true;
    const Comparison comparisons[] = {
        {"OnDataNormalize, DSAA",
         3.5,
         [&] { return quarnel::bench::BaselineNormalize(grids.dsaa.c_str(), (d + "base_norm.grd").c_str()); },
         [&] { return OnDataNormalize(grids.dsaa.c_str(), (d + "lib_norm.grd").c_str()); },
         {d + "base_norm.grd", ""},
         {d + "lib_norm.grd", ""}},
        {"OnCalAvgVar w=5, DSAA",
         3.0,
         [&] {
             return quarnel::bench::BaselineCalAvgVar(grids.dsaa.c_str(), (d + "base_mean.grd").c_str(),
                                                      (d + "base_std.grd").c_str(), 5);
         },
         [&] {
             return OnCalAvgVar(grids.dsaa.c_str(), (d + "lib_mean.grd").c_str(), (d + "lib_std.grd").c_str(),
                                5);
         },
         {d + "base_mean.grd", d + "base_std.grd"},
         {d + "lib_mean.grd", d + "lib_std.grd"}},
        {"OnDataNormalize, KVSGDB01",
         0,
         [&] {
             return quarnel::bench::BaselineNormalize(grids.kvb.c_str(), (d + "base_norm_kvb.grd").c_str());
         },
         [&] { return OnDataNormalize(grids.kvb.c_str(), (d + "lib_norm_kvb.grd").c_str()); },
         {d + "base_norm_kvb.grd", ""},
         {d + "lib_norm_kvb.grd", ""}},
    };
    for (const Comparison& c : comparisons) ok = RunComparison(c, options.runs) && ok;
    std::fflush(stdout);

    const double growth = static_cast<double>(NormalizePeakGrowth(grids.dsaa, d + "probe_norm.grd"));
    const double cells = static_cast<double>(options.size) * options.size;
    // The job holds one double matrix (it rescales in place).
    const double budget = 1.1 * (cells * sizeof(double) + options.size * sizeof(double*)) / 1024.0;
    const bool memoryMet = growth > 0 && growth <= budget;
    std::printf(
        "OnDataNormalize peak memory growth %.1f MiB, budget (one double matrix + 10%%) %.1f MiB%s\n",
        growth / 1024.0, budget / 1024.0, memoryMet ? "" : "  TARGET MISSED");
    return ok && memoryMet ? 0 : 1;
}
