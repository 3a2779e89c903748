// Outputs are complete or untouched: every host command whose writing is cut short, killed, or
// raced by a second run of itself leaves each output either as it was or whole, never a blend,
// and no temporary file behind; two outputs through a dangling link to one file are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "formats/grid/same_file.h"
#include "tests/hardening/catalogue.h"

namespace quarnel::hardening {
namespace {

namespace fs = std::filesystem;

// A DSAA grid of n x n values, different for each variant.
std::string Dsaa(int n, int variant) {
    std::string text = "DSAA\n" + std::to_string(n) + " " + std::to_string(n) + "\n0 1\n0 1\n0 1\n";
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) text += std::to_string((r * 7 + c * 3 + variant * 11) % 97) + ".5 ";
        text += "\n";
    }
    return text;
}

// The same values as a KVSGDA01 grid.
std::string Kvsgda(int n, int variant) {
    std::string text = "KVSGDA01 " + std::to_string(n) + " " + std::to_string(n) + " 0 1 0 1 0 1 99999\n";
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) text += std::to_string((r * 5 + c + variant * 13) % 89) + " ";
    return text;
}

std::string V(const char* name, int v);

// Variant v's DSAA grid as a GeoTIFF, made by the host itself.
std::string GeoTiff(const TempFolder& dir, int v, int n) {
    const std::string grid = dir / V("grid", v);
    WriteFile(grid, Dsaa(n, v));
    RunCli({"convert", grid, grid + ".tif"});
    return grid + ".tif";
}

constexpr const char* kSampleHeader = "BP Training Sample File !!!\n";

struct Command {
    const char* name;
    std::vector<std::string> outputs;  // file names in the case's folder
    // Writes variant v's inputs (their names carry v, so two variants can share a folder) and
    // returns the arguments that write the outputs.
    std::function<std::vector<std::string>(const TempFolder&, int v, int n)> make;
};

std::string V(const char* name, int v) {
    return std::string(name) + std::to_string(v);
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"normalize",
         {"out.grd"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             WriteFile(dir / V("in", v), Dsaa(n, v));
             return {"normalize", dir / V("in", v), dir / "out.grd"};
         }},
        {"window-stats",
         {"mean.grd", "std.grd"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             WriteFile(dir / V("in", v), Dsaa(n, v));
             return {"window-stats", dir / V("in", v), dir / "mean.grd", dir / "std.grd", "-w", "3"};
         }},
        {"hxf-pack",
         {"out.hxf"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             WriteFile(dir / V("a", v), Dsaa(n, v));
             WriteFile(dir / V("b", v), Dsaa(n, v + 2));
             return {"hxf-pack", dir / "out.hxf", dir / V("a", v), dir / V("b", v)};
         }},
        {"hxf-dump",
         {"dump.txt"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             WriteFile(dir / V("a", v), Dsaa(n, v));
             RunCli({"hxf-pack", dir / V("in", v), dir / V("a", v)});
             return {"hxf-dump", dir / V("in", v), dir / "dump.txt"};
         }},
        {"bp-train",
         {"net.txt", "result.txt"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             std::string samples = kSampleHeader;
             for (int i = 0; i < n; ++i)
                 samples += std::to_string((i * 37 + v) % 100) + " " + std::to_string(i % 2) + "\n";
             WriteFile(dir / V("samples", v), samples);
             return {"bp-train",
                     "-s",
                     dir / V("samples", v),
                     "-n",
                     dir / "net.txt",
                     "-r",
                     dir / "result.txt",
                     "-m",
                     "20",
                     "--seed",
                     std::to_string(v + 1)};
         }},
        {"bp-classify",
         {"classes.grd"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             WriteFile(dir / V("samples", v), std::string(kSampleHeader) + "10 0\n90 1\n");
             RunCli({"bp-train", "-s", dir / V("samples", v), "-n", dir / V("net", v), "-r",
                     dir / V("result", v), "-m", "20", "--seed", std::to_string(v + 1)});
             WriteFile(dir / V("in", v), Dsaa(n, v));
             return {"bp-classify", dir / V("net", v), dir / "classes.grd", dir / V("in", v)};
         }},
        {"hierarchy",
         {"out.txt", "report.txt"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             WriteFile(dir / V("grid", v), Kvsgda(n, v));
             WriteFile(dir / V("params", v), "QELFrmDECOMPOSE 1 1 0 0 0\n1 1\nA 1 " + dir / V("grid", v) +
                                                 "\n" + dir / "out.txt " + dir / "report.txt\n");
             return {"hierarchy", dir / V("params", v)};
         }},
        {"feature",
         {"score.grd", "report.txt"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             WriteFile(dir / V("grid", v), Kvsgda(n, v));
             WriteFile(dir / V("params", v), "QelFrmFeater 1\nAu 20 60 " + dir / V("grid", v) +
                                                 "\n0 none\n0 " + dir / "score.grd " + dir / "report.txt\n");
             return {"feature", dir / V("params", v)};
         }},
        // Through the GDAL door: GeoTIFF in and out.
        {"normalize-tif",
         {"out.tif"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             return {"normalize", GeoTiff(dir, v, n), dir / "out.tif"};
         }},
        {"window-stats-tif",
         {"mean.tif", "std.tif"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             return {"window-stats", GeoTiff(dir, v, n), dir / "mean.tif", dir / "std.tif", "-w", "3"};
         }},
        {"convert-tif",
         {"out.img"},
         [](const TempFolder& dir, int v, int n) -> std::vector<std::string> {
             return {"convert", GeoTiff(dir, v, n), dir / "out.img"};
         }},
    };
    return commands;
}

