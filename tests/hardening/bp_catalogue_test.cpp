// Bad inputs for the BP jobs: OnBPTrain's sample file and counts, OnBPClass's network file and
// input grids, and both jobs' outputs, through the exports and through the host.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "formats/afx/stdio_file.h"
#include "jobs/bp/bp_status.h"
#include "jobs/frame/quarnel.h"
#include "fuzz/job_inputs.h"
#include "tests/hardening/catalogue.h"

namespace quarnel::hardening {
namespace {

constexpr const char* kSamples = "BP Training Sample File !!!\n0.25 0.75 1 0\n0.80 0.10 0 1\n0.55 0.40 1 1\n";

// A file as the case makes it, under the name given; returns its path.
using MakeFile = std::function<std::string(const TempFolder&, const std::string& name)>;

MakeFile File(const std::string& bytes) {
    return [bytes](const TempFolder& dir, const std::string& name) {
        WriteFile(dir / name, bytes);
        return dir / name;
    };
}

MakeFile Cut(const std::string& bytes, std::size_t size) {
    return File(bytes.substr(0, size));
}

std::string MissingFile(const TempFolder& dir, const std::string& name) {
    return dir / ("missing-" + name);
}

std::string Folder(const TempFolder& dir, const std::string& name) {
    mkdir((dir / name).c_str(), 0755);
    return dir / name;
}

std::string LongPath(const TempFolder& dir, const std::string&) {
    return OverlongPath(dir / "x");
}

std::string GbkFile(const TempFolder& dir, const std::string& name, const std::string& bytes) {
    mkdir((dir / kGbkName).c_str(), 0755);
    const std::string path = dir / kGbkName + "/" + kGbkName + name;
    WriteFile(path, bytes);
    return path;
}

struct SampleCase {
    const char* name;
    MakeFile make;
    int status;
};

const std::vector<SampleCase>& SampleCases() {
    static const std::vector<SampleCase> cases = {
        {"Valid", File(kSamples), 1},
        {"Missing", MissingFile, 2},
        {"Empty", File(""), 2},
        {"Directory", Folder, 2},
        {"CutInHeader", Cut(kSamples, 10), 2},
        {"CutAfterHeader", Cut(kSamples, 28), 1},
        {"CutInSample", Cut(kSamples, 40), 1},
        {"Garbage", File(Garbage(4096, 4)), 2},
        {"GarbageAfterHeader", File("BP Training Sample File !!!\n" + Garbage(4096, 5)), 1},
        {"OverlongHeader", File(std::string(100000, 'B') + "\n0 0 0 0\n"), 2},
        {"OverlongToken", File("BP Training Sample File !!!\n" + std::string(1 << 20, '7') + " 1 1 0\n"), 1},
        {"OverlongLine", File("BP Training Sample File !!!\n" + std::string(1 << 22, ' ') + "1 2 1 0\n"), 1},
        {"OverlongPath", LongPath, 2},
        {"NanAndInf", File("BP Training Sample File !!!\nnan inf 1 0\n-inf 1e999 0 1\n0.5 -nan 1 1\n"), 1},
        {"HugeTargets", File("BP Training Sample File !!!\n0.5 0.5 2147483647 -2147483648\n"), 1},
        {"Crlf", File(WithCrlf(kSamples)), 1},
        {"GbkPath",
         [](const TempFolder& dir, const std::string& name) { return GbkFile(dir, name, kSamples); }, 1},
    };
    return cases;
}

void PrintTo(const SampleCase& c, std::ostream* out) {
    *out << c.name;
}

class BPTrainCatalogue : public ::testing::TestWithParam<SampleCase> {
  protected:
    TempFolder dir_;
};

// The network file is written before the result file is created, so a result file that cannot
// be created leaves a network file behind (networkWritten).
void ExpectTrain(const std::string& samples, const std::string& network, const std::string& result,
                 const std::vector<int>& counts, int status, bool networkWritten = false) {
    Case run;
    run.Input(samples);
    for (const std::string& output : {network, result}) {
        if (output != samples && !(networkWritten && output == network)) run.Untouched(output);
        run.Written(output);
    }
    run.ExpectExport(
        [&] {
            std::srand(1);
            return OnBPTrain(samples.c_str(), network.c_str(), result.c_str(), counts[0], counts[1],
                             counts[2], counts[3], 10, 0.0);
        },
        status, status == 1);
    run.ExpectCli({"bp-train",
                   "-s",
                   samples,
                   "-n",
                   network,
                   "-r",
                   result,
                   "-c",
                   std::to_string(counts[0]),
                   "-i",
                   std::to_string(counts[1]),
                   "-H",
                   std::to_string(counts[2]),
                   "-o",
                   std::to_string(counts[3]),
                   "-m",
                   "10",
                   "-e",
                   "0",
                   "--seed",
                   "1"},
                  status, status == 1, BPTrainStatusText(status));
}

TEST_P(BPTrainCatalogue, SampleFile) {
    const std::string samples = GetParam().make(dir_, "samples.txt");
    ExpectTrain(samples, dir_ / "net.txt", dir_ / "result.txt", {3, 2, 3, 2}, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(BadInputs, BPTrainCatalogue, ::testing::ValuesIn(SampleCases()),
                         [](const auto& test) { return std::string(test.param.name); });

class BPTrainOutputs : public ::testing::Test {
  protected:
    void SetUp() override { WriteFile(samples_, kSamples); }
    TempFolder dir_;
    std::string samples_ = dir_ / "samples.txt";
};

TEST_F(BPTrainOutputs, CountsOutOfRangeFailBeforeAnyFile) {
    const std::vector<std::vector<int>> counts = {
        {-1, 2, 3, 2},
        {3, 0, 3, 2},
        {3, -2, 3, 2},
        {3, 2, 0, 2},
        {3, 2, -3, 2},
        {3, 2, 3, 0},
        {INT_MIN, 2, 3, 2},
        // Products far beyond 32 bits (and beyond memory) are refused, never wrapped.
        {INT_MAX, INT_MAX, 3, 2},
        {3, INT_MAX, INT_MAX, 2},
        {INT_MAX, 2, 3, INT_MAX},
    };
    for (const std::vector<int>& c : counts)
        ExpectTrain(samples_, dir_ / "net.txt", dir_ / "result.txt", c, 0);
}

// Every array's size alone may fit the machine while all of them together do not: the job asks
// for them as a whole and fails before touching any (about 112 GB here, in arrays of 16 to 32 GB).
TEST_F(BPTrainOutputs, CountsBeyondMemoryTogetherFailBeforeAllocating) {
    const CliResult result =
        RunCli({"bp-train", "-s", samples_, "-n", dir_ / "net.txt", "-r", dir_ / "result.txt", "-c", "3",
                "-i", "2", "-o", "2", "-H", "2000000000"});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_LT(result.peakKiB, 256 * 1024) << "KiB touched before failing";
    EXPECT_FALSE(FileExists(dir_ / "net.txt"));
}

TEST_F(BPTrainOutputs, ZeroSamplesTrainOneEpoch) {
    ExpectTrain(samples_, dir_ / "net.txt", dir_ / "result.txt", {0, 2, 3, 2}, 1);
}

TEST_F(BPTrainOutputs, OutputsNamingAnInputOrEachOtherFail) {
    symlink(samples_.c_str(), (dir_ / "link.txt").c_str());
    ExpectTrain(samples_, samples_, dir_ / "result.txt", {3, 2, 3, 2}, 0);
    ExpectTrain(samples_, dir_ / "net.txt", dir_ / "link.txt", {3, 2, 3, 2}, 0);
    ExpectTrain(samples_, dir_ / "both.txt", dir_ / "both.txt", {3, 2, 3, 2}, 0);
    ExpectTrain(samples_, dir_ / "both.txt", dir_ / "./both.txt", {3, 2, 3, 2}, 0);
}

TEST_F(BPTrainOutputs, OutputsThatCannotBeCreatedFail) {
    ExpectTrain(samples_, dir_ / "missing/net.txt", dir_ / "result.txt", {3, 2, 3, 2}, 0);
    ExpectTrain(samples_, dir_ / "net.txt", dir_ / OverlongName(), {3, 2, 3, 2}, 0, true);
    ExpectTrain(samples_, dir_ / "net.txt", dir_ / "missing/result.txt", {3, 2, 3, 2}, 0, true);
    ExpectTrain(samples_, OverlongPath(dir_ / "x"), dir_ / "result.txt", {3, 2, 3, 2}, 0);
}

TEST_F(BPTrainOutputs, CrlfSamplesTrainTheSameNetwork) {
    WriteFile(dir_ / "crlf.txt", WithCrlf(kSamples));
    std::srand(7);
    ASSERT_EQ(
        OnBPTrain(samples_.c_str(), (dir_ / "lf.net").c_str(), (dir_ / "lf.res").c_str(), 3, 2, 3, 2, 5, 0),
        1);
    std::srand(7);
    ASSERT_EQ(OnBPTrain((dir_ / "crlf.txt").c_str(), (dir_ / "crlf.net").c_str(), (dir_ / "crlf.res").c_str(),
                        3, 2, 3, 2, 5, 0),
              1);
    EXPECT_EQ(ReadFile(dir_ / "crlf.net"), ReadFile(dir_ / "lf.net"));
    EXPECT_EQ(ReadFile(dir_ / "crlf.res"), ReadFile(dir_ / "lf.res"));
}

// Classification: one DSAA input of 3 x 2 cells and a 1-2-1 network.
constexpr const char* kGrid = fuzz::kSmallDsaa;
constexpr const char* kNetwork = fuzz::kOneInputNetwork;

struct ClassCase {
    const char* name;
    MakeFile make;
    int status;
};

// Bad network files, classified against the valid grid.
const std::vector<ClassCase>& NetworkCases() {
    static const std::vector<ClassCase> cases = {
        {"Valid", File(kNetwork), 1},
        {"Missing", MissingFile, 2},
        {"Empty", File(""), 2},
        {"Directory", Folder, 2},
        {"CutInCounts", Cut(kNetwork, 15), 2},
        {"CutAfterCounts", Cut(kNetwork, 57), 1},
        {"CutInWeights", Cut(kNetwork, 90), 1},
        {"Garbage", File(Garbage(4096, 6)), 2},
        {"OverlongCount", File(std::string(5000, '1') + " 2 1 0\n"), 2},
        {"OverlongLine", File("1 2 1 0\n" + std::string(1 << 22, ' ') + "0.1 0.2\n0.5\n1 2\n0.3\n-0.4\n"), 1},
        {"OverlongPath", LongPath, 2},
        {"NegativeCount", File("1 -2 1 0\n0.1 0.2\n0.5\n1 2\n0.3\n-0.4\n"), 2},
        {"ZeroCount", File("1 2 0 0\n0.1 0.2\n\n1 2\n\n\n"), 2},
        {"CountsOverflow32Bits", File("1 65536 65536 0\n0.1 0.2\n"), 2},
        {"SizeBeyondFile", File("1 100000000 1 0\n"), 2},
        {"ThirtyOneOutputs", File("1 1 31 0\n" + std::string(200, ' ') + "\n"), 2},
        {"NanAndInf", File("1 2 1 nan\nnan inf\n-inf\n1e999 -1e999\nnan\ninf\n"), 1},
        {"Crlf", File(WithCrlf(kNetwork)), 1},
        {"GbkPath",
         [](const TempFolder& dir, const std::string& name) { return GbkFile(dir, name, kNetwork); }, 1},
    };
    return cases;
}

// Bad input grids, classified with the valid network.
const std::vector<ClassCase>& GridCases() {
    static const std::vector<ClassCase> cases = {
        {"Valid", File(kGrid), 1},
        {"Missing", MissingFile, 2},
        {"Empty", File(""), 2},
        {"Directory", Folder, 2},
        {"CutInHeader", Cut(kGrid, 7), 2},
        {"CutInValues", Cut(kGrid, std::string(kGrid).size() - 3), 2},
        {"Garbage", File(Garbage(4096, 7)), 2},
        {"OverlongValue", File("DSAA\n3 2\n0 2\n0 1\n0 1\n1 2 3\n4 5 " + std::string(5000, '6') + "\n"), 2},
        {"OverlongCount", File("DSAA\n" + std::string(5000, '3') + " 2\n0 2\n0 1\n0 1\n1 2 3\n4 5 6\n"), 2},
        {"OverlongPath", LongPath, 2},
        {"NegativeCount", File("DSAA\n-3 -2\n0 2\n0 1\n0 1\n1 2 3\n4 5 6\n"), 2},
        {"ZeroCount", File("DSAA\n0 2\n0 2\n0 1\n0 1\n"), 2},
        {"CountsOverflow32Bits", File("DSAA\n65536 65536\n0 2\n0 1\n0 1\n1 2 3\n4 5 6\n"), 2},
        {"SizeBeyondFile", File("DSAA\n1000 1000\n0 2\n0 1\n0 1\n1 2 3\n4 5 6\n"), 2},
        {"NanAndInf", File("DSAA\n3 2\n0 2\n0 1\n0 1\nnan 2 inf\n-inf 99999 6\n"), 2},
        {"EndlessLine",
         [](const TempFolder& dir, const std::string& name) {
             WriteFile(dir / name,
                       "DSAA\n3 2\n0 2\n0 1\n0 1\n" + std::string(CStdioFile::kMaxLineLength + 1, '7'));
             return dir / name;
         },
         2},
        {"Crlf", File(WithCrlf(kGrid)), 1},
        {"GbkPath", [](const TempFolder& dir, const std::string& name) { return GbkFile(dir, name, kGrid); },
         1},
    };
    return cases;
}

void PrintTo(const ClassCase& c, std::ostream* out) {
    *out << c.name;
}

void ExpectClassify(const std::string& network, const std::string& grid, const std::string& output,
                    int status) {
    Case run;
    run.Input(network);
    run.Input(grid);
    if (output != network && output != grid) run.Untouched(output);
    run.Written(output);
    run.ExpectExport([&] { return OnBPClass(network.c_str(), output.c_str(), (grid + "*").c_str(), "1*"); },
                     status, status == 1);
    run.ExpectCli({"bp-classify", network, output, grid, "-k", "1"}, status, status == 1,
                  BPClassStatusText(status));
}

class BPClassNetworkCatalogue : public ::testing::TestWithParam<ClassCase> {
  protected:
    TempFolder dir_;
};

TEST_P(BPClassNetworkCatalogue, NetworkFile) {
    WriteFile(dir_ / "grid.grd", kGrid);
    ExpectClassify(GetParam().make(dir_, "net.txt"), dir_ / "grid.grd", dir_ / "class.grd",
                   GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(BadInputs, BPClassNetworkCatalogue, ::testing::ValuesIn(NetworkCases()),
                         [](const auto& test) { return std::string(test.param.name); });

class BPClassGridCatalogue : public ::testing::TestWithParam<ClassCase> {
  protected:
    TempFolder dir_;
};

TEST_P(BPClassGridCatalogue, InputGrid) {
    WriteFile(dir_ / "net.txt", kNetwork);
    ExpectClassify(dir_ / "net.txt", GetParam().make(dir_, "grid.grd"), dir_ / "class.grd",
                   GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(BadInputs, BPClassGridCatalogue, ::testing::ValuesIn(GridCases()),
                         [](const auto& test) { return std::string(test.param.name); });

class BPClassOutputs : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(network_, kNetwork);
        WriteFile(grid_, kGrid);
    }
    TempFolder dir_;
    std::string network_ = dir_ / "net.txt";
    std::string grid_ = dir_ / "grid.grd";
};

TEST_F(BPClassOutputs, OutputNamingAnInputFails) {
    ExpectClassify(network_, grid_, network_, 0);
    ExpectClassify(network_, grid_, grid_, 0);
    ExpectClassify(network_, grid_, dir_ / "./grid.grd", 0);
}

TEST_F(BPClassOutputs, OutputThatCannotBeCreatedFails) {
    ExpectClassify(network_, grid_, dir_ / "missing/class.grd", 0);
    ExpectClassify(network_, grid_, dir_ / OverlongName(), 0);
}

TEST_F(BPClassOutputs, ListsThatNameNoFittingInputFail) {
    const std::string output = dir_ / "class.grd";
    const std::vector<std::pair<std::string, std::string>> lists = {
        {"", ""},                             // no input at all
        {grid_, "1"},                         // no "*": no input
        {grid_ + "*", ""},                    // fewer kinds than files
        {grid_ + "*" + grid_ + "*", "1*1*"},  // two grids for a one-input network
        {grid_ + "*", "7*"},                  // an unknown kind loads nothing
        {"*", "1*"},                          // an empty path
        {grid_ + "*", std::string(5000, '1') + "*"},
    };
    for (const auto& [files, kinds] : lists) {
        Case run;
        run.Input(network_);
        run.Input(grid_);
        run.Untouched(output);
        run.ExpectExport(
            [&] { return OnBPClass(network_.c_str(), output.c_str(), files.c_str(), kinds.c_str()); }, 2,
            false);
    }
}

TEST_F(BPClassOutputs, CrlfInputsClassifyAlike) {
    WriteFile(dir_ / "crlf.net", WithCrlf(kNetwork));
    WriteFile(dir_ / "crlf.grd", WithCrlf(kGrid));
    ASSERT_EQ(OnBPClass(network_.c_str(), (dir_ / "lf.out").c_str(), (grid_ + "*").c_str(), "1*"), 1);
    ASSERT_EQ(OnBPClass((dir_ / "crlf.net").c_str(), (dir_ / "crlf.out").c_str(),
                        (dir_ / "crlf.grd*").c_str(), "1*"),
              1);
    EXPECT_EQ(ReadFile(dir_ / "crlf.out"), ReadFile(dir_ / "lf.out"));
}

}  // namespace
}  // namespace quarnel::hardening
