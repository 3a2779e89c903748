// Test host for the library as a host application sees it: the library is loaded at run time,
// every job is found by its exported name and run on the inputs in the current directory, and
// every output lands there too, with one line per call in statuses.txt. The Windows build of this
// program (LoadLibraryA, GetProcAddress) and its Linux twin (dlopen, dlsym) must leave
// byte-identical directories behind; compare-twins.sh checks that.
//
//   quarnel_host jobs          run every job; exit 1 when a status differs from the expected one
//   quarnel_host load-unload   load and unload the library without calling it; exit 1 on failure
//   quarnel_host members       (Windows) call the exported class members, read the version block
//                              and the manifest; exit 1 on any difference
//   quarnel_host powers FILE   write the bits of the BP sigmoid's power over a fixed set of
//                              arguments (tests/windows/power_bits.h); exit 1 when it cannot
//
// The libraries are taken from the folder of this program. The sigmoid's power is internal to the
// library, so the host is built with its source (core/bp/power.cpp) to write its bits.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "jobs/frame/quarnel.h"
#include "formats/hxf/ihxf.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include "tests/windows/power_bits.h"

#if defined(_WIN32)
#include "tests/windows/host_members.h"
#endif

namespace {

#if defined(_WIN32)
const char* const kQuarnelName = "Quarnel.dll";
const char* const kHxfName = "IHXF.dll";
#else
const char* const kQuarnelName = "libquarnel.so";
const char* const kHxfName = "libihxf.so";
#endif

std::string ProgramFolder() {
    char path[4096] = {};
#if defined(_WIN32)
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length == sizeof path) return {};
    std::string text(path, length);
    return text.substr(0, text.find_last_of("\\/") + 1);
#else
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string text(path, std::size_t(length));
    return text.substr(0, text.find_last_of('/') + 1);
#endif
}

// A library loaded for the length of a scope.
class Library {
  public:
    explicit Library(const std::string& path) {
#if defined(_WIN32)
        handle_ = LoadLibraryA(path.c_str());
#else
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
        if (handle_ == nullptr) std::fprintf(stderr, "cannot load %s\n", path.c_str());
    }
    ~Library() {
        if (handle_ != nullptr) Unload();
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const {
        return handle_ != nullptr;
    }

    // Unloads now; false when the system refuses.
    bool Unload() {
#if defined(_WIN32)
        const bool done = FreeLibrary(static_cast<HMODULE>(handle_)) != 0;
#else
        const bool done = dlclose(handle_) == 0;
#endif
        handle_ = nullptr;
        return done;
    }

    template <class Function>
    Function Find(const char* name) const {
#if defined(_WIN32)
        const FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), name);
#else
        void* const address = dlsym(handle_, name);
#endif
        if (address == nullptr) std::fprintf(stderr, "no export %s\n", name);
        // The system hands out untyped addresses; the caller names the export's real type.
        return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    }

  private:
    void* handle_ = nullptr;
};

// Every job, found by name.
struct Jobs {
    decltype(&OnDataNormalize) normalize = nullptr;
    decltype(&OnDataNormalize2) normalize2 = nullptr;
    decltype(&OnDataNormalizeHXF) normalizeHxf = nullptr;
    decltype(&OnCalAvgVar) avgVar = nullptr;
    decltype(&OnBPTrain) bpTrain = nullptr;
    decltype(&OnBPClass) bpClass = nullptr;
    decltype(&qelDecompos) decompos = nullptr;
    decltype(&qelFeater) feater = nullptr;

    explicit Jobs(const Library& library)
        : normalize(library.Find<decltype(normalize)>("OnDataNormalize")),
          normalize2(library.Find<decltype(normalize2)>("OnDataNormalize2")),
          normalizeHxf(library.Find<decltype(normalizeHxf)>("OnDataNormalizeHXF")),
          avgVar(library.Find<decltype(avgVar)>("OnCalAvgVar")),
          bpTrain(library.Find<decltype(bpTrain)>("OnBPTrain")),
          bpClass(library.Find<decltype(bpClass)>("OnBPClass")),
          decompos(library.Find<decltype(decompos)>("qelDecompos")),
          feater(library.Find<decltype(feater)>("qelFeater")) {}