std::map<std::string, std::string> Outputs(const TempFolder& dir, const Command& command) {
    std::map<std::string, std::string> bytes;
    for (const std::string& name : command.outputs)
        bytes[name] = fs::exists(dir / name) ? ReadFile(dir / name) : "(none)";
    return bytes;
}

void WriteEarlierOutputs(const TempFolder& dir, const Command& command) {
    for (const std::string& name : command.outputs) WriteFile(dir / name, "an earlier " + name);
}

// Files in the folder whose names mark them temporary (a leading dot).
std::vector<std::string> Leftovers(const TempFolder& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(dir / "")))
        if (entry.path().filename().string().front() == '.')
            names.push_back(entry.path().filename().string());
    return names;
}

class OutputsCatalogue : public ::testing::TestWithParam<Command> {};

// A write cut short (as on a full disk) fails the command and leaves every output as it was.
TEST_P(OutputsCatalogue, CutShortLeavesEveryEarlierOutput) {
    const Command& command = GetParam();
    TempFolder dir;
    const std::vector<std::string> arguments = command.make(dir, 0, 40);
    WriteEarlierOutputs(dir, command);
    const std::map<std::string, std::string> earlier = Outputs(dir, command);
    const CliResult result = RunCli(arguments, {.fileSize = 300});
    EXPECT_EQ(result.exitCode, 1) << result.output;
    // A report is the exception: it appears, ending with the failure, to say what went wrong.
    std::map<std::string, std::string> after = Outputs(dir, command);
    after.erase("report.txt");
    std::map<std::string, std::string> expected = earlier;
    expected.erase("report.txt");
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(Leftovers(dir).empty()) << Leftovers(dir).front();
}

// Killed at any moment, a command leaves its earlier outputs or its whole new ones.
TEST_P(OutputsCatalogue, KilledLeavesEarlierOrWholeOutputs) {
    const Command& command = GetParam();
    TempFolder dir;
    const std::vector<std::string> arguments = command.make(dir, 0, 300);
    ASSERT_EQ(RunCli(arguments).exitCode, 0);
    const std::map<std::string, std::string> whole = Outputs(dir, command);
    for (int delay : {5, 20, 60}) {
        WriteEarlierOutputs(dir, command);
        const std::map<std::string, std::string> earlier = Outputs(dir, command);
        RunCli(arguments, {.killAfterMs = delay});
        for (const std::string& name : command.outputs) {
            const std::string bytes = fs::exists(dir / name) ? ReadFile(dir / name) : "(none)";
            EXPECT_TRUE(bytes == earlier.at(name) || bytes == whole.at(name))
                << name << " after " << delay << " ms";
        }
    }
    // A kill in the instant between naming a file and renaming it leaves the name; the next run
    // writing the path removes it.
    ASSERT_EQ(RunCli(arguments).exitCode, 0);
    EXPECT_TRUE(Leftovers(dir).empty()) << Leftovers(dir).front();
}

// Two runs writing the same outputs at once leave one run's whole outputs.
TEST_P(OutputsCatalogue, RacingRunsLeaveOneWholeResult) {
    const Command& command = GetParam();
    TempFolder dir;
    const std::vector<std::string> first = command.make(dir, 0, 60);
    const std::vector<std::string> second = command.make(dir, 1, 60);
    ASSERT_EQ(RunCli(first).exitCode, 0);
    const std::map<std::string, std::string> firstOutputs = Outputs(dir, command);
    ASSERT_EQ(RunCli(second).exitCode, 0);
    const std::map<std::string, std::string> secondOutputs = Outputs(dir, command);
    for (int race = 0; race < 5; ++race) {
        for (const CliResult& result : RunClisTogether({first, second})) EXPECT_EQ(result.exitCode, 0);
        for (const std::string& name : command.outputs) {
            const std::string bytes = ReadFile(dir / name);
            EXPECT_TRUE(bytes == firstOutputs.at(name) || bytes == secondOutputs.at(name)) << name;
        }
    }
    EXPECT_TRUE(Leftovers(dir).empty()) << Leftovers(dir).front();
}

