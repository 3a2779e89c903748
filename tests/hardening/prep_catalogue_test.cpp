// Bad inputs for the preparation jobs: OnDataNormalize (and OnDataNormalize2 kinds 0 and 1),
// OnCalAvgVar and OnDataNormalizeHXF, through the exports and through the host.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "jobs/frame/quarnel.h"
#include "formats/hxf/ihxf.h"
#include "jobs/prep/status_text.h"
#include "tests/hardening/catalogue.h"

namespace quarnel::hardening {
namespace {

constexpr const char* kDsaa = "DSAA\n3 2\n0 2\n0 1\n10 30\n10 20 30\n99999 15 25\n";

std::string Kvb() {
    return KvbFileBytes(2, 3, {1, 2, 3, 4, 5, 6}, 1, 6, 99999);
}

// A grid file as the case makes it; returns its path.
using MakeGrid = std::function<std::string(const TempFolder&)>;

MakeGrid File(const std::string& bytes) {
    return [bytes](const TempFolder& dir) {
        WriteFile(dir / "in.grd", bytes);
        return dir / "in.grd";
    };
}

MakeGrid Cut(const std::string& bytes, std::size_t size) {
    return File(bytes.substr(0, size));
}

struct GridCase {
    const char* name;
    MakeGrid make;
    int status;  // of OnDataNormalize and OnCalAvgVar (w = 1): 1 written, 0 failed
};

std::string Digits(std::size_t count) {
    return std::string(count, '7');
}

const std::vector<GridCase>& GridCases() {
    static const std::vector<GridCase> cases = {
        {"Valid", File(kDsaa), 1},
        {"ValidKvb", File(Kvb()), 1},
        {"Missing", [](const TempFolder& dir) { return dir / "missing.grd"; }, 0},
        {"Empty", File(""), 0},
        {"Directory",
         [](const TempFolder& dir) {
             mkdir((dir / "folder.grd").c_str(), 0755);
             return dir / "folder.grd";
         },
         0},
        {"CutInWord", Cut(kDsaa, 2), 0},
        {"CutInCounts", Cut(kDsaa, 7), 0},
        {"CutInRanges", Cut(kDsaa, 20), 0},
        {"CutInValues", Cut(kDsaa, std::string(kDsaa).size() - 3), 0},
        {"KvbCutInMagic", Cut(Kvb(), 6), 0},
        {"KvbCutInHeader", Cut(Kvb(), 1000), 0},
        {"KvbCutAfterHeader", Cut(Kvb(), 2176), 0},
        {"KvbCutInValues", Cut(Kvb(), 2176 + 22), 0},
        {"Garbage", File(Garbage(4096, 1)), 0},
        {"GarbageAfterKvbMagic", File("KVSGDB01" + Garbage(4096, 2)), 0},
        {"OverlongWord", File(std::string(100000, 'D') + " 1 1 0 1 0 1 0 1 5\n"), 0},
        {"OverlongNumber", File("DSAA\n1 1\n0 1\n0 1\n0 1\n" + Digits(5000) + "\n"), 0},
        {"OverlongCount", File("DSAA\n" + Digits(5000) + " 1\n0 1\n0 1\n0 1\n5\n"), 0},
        {"OverlongPath", [](const TempFolder& dir) { return OverlongPath(dir / "x"); }, 0},
        {"NegativeCount", File("DSAA\n-3 2\n0 2\n0 1\n0 1\n1 2 3\n4 5 6\n"), 0},
        {"ZeroCount", File("DSAA\n0 2\n0 2\n0 1\n0 1\n"), 0},
        {"KvbNegativeRows", File(KvbFileBytes(-1, 3, {1, 2, 3})), 0},
        {"KvbZeroCols", File(KvbFileBytes(1, 0, {})), 0},
        {"CountsOverflow32Bits", File("DSAA\n65536 65536\n0 1\n0 1\n0 1\n1 2 3\n"), 0},
        {"KvbCountsOverflow32Bits", File(KvbFileBytes(65536, 65536, {1, 2, 3})), 0},
        {"KvbCountsOverflowInt", File(KvbFileBytes(INT_MAX, 2, {1, 2, 3})), 0},
        {"SizeBeyondFile", File("DSAA\n1000 1000\n0 1\n0 1\n0 1\n1 2 3 4 5 6\n"), 0},
        {"KvbSizeBeyondFile", File(KvbFileBytes(1000, 1000, {1, 2, 3, 4, 5, 6})), 0},
        {"NanAndInf", File("DSAA\n3 2\n0 2\n0 1\n0 1\n10 nan 30\ninf -inf 25\n"), 0},
        {"OneInf", File("DSAA\n3 2\n0 2\n0 1\n0 1\n10 20 30\n-inf 15 25\n"), 0},
        {"KvbNanRange", File(KvbFileBytes(1, 2, {1, 2}, NAN, INFINITY, NAN)), 0},
        {"KvbInfValue", File(KvbFileBytes(1, 2, {1, INFINITY}, 0, 1, -1)), 0},
        {"Crlf", File(WithCrlf(kDsaa)), 1},
        {"GbkPath",
         [](const TempFolder& dir) {
             const std::string folder = dir / kGbkName;
             mkdir(folder.c_str(), 0755);
             WriteFile(folder + "/" + kGbkName + ".grd", kDsaa);
             return folder + "/" + kGbkName + ".grd";
         },
         1},
    };
    return cases;
}

void PrintTo(const GridCase& c, std::ostream* out) {
    *out << c.name;
}

class PrepGridCatalogue : public ::testing::TestWithParam<GridCase> {
  protected:
    TempFolder dir_;
};

TEST_P(PrepGridCatalogue, Normalize) {
    const std::string input = GetParam().make(dir_);
    const std::string output = dir_ / "out.grd";
    const int status = GetParam().status;
    Case run;
    run.Input(input);
    run.Untouched(output);
    run.Written(output);
    run.ExpectExport([&] { return OnDataNormalize(input.c_str(), output.c_str()); }, status, status == 1);
    for (int kind : {0, 1}) {
        run.ExpectExport([&] { return OnDataNormalize2(input.c_str(), kind, output.c_str()); }, status,
                         status == 1);
    }
    run.ExpectCli({"normalize", "--kind", "0", input, output}, status, status == 1,
                  prep::Normalize2StatusText(status));
}

TEST_P(PrepGridCatalogue, WindowStatistics) {
    const std::string input = GetParam().make(dir_);
    const std::string mean = dir_ / "mean.grd";
    const std::string deviation = dir_ / "std.grd";
    const int status = GetParam().status;
    Case run;
    run.Input(input);
    for (const std::string& output : {mean, deviation}) {
        run.Untouched(output);
        run.Written(output);
    }
    run.ExpectExport([&] { return OnCalAvgVar(input.c_str(), mean.c_str(), deviation.c_str(), 1); }, status,
                     status == 1);
    run.ExpectCli({"window-stats", input, mean, deviation, "-w", "1"}, status, status == 1,
                  prep::CalAvgVarStatusText(status));
}

INSTANTIATE_TEST_SUITE_P(BadInputs, PrepGridCatalogue, ::testing::ValuesIn(GridCases()),
                         [](const auto& test) { return std::string(test.param.name); });

// The same input and output twice over, through every name the output can take.
class PrepOutputCatalogue : public ::testing::Test {
  protected:
    void SetUp() override { WriteFile(input_, kDsaa); }