    bool complete() const {
        return normalize && normalize2 && normalizeHxf && avgVar && bpTrain && bpClass && decompos && feater;
    }
};

// statuses.txt and the count of unexpected statuses.
class StatusLog {
  public:
    StatusLog() : file_(std::fopen("statuses.txt", "wb")) {}
    ~StatusLog() {
        if (file_ != nullptr) std::fclose(file_);
    }
    StatusLog(const StatusLog&) = delete;
    StatusLog& operator=(const StatusLog&) = delete;

    void Check(const char* call, int status, int expected) {
        if (file_ != nullptr) std::fprintf(file_, "%s -> %d\n", call, status);
        if (status != expected) {
            std::fprintf(stderr, "%s returned %d, expected %d\n", call, status, expected);
            ++failures_;
        }
    }
    void Fail(const char* what) {
        std::fprintf(stderr, "%s\n", what);
        ++failures_;
    }
    int failures() const { return failures_ + (file_ == nullptr ? 1 : 0); }

  private:
    std::FILE* file_;
    int failures_ = 0;
};

bool WriteText(const char* path, const std::string& text) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

std::string ReadText(const char* path) {
    std::string text;
    if (std::FILE* file = std::fopen(path, "rb")) {
        char chunk[256];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
        std::fclose(file);
    }
    return text;
}

// Test inputs the host makes itself: a binary grid and multi-grid files, the same bytes on
// every platform.
constexpr int kRows = 249;
constexpr int kCols = 126;
constexpr float kKvbBlank = -9999.0f;

float PatternValue(int row, int col, int salt) {
    return float((row * 37 + col * 11 + salt * 5) % 101) / 4.0f - 3.5f;
}

void PutLittleEndian32(unsigned char* at, std::uint32_t bits) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(bits >> (8 * i));
}

void PutFloat(unsigned char* at, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutLittleEndian32(at, bits);
}

// A KVSGDB01 grid of the pattern (stored rows in reverse of the DSAA order), with one blank cell
// and a header range narrower than the data.
bool WriteKvbGrid(const char* path, const char* magic) {
    std::vector<unsigned char> bytes(2176 + std::size_t(kRows) * kCols * 4, 0);
    std::memcpy(bytes.data(), magic, 8);
    PutLittleEndian32(&bytes[8], kRows);
    PutLittleEndian32(&bytes[12], kCols);
    PutFloat(&bytes[64], 20.0f);
    PutFloat(&bytes[68], -3.0f);
    PutFloat(&bytes[76], kKvbBlank);
    for (int stored = 0; stored < kRows; ++stored) {
        const int row = kRows - 1 - stored;
        for (int col = 0; col < kCols; ++col) {
            const float value = (row == 7 && col == 9) ? kKvbBlank : PatternValue(row, col, 1);
            PutFloat(&bytes[2176 + (std::size_t(stored) * kCols + col) * 4], value);
        }
    }
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

template <class T>
bool WriteHxf(const Library& hxf, const char* path, short elementType, int gridCount) {
    const auto write = hxf.Find<decltype(&WriteHXFFile)>("WriteHXFFile");
    if (write == nullptr) return false;
    std::vector<std::vector<T>> grids(std::size_t(gridCount), std::vector<T>(std::size_t(kRows) * kCols));
    std::vector<const void*> values;
    std::vector<std::string> names;
    std::vector<const char*> ids;
    for (int g = 0; g < gridCount; ++g) {
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c)
                grids[g][std::size_t(r) * kCols + c] = T(PatternValue(r, c, 2 + g));
        values.push_back(grids[g].data());
        names.push_back("grid" + std::to_string(g + 1));
    }
    for (const std::string& name : names) ids.push_back(name.c_str());
    return write(path, elementType, kRows, kCols, gridCount, ids.data(), values.data()) == HXF_OK;
}