INSTANTIATE_TEST_SUITE_P(Host, OutputsCatalogue, ::testing::ValuesIn(Commands()), [](const auto& test) {
    std::string name = test.param.name;
    std::erase(name, '-');
    return name;
});

// A second output named through a link whose target does not exist yet is the first output.
TEST(OutputsThroughLinks, DanglingLinkToTheOtherOutputIsRefused) {
    for (const Command& command : Commands()) {
        if (command.outputs.size() < 2) continue;
        TempFolder dir;
        const std::vector<std::string> arguments = command.make(dir, 0, 10);
        fs::create_symlink(dir / command.outputs[0], dir / command.outputs[1]);
        const CliResult result = RunCli(arguments);
        EXPECT_EQ(result.exitCode, 1) << command.name << ": " << result.output;
        EXPECT_FALSE(fs::exists(dir / command.outputs[0])) << command.name;
    }
}

// An output that is an input (by any name: "..", a link, the network or parameter file) or
// two outputs that are one file are refused before anything is written, through the GDAL door
// as through the design's. A refused design job keeps its own status for it.
struct InputAsOutput {
    const char* what;
    std::vector<std::string> arguments;  // "D/" stands for the case's folder
    std::vector<std::string> outputs;    // that the refused run must leave as they were
    int status;
};

// Two relative spellings of one file that does not exist yet are one output (the design's
// window-stats wrote "m.grd" and then "./m.grd" over it and exited 0).
TEST(OutputsThatAreInputs, RelativeSpellingsOfANewFileAreOneOutput) {
    EXPECT_TRUE(SameOutputFile("quarnel-not-made.grd", "./quarnel-not-made.grd"));
    EXPECT_TRUE(SameOutputFile("quarnel-not-made.grd", "sub/../quarnel-not-made.grd"));
    EXPECT_FALSE(SameOutputFile("quarnel-not-made.grd", "quarnel-not-made.grd2"));
}

TEST(OutputsThatAreInputs, AreRefusedBeforeAnythingIsWritten) {
    const std::string hierarchy = "QELFrmDECOMPOSE 1 1 0 0 0\n1 1\nA 1 D/a.tif\nD/h.params D/report.txt\n";
    const std::string feature = "QelFrmFeater 1\nAu 20 60 D/a.tif\n0 none\n0 D/f.params D/report.txt\n";
    const InputAsOutput cases[] = {
        {"normalize through ..", {"normalize", "D/a.tif", "D/sub/../a.tif"}, {}, 0},
        {"normalize through a link", {"normalize", "D/a.tif", "D/link.tif"}, {}, 0},
        {"convert onto its input", {"convert", "D/a.tif", "D/./a.tif"}, {}, 1},
        {"window-stats mean is the input",
         {"window-stats", "D/a.tif", "D/a.tif", "D/s.tif", "-w", "2"},
         {"D/s.tif"},
         0},
        {"window-stats outputs are one",
         {"window-stats", "D/a.tif", "D/m.tif", "D/./m.tif", "-w", "2"},
         {"D/m.tif"},
         0},
        {"bp-classify onto its network", {"bp-classify", "D/net.txt", "D/net.txt", "D/a.tif"}, {}, 0},
        {"hierarchy result is its parameter file", {"hierarchy", "D/h.params"}, {"D/report.txt"}, 3903},
        {"feature score is its parameter file", {"feature", "D/f.params"}, {"D/report.txt"}, 3057},
    };
    for (const InputAsOutput& c : cases) {
        TempFolder dir;
        const auto in = [&](std::string text) {
            for (std::size_t at = text.find("D/"); at != std::string::npos; at = text.find("D/", at))
                text.replace(at, 2, dir / "");
            return text;
        };
        WriteFile(dir / "a.grd", Dsaa(8, 0));
        ASSERT_EQ(RunCli({"convert", dir / "a.grd", dir / "a.tif"}).exitCode, 0);
        fs::create_directory(dir / "sub");
        fs::create_symlink(dir / "a.tif", dir / "link.tif");
        WriteFile(dir / "samples", std::string(kSampleHeader) + "10 0\n90 1\n");
        RunCli({"bp-train", "-s", dir / "samples", "-n", dir / "net.txt", "-r", dir / "result", "-m", "5"});
        WriteFile(dir / "h.params", in(hierarchy));
        WriteFile(dir / "f.params", in(feature));
        Case run;
        for (const char* input : {"a.tif", "net.txt", "h.params", "f.params"}) run.Input(dir / input);
        for (const std::string& output : c.outputs) run.Untouched(in(output));
        std::vector<std::string> arguments;
        for (const std::string& argument : c.arguments) arguments.push_back(in(argument));
        SCOPED_TRACE(c.what);
        run.ExpectCli(arguments, c.status, false, "");
    }
}

}  // namespace
}  // namespace quarnel::hardening