    void ExpectNormalizeFails(const std::string& output) {
        Case run;
        run.Input(input_);
        run.Untouched(output);
        run.ExpectExport([&] { return OnDataNormalize(input_.c_str(), output.c_str()); }, 0, false);
        run.ExpectCli({"normalize", input_, output}, 0, false, prep::Normalize2StatusText(0));
    }
    // A deviation grid that cannot be created leaves the mean grid created and empty.
    void ExpectStatisticsFail(const std::string& mean, const std::string& deviation,
                              bool meanCreated = false) {
        Case run;
        run.Input(input_);
        if (!meanCreated) run.Untouched(mean);
        run.Untouched(deviation);
        run.ExpectExport([&] { return OnCalAvgVar(input_.c_str(), mean.c_str(), deviation.c_str(), 1); }, 0,
                         false);
        run.ExpectCli({"window-stats", input_, mean, deviation, "-w", "1"}, 0, false,
                      prep::CalAvgVarStatusText(0));
    }

    TempFolder dir_;
    std::string input_ = dir_ / "in.grd";
};

TEST_F(PrepOutputCatalogue, OutputNamingTheInputFailsAndKeepsIt) {
    ExpectNormalizeFails(input_);
    ExpectNormalizeFails(dir_ / "./in.grd");
    symlink(input_.c_str(), (dir_ / "link.grd").c_str());
    ExpectNormalizeFails(dir_ / "link.grd");
    link(input_.c_str(), (dir_ / "hard.grd").c_str());
    ExpectNormalizeFails(dir_ / "hard.grd");
    ExpectStatisticsFail(input_, dir_ / "std.grd");
    ExpectStatisticsFail(dir_ / "mean.grd", dir_ / "link.grd");
}

TEST_F(PrepOutputCatalogue, BothStatisticsOutputsInOneFileFail) {
    ExpectStatisticsFail(dir_ / "both.grd", dir_ / "both.grd");
    ExpectStatisticsFail(dir_ / "both.grd", dir_ / "./both.grd");
}

TEST_F(PrepOutputCatalogue, OutputsThatCannotBeCreatedFail) {
    ExpectNormalizeFails(dir_ / "missing/out.grd");
    ExpectNormalizeFails(dir_ / OverlongName());
    ExpectNormalizeFails(OverlongPath(dir_ / "x"));
    ExpectNormalizeFails(dir_.operator/(""));
    ExpectStatisticsFail(dir_ / "missing/mean.grd", dir_ / "std.grd");
    ExpectStatisticsFail(dir_ / "mean.grd", dir_ / OverlongName(), true);
}

TEST_F(PrepOutputCatalogue, WindowSizesWithoutAWindowFail) {
    for (int w : {0, -1, 3, INT_MAX, INT_MIN}) {
        Case run;
        run.Input(input_);
        run.Untouched(dir_ / "mean.grd");
        run.Untouched(dir_ / "std.grd");
        run.ExpectExport(
            [&] {
                return OnCalAvgVar(input_.c_str(), (dir_ / "mean.grd").c_str(), (dir_ / "std.grd").c_str(),
                                   w);
            },
            0, false);
    }
}

TEST_F(PrepOutputCatalogue, UnknownKindsTouchNothing) {
    for (int kind : {3, -1, INT_MAX, INT_MIN}) {
        Case run;
        run.Input(input_);
        run.Untouched(dir_ / "out.grd");
        run.ExpectExport([&] { return OnDataNormalize2(input_.c_str(), kind, (dir_ / "out.grd").c_str()); },
                         -1, false);
    }
}

TEST_F(PrepOutputCatalogue, CrlfGridGivesTheSameOutputAsLf) {
    WriteFile(dir_ / "crlf.grd", WithCrlf(kDsaa));
    ASSERT_EQ(OnDataNormalize(input_.c_str(), (dir_ / "lf.out").c_str()), 1);
    ASSERT_EQ(OnDataNormalize((dir_ / "crlf.grd").c_str(), (dir_ / "crlf.out").c_str()), 1);
    EXPECT_EQ(ReadFile(dir_ / "crlf.out"), ReadFile(dir_ / "lf.out"));
}

// The multi-grid dump's status is 0 in every case, so only its output tells: none unless the
// file opened and the output could be created; the host says which.
std::string Hxf(int rows, int cols, int grids) {
    std::string bytes(64, '\0');
    const std::int16_t version = 1;
    const std::int16_t type = HXF_FLOAT;
    std::memcpy(bytes.data(), "HXFGRIDS", 8);
    std::memcpy(bytes.data() + 8, &version, 2);
    std::memcpy(bytes.data() + 10, &type, 2);
    std::memcpy(bytes.data() + 12, &rows, 4);
    std::memcpy(bytes.data() + 16, &cols, 4);
    std::memcpy(bytes.data() + 20, &grids, 4);
    for (int g = 0; g < grids; ++g) {
        std::string id(32, '\0');
        id[0] = char('a' + g);
        bytes += id;
        for (int k = 0; k < rows * cols; ++k) {
            const float v = float(k);
            bytes.append(reinterpret_cast<const char*>(&v), 4);
        }
    }
    return bytes;
}

struct HxfCase {
    const char* name;
    MakeGrid make;
    bool dumped;
};

const std::vector<HxfCase>& HxfCases() {
    static const std::vector<HxfCase> cases = {
        {"Valid", File(Hxf(2, 3, 2)), true},
        {"Missing", [](const TempFolder& dir) { return dir / "missing.hxf"; }, false},
        {"Empty", File(""), false},
        {"Directory",
         [](const TempFolder& dir) {
             mkdir((dir / "folder.hxf").c_str(), 0755);
             return dir / "folder.hxf";
         },
         false},
        {"CutInHeader", Cut(Hxf(2, 3, 2), 30), false},
        {"CutInGrid", Cut(Hxf(2, 3, 2), 64 + 32 + 10), false},
        {"OneByteLong", File(Hxf(2, 3, 2) + "x"), false},
        {"Garbage", File(Garbage(4096, 3)), false},
        {"NegativeRows", File(Hxf(-2, 3, 0)), false},
        {"ZeroCols", File(Hxf(2, 0, 0)), false},
        {"CountsOverflow32Bits", Cut(Hxf(65536, 65536, 0) + std::string(64, '\0'), 64 + 64), false},
        {"GridCountBeyondFile",
         [](const TempFolder& dir) {
             std::string bytes = Hxf(1, 1, 1);
             const int grids = INT_MAX;
             std::memcpy(bytes.data() + 20, &grids, 4);
             WriteFile(dir / "in.grd", bytes);
             return dir / "in.grd";
         },
         false},
        {"OverlongPath", [](const TempFolder& dir) { return OverlongPath(dir / "x"); }, false},
        {"GbkPath",
         [](const TempFolder& dir) {
             WriteFile(dir / kGbkName, Hxf(1, 2, 1));
             return dir / kGbkName;
         },
         true},
    };
    return cases;
}

void PrintTo(const HxfCase& c, std::ostream* out) {
    *out << c.name;
}

class PrepHxfCatalogue : public ::testing::TestWithParam<HxfCase> {
  protected:
    TempFolder dir_;
};

TEST_P(PrepHxfCatalogue, Dump) {
    const std::string input = GetParam().make(dir_);
    const std::string output = dir_ / "dump.txt";
    Case run;
    run.Input(input);
    run.Untouched(output);
    run.Written(output);
    run.ExpectExport([&] { return OnDataNormalizeHXF(input.c_str(), output.c_str()); }, 0, GetParam().dumped);
    run.ExpectExport([&] { return OnDataNormalize2(input.c_str(), 2, output.c_str()); }, 0,
                     GetParam().dumped);
    run.ExpectCli({"hxf-dump", input, output}, 0, GetParam().dumped, prep::NormalizeHxfStatusText(0));
}

INSTANTIATE_TEST_SUITE_P(BadInputs, PrepHxfCatalogue, ::testing::ValuesIn(HxfCases()),
                         [](const auto& test) { return std::string(test.param.name); });

// A grid whose values cannot be loaded (here: 64 MB in a process held to 48 MB of address
// space) leaves no dump, and the host says which grid; the earlier dump stays.
TEST_F(PrepOutputCatalogue, DumpOfAGridThatCannotBeLoadedFails) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#endif
    const std::string hxf = dir_ / "in.hxf";
    // The host maps about 170 MB of libraries (GDAL's among them) before it reads anything; the
    // 400 MB grid cannot be loaded within 320 MB.
    WriteFile(hxf, Hxf(10000, 10000, 1));
    WriteFile(dir_ / "dump.txt", "an earlier dump");
    const CliResult result = RunCli({"hxf-dump", hxf, dir_ / "dump.txt"}, {.addressSpace = 320 << 20});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("cannot be loaded; no dump was written (grid 1)"), std::string::npos)
        << result.output;
    EXPECT_EQ(ReadFile(dir_ / "dump.txt"), "an earlier dump");
}

TEST_F(PrepOutputCatalogue, DumpNeverOverwritesItsMultiGridFile) {
    const std::string hxf = dir_ / "in.hxf";
    WriteFile(hxf, Hxf(2, 2, 1));
    for (const std::string& output : {hxf, dir_ / "./in.hxf", dir_ / "missing/dump.txt"}) {
        Case run;
        run.Input(hxf);
        run.Untouched(output);
        run.ExpectExport([&] { return OnDataNormalizeHXF(hxf.c_str(), output.c_str()); }, 0, false);
        run.ExpectCli({"hxf-dump", hxf, output}, 0, false, prep::NormalizeHxfStatusText(0));
    }
}

}  // namespace
}  // namespace quarnel::hardening