bool MakeInputs(StatusLog& log) {
    Library hxf(ProgramFolder() + kHxfName);
    if (!hxf.loaded()) return false;
    const bool made = WriteKvbGrid("pattern.kvb", "KVSGDB01") &&
                      WriteKvbGrid("pattern_lower.kvb", "kvsgdb01") &&
                      WriteHxf<float>(hxf, "pattern_float.hxf", HXF_FLOAT, 1) &&
                      WriteHxf<float>(hxf, "pattern_float3.hxf", HXF_FLOAT, 3) &&
                      WriteHxf<double>(hxf, "pattern_double.hxf", HXF_DOUBLE, 1);
    if (!made) log.Fail("cannot make the binary inputs");
    return made;
}

void RunPrep(const Jobs& jobs, StatusLog& log) {
    log.Check("OnDataNormalize breccia.grd", jobs.normalize("breccia.grd", "norm_breccia.grd"), 1);
    log.Check("OnDataNormalize pattern.kvb", jobs.normalize("pattern.kvb", "norm_pattern.grd"), 1);
    log.Check("OnDataNormalize pattern_lower.kvb",
              jobs.normalize("pattern_lower.kvb", "norm_pattern_lower.grd"), 1);
    log.Check("OnDataNormalize missing.grd", jobs.normalize("missing.grd", "norm_missing.grd"), 0);
    log.Check("OnDataNormalize2 0", jobs.normalize2("breccia.grd", 0, "norm2_kind0.grd"), 1);
    log.Check("OnDataNormalize2 1", jobs.normalize2("pattern.kvb", 1, "norm2_kind1.grd"), 1);
    log.Check("OnDataNormalize2 2", jobs.normalize2("pattern_float3.hxf", 2, "norm2_kind2.txt"), 0);
    log.Check("OnDataNormalize2 3", jobs.normalize2("breccia.grd", 3, "norm2_kind3.grd"), -1);
    log.Check("OnDataNormalizeHXF float", jobs.normalizeHxf("pattern_float3.hxf", "hxf_float3.txt"), 0);
    log.Check("OnDataNormalizeHXF double", jobs.normalizeHxf("pattern_double.hxf", "hxf_double.txt"), 0);
    log.Check("OnCalAvgVar breccia.grd",
              jobs.avgVar("breccia.grd", "mean5_breccia.grd", "std5_breccia.grd", 5), 1);
    log.Check("OnCalAvgVar pattern.kvb",
              jobs.avgVar("pattern.kvb", "mean3_pattern.grd", "std3_pattern.grd", 3), 1);
    // A file in place is replaced whole by a later job, and kept whole by a failing one.
    log.Check("OnDataNormalize over pattern", jobs.normalize("breccia.grd", "norm_pattern.grd"), 1);
    if (!WriteText("kept_mean.grd", "an earlier mean grid")) log.Fail("cannot make kept_mean.grd");
    log.Check("OnCalAvgVar unwritable deviations",
              jobs.avgVar("breccia.grd", "kept_mean.grd", "missing/std.grd", 5), 0);
    if (ReadText("kept_mean.grd") != "an earlier mean grid") log.Fail("a failing job changed kept_mean.grd");
}

void RunBp(const Jobs& jobs, StatusLog& log) {
    // Both builds draw the initial weights from the same generator sequence (msvcrt's).
    std::srand(7);
    log.Check(
        "OnBPTrain samples.txt",
        jobs.bpTrain("bp_samples.txt", "bp_trained.net", "bp_trained_result.txt", 24, 3, 5, 2, 300, 0.01), 1);
    log.Check("OnBPTrain bad header",
              jobs.bpTrain("bp_samples_bad.txt", "bp_bad.net", "bp_bad_result.txt", 24, 3, 5, 2, 300, 0.01),
              2);
    log.Check("OnBPClass fixed network",
              jobs.bpClass("bp_fixed.net", "bp_class_fixed.grd", "fault.grd*pattern_float.hxf*pattern.kvb*",
                           "1*2*0*"),
              1);
    log.Check("OnBPClass trained network",
              jobs.bpClass("bp_trained.net", "bp_class_trained.grd",
                           "pattern_double.hxf*breccia.grd*fault.grd*", "2*1*1*"),
              1);
    log.Check("OnBPClass too few inputs",
              jobs.bpClass("bp_fixed.net", "bp_class_unfit.grd", "fault.grd*pattern.kvb*", "1*0*"), 2);
}

void RunAnalyses(const Jobs& jobs, StatusLog& log) {
    log.Check("qelDecompos regular grid", jobs.decompos("hierarchy_grid.par"), 0);
    log.Check("qelDecompos irregular grid", jobs.decompos("hierarchy_irregular.par"), 0);
    log.Check("qelDecompos missing parameter file", jobs.decompos("missing.par"), 3000);
    log.Check("qelFeater vector length", jobs.feater("feature_vector.par"), 0);
    log.Check("qelFeater principal component", jobs.feater("feature_pc.par"), 0);
    log.Check("qelFeater wrong keyword", jobs.feater("feature_badkey.par"), 3056);
}

// Paths in the system code page: the GBK bytes of Chinese names, for files made outside the
// library and for files it makes.
void RunChinesePaths(const Jobs& jobs, StatusLog& log) {
    log.Check("OnDataNormalize 断裂距离.grd", jobs.normalize("断裂距离.grd", "断裂距离_归一化.grd"), 1);
    log.Check("OnCalAvgVar 断裂距离.grd", jobs.avgVar("断裂距离.grd", "断裂_均值.grd", "断裂_标准差.grd", 4),
              1);
    if (!WriteKvbGrid("二进制网格.kvb", "KVSGDB01")) log.Fail("cannot make 二进制网格.kvb");
    log.Check("OnDataNormalize 二进制网格.kvb", jobs.normalize("二进制网格.kvb", "二进制网格_归一化.grd"), 1);
    log.Check("OnBPClass 断裂距离.grd",
              jobs.bpClass("bp_fixed.net", "分类结果.grd", "断裂距离.grd*pattern_float.hxf*二进制网格.kvb*",
                           "1*2*0*"),
              1);
    log.Check("qelDecompos 层次分析参数.par", jobs.decompos("层次分析参数.par"), 0);
}

int RunJobs() {
    StatusLog log;
    Library library(ProgramFolder() + kQuarnelName);
    if (!library.loaded()) return 1;
    const Jobs jobs(library);
    if (!jobs.complete() || !MakeInputs(log)) return 1;
#if defined(_WIN32)
    if (RuntimeLocaleIsGbk()) log.Fail("the program starts in code page 936 already");
#endif
    RunPrep(jobs, log);
#if defined(_WIN32)
    if (!RuntimeLocaleIsGbk()) log.Fail("reading a binary grid did not set the locale to code page 936");
#endif
    RunBp(jobs, log);
    RunAnalyses(jobs, log);
    RunChinesePaths(jobs, log);
    return log.failures() == 0 ? 0 : 1;
}

int LoadAndUnload() {
    Library library(ProgramFolder() + kQuarnelName);
    if (!library.loaded()) return 1;
    if (!library.Unload()) {
        std::fprintf(stderr, "the library would not unload\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 2 ? argv[1] : "";
    if (argc == 3 && std::string(argv[1]) == "powers") return quarnel::WritePowerBits(argv[2]) ? 0 : 1;
    if (mode == "jobs") return RunJobs();
    if (mode == "load-unload") return LoadAndUnload();
#if defined(_WIN32)
    if (mode == "members") return CheckMembersAndResources(ProgramFolder() + kQuarnelName);
#endif
    std::fprintf(stderr, "usage: quarnel_host jobs|load-unload|members|powers FILE\n");
    return 2;
}
