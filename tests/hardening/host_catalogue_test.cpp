// Bad inputs for the host's own commands (info, hxf-pack, report, --show-report): no crash, no
// sanitizer report, exit 1 for what cannot be read, and no input overwritten.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fuzz/job_inputs.h"
#include "tests/hardening/catalogue.h"

namespace quarnel::hardening {
namespace {

class HostCatalogue : public ::testing::Test {
  protected:
    // Inputs no command can read, each as a path.
    std::vector<std::string> Unreadable() {
        mkdir((dir_ / "folder").c_str(), 0755);
        WriteFile(dir_ / "empty", "");
        WriteFile(dir_ / "garbage", Garbage(4096, 14));
        WriteFile(dir_ / "cut.grd", std::string(fuzz::kSmallDsaa).substr(0, 12));
        WriteFile(dir_ / "huge.grd", "DSAA\n65536 65536\n0 1\n0 1\n0 1\n1 2 3\n");
        WriteFile(dir_ / "cut.kvb", KvbFileBytes(2, 3, {1, 2, 3}));
        WriteFile(dir_ / "word.grd", std::string(100000, 'D') + " 1 1\n");
        return {dir_ / "missing", dir_ / "folder",   dir_ / "empty",
                dir_ / "garbage", dir_ / "cut.grd",  dir_ / "huge.grd",
                dir_ / "cut.kvb", dir_ / "word.grd", OverlongPath(dir_ / "x")};
    }

    // Runs the host and checks it ended by itself with the exit code, leaving the inputs alone.
    void ExpectExit(const std::vector<std::string>& arguments, const std::vector<std::string>& inputs,
                    int exit) {
        Case run;
        for (const std::string& input : inputs) run.Input(input);
        const CliResult result = RunCli(arguments);
        ASSERT_TRUE(result.exited) << arguments[0] << " killed by signal " << -result.exitCode << ":\n"
                                   << result.output;
        EXPECT_EQ(result.exitCode, exit) << arguments[0] << " " << arguments.back() << ":\n" << result.output;
        run.ExpectExport([] { return 0; }, 0, true);
    }

    TempFolder dir_;
};

TEST_F(HostCatalogue, InfoRefusesWhatItCannotRead) {
    for (const std::string& path : Unreadable()) ExpectExit({"info", path}, {path}, 1);
    WriteFile(dir_ / "grid.grd", fuzz::kSmallDsaa);
    ExpectExit({"info", dir_ / "grid.grd"}, {dir_ / "grid.grd"}, 0);
    WriteFile(dir_ / "kvsgda", "KVSGDA01 2 2 0 1 0 1 0 1 nan\nnan inf\n-inf 1e999\n");
    ExpectExit({"info", dir_ / "kvsgda"}, {dir_ / "kvsgda"}, 1);
}

// Every input of the validation commands, in turn unreadable: exit 1, no picture, no CSV file.
TEST_F(HostCatalogue, EvaluateAndPlotRefuseWhatTheyCannotRead) {
    WriteFile(dir_ / "grid.grd", fuzz::kSmallDsaa);
    WriteFile(dir_ / "points.csv", "x,y\n0,0\n");
    const std::string grid = dir_ / "grid.grd";
    const std::string points = dir_ / "points.csv";
    const std::string csv = dir_ / "csv";
    const std::string png = dir_ / "out.png";
    for (const std::string& path : Unreadable()) {
        ExpectExit({"evaluate", path, points, "--csv", csv}, {path}, 1);
        ExpectExit({"evaluate", grid, path, "--csv", csv}, {path}, 1);
        ExpectExit({"evaluate", grid, points, "--mask", path, "--csv", csv}, {path}, 1);
        ExpectExit({"plot", path, "-o", png}, {path}, 1);
        ExpectExit({"plot", grid, "-o", png, "--deposits", path}, {path}, 1);
        ExpectExit({"plot", grid, "-o", png, "--deposits", points, "--held-out", path}, {path}, 1);
        ExpectExit({"plot-curves", path, "-o", png}, {path}, 1);
        ExpectExit({"wofe", path, "--deposits", points, "-o", csv}, {path}, 1);
        ExpectExit({"wofe", grid, "--deposits", path, "-o", csv}, {path}, 1);
        ExpectExit({"wofe", grid, "--deposits", points, "--mask", path, "-o", csv}, {path}, 1);
    }
    EXPECT_FALSE(FileExists(csv));
    EXPECT_FALSE(FileExists(png));
}

// Evaluation files whose keys are missing or hold another kind of value: plot-curves names the
// key and fails with its status (1: not an evaluation it can read; 2: no such curve), never
// reading past what the file holds.
TEST_F(HostCatalogue, PlotCurvesChecksEveryKeyOfAnEvaluation) {
    const auto evaluation = [](const std::string& roc, const std::string& map = "\"m.tif\"") {
        return "{\"command\": \"evaluate\", \"ok\": true, \"results\": {\"map\": " + map +
               ", \"roc\": " + roc + "}}";
    };
    const std::string points = "\"points\": [[0, 0], [1, 1]]";
    const struct {
        std::string json;
        int status;
        const char* cause;
    } cases[] = {
        {evaluation("{\"formed\": true, " + points + "}"), 1, "results.roc.auc is not a number"},
        {evaluation("{\"formed\": true, \"auc\": null, " + points + "}"), 1,
         "results.roc.auc is not a number"},
        {evaluation("{\"formed\": true, \"auc\": \"0.7\", " + points + "}"), 1, "results.roc.auc is not"},
        {evaluation("{\"formed\": true, \"auc\": 0.7, " + points + "}", "5"), 1,
         "results.map is not a file name"},
        {evaluation("{\"formed\": \"yes\", \"auc\": 0.7, " + points + "}"), 1, "results.roc.formed is not"},
        {evaluation("{\"formed\": true, \"auc\": 0.7}"), 1, "results.roc.points is not"},
        {evaluation("{\"formed\": true, \"auc\": 0.7, \"points\": {}}"), 1, "results.roc.points is not"},
        {evaluation("{\"formed\": true, \"auc\": 0.7, \"points\": [[0, \"a\"]]}"), 1, "results.roc.points"},
        {evaluation("{\"formed\": true, \"auc\": 0.7, \"points\": [[0, 0, 1]]}"), 1, "results.roc.points"},
        {evaluation("{\"formed\": true, \"auc\": 0.7, \"points\": [0]}"), 1, "results.roc.points"},
        {evaluation("[]"), 1, "results.roc is not an object"},
        {"{\"command\": \"evaluate\", \"ok\": true, \"results\": {}}", 2, "holds no roc curve"},
        {evaluation("{\"formed\": false, \"auc\": null, \"points\": []}"), 2, "its roc curve was not formed"},
        {"{\"command\": \"evaluate\", \"ok\": \"true\", \"results\": {}}", 1, "not the output"},
        {"{\"command\": 7, \"ok\": true, \"results\": {}}", 1, "not the output"},
        {"{\"command\": \"evaluate\", \"ok\": true, \"results\": [1]}", 1, "not the output"},
        {"[1, 2]", 1, "not the output"},
    };
    const std::string json = dir_ / "evaluation.json";
    const std::string png = dir_ / "curves.png";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        WriteFile(json, c.json);
        const CliResult result = RunCli({"plot-curves", json, "-o", png});
        ASSERT_TRUE(result.exited) << result.output;
        EXPECT_EQ(result.exitCode, 1) << result.output;
        EXPECT_NE(result.output.find("status " + std::to_string(c.status) + ":"), std::string::npos)
            << result.output;
        EXPECT_NE(result.output.find(json + ": " + c.cause), std::string::npos) << result.output;
        EXPECT_FALSE(FileExists(png));
    }
    // A prediction-area curve's crossing and points are checked as strictly.
    const std::string crossing =
        "\"crossing\": {\"threshold\": 0.5, \"prediction_rate\": 0.6, \"area_share\": 0.4}";
    const std::pair<std::string, const char*> areas[] = {
        {"{\"formed\": true, \"crossing\": null, \"points\": [[1, 0, 0]]}",
         "results.prediction_area.crossing.threshold is not a number"},
        {"{\"formed\": true, \"crossing\": {\"threshold\": 0.5, \"prediction_rate\": \"0.6\"}, \"points\": "
         "[[1, 0, 0]]}",
         "results.prediction_area.crossing.prediction_rate is not a number"},
        {"{\"formed\": true, " + crossing + ", \"points\": [[1, 0]]}",
         "results.prediction_area.points is not"},
    };
    for (const auto& [area, cause] : areas) {
        SCOPED_TRACE(area);
        WriteFile(json, "{\"command\": \"evaluate\", \"ok\": true, \"results\": {\"prediction_area\": " +
                            area + "}}");
        const CliResult result = RunCli({"plot-curves", json, "-o", png, "--kind", "prediction-area"});
        EXPECT_EQ(result.exitCode, 1) << result.output;
        EXPECT_NE(result.output.find(json + ": " + cause), std::string::npos) << result.output;
        EXPECT_FALSE(FileExists(png));
    }
}

// A raster in an ENVI file, north-up, one map unit a cell: of scores (dataType 2, 16-bit
// integers of a fixed sequence) or of ones (dataType 1, bytes).
void WriteEnviMap(const std::string& stem, int rows, int cols, int dataType) {
    std::string bytes;
    std::uint32_t state = 1;
    for (long i = 0; i < long(rows) * cols; ++i) {
        state = state * 1664525u + 1013904223u;
        const auto value = static_cast<std::int16_t>(state >> 17);
        if (dataType == 1)
            bytes += '\1';
        else
            bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    WriteFile(stem + ".img", bytes);
    WriteFile(stem + ".hdr", "ENVI\nsamples = " + std::to_string(cols) + "\nlines = " + std::to_string(rows) +
                                 "\nbands = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = " +
                                 std::to_string(dataType) +
                                 "\ninterleave = bsq\nbyte order = 0\nmap info = "
                                 "{Arbitrary, 1, 1, 0, " +
                                 std::to_string(rows) + ", 1, 1}\n");
}

// evaluate holds a map in 8 bytes a cell (and a byte a cell of a mask) beside GDAL's capped
// block cache: at most 16 bytes a cell in all. A raster larger than the memory free is refused
// before it is read, by evaluate and plot alike.
TEST_F(HostCatalogue, EvaluateHoldsAtMostSixteenBytesAMapCell) {
    WriteEnviMap(dir_ / "map", 2000, 2000, 2);
    WriteEnviMap(dir_ / "mask", 2000, 2000, 1);
    WriteEnviMap(dir_ / "tiny", 10, 10, 2);
    std::string csv = "x,y\n";
    for (int i = 0; i < 200; ++i)
        csv += std::to_string(i * 9.7 + 0.5) + "," + std::to_string(i * 3.1 + 0.5) + "\n";
    WriteFile(dir_ / "deposits.csv", csv);
    const CliResult tiny = RunCli({"evaluate", dir_ / "tiny.img", dir_ / "deposits.csv"});
    const CliResult map = RunCli({"evaluate", dir_ / "map.img", dir_ / "deposits.csv", "--mask",
                                  dir_ / "mask.img", "--holdout", "0.3"});
    ASSERT_EQ(map.exitCode, 0) << map.output;
    EXPECT_LE((map.peakKiB - tiny.peakKiB) * 1024, 16L * 2000 * 2000)
        << map.peakKiB << " KiB at most, " << tiny.peakKiB << " KiB for 100 cells";

    WriteFile(dir_ / "huge.vrt",
              "<VRTDataset rasterXSize=\"100000\" rasterYSize=\"100000\"><GeoTransform>0, 1, 0, 0, 0, "
              "-1</GeoTransform><VRTRasterBand dataType=\"Float32\" band=\"1\"/></VRTDataset>\n");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"evaluate", dir_ / "huge.vrt", dir_ / "deposits.csv"},
          std::vector<std::string>{"plot", dir_ / "huge.vrt", "-o", dir_ / "huge.png"}}) {
        const CliResult result = RunCli(arguments);
        EXPECT_EQ(result.exitCode, 1) << result.output;
        EXPECT_NE(
            result.output.find(dir_ / "huge.vrt: its 100000 x 100000 cells need more memory than is free"),
            std::string::npos)
            << result.output;
        EXPECT_LT(result.peakKiB, 256 * 1024) << arguments[0];
    }
}

// Fuzzy overlay, logistic regression and trees, each input in turn unreadable: exit 1, no output.
TEST_F(HostCatalogue, FuzzyLogisticAndTreesRefuseWhatTheyCannotRead) {
    WriteFile(dir_ / "grid.grd", fuzz::kSmallDsaa);
    WriteFile(dir_ / "points.csv", "x,y\n0,0\n");
    const std::string grid = dir_ / "grid.grd";
    const std::string out = dir_ / "out.tif";
    for (const std::string& path : Unreadable()) {
        ExpectExit({"fuzzy", grid, path, "-o", out, "--membership", "as-is", "--membership", "as-is"}, {path},
                   1);
        ExpectExit({"fuzzy", grid, "-o", out, "--membership", "as-is", "--deposits", path}, {path}, 1);
        ExpectExit({"logistic", path, "--deposits", dir_ / "points.csv", "-o", out}, {path}, 1);
        ExpectExit({"logistic", grid, "--deposits", path, "-o", out}, {path}, 1);
        ExpectExit({"trees", path, "--deposits", dir_ / "points.csv", "-o", out}, {path}, 1);
        ExpectExit({"trees", grid, "--deposits", path, "-o", out}, {path}, 1);
    }
    EXPECT_FALSE(FileExists(out));
}

// What reading an endless input may cost at most: it is refused, never read to its end. The
// address sanitizer's shadow memory and quarantine add their own share on top of the host's.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kEndlessPeakKiB = 512 * 1024;
#else
constexpr long kEndlessPeakKiB = 256 * 1024;
#endif

// Inputs that never end or are not files: every command and job refuses each at once, with
// exit 1, whether it is the file named on the command line or one a parameter file names.
TEST_F(HostCatalogue, EndlessInputsAreRefusedPromptly) {
    const std::string fifo = dir_ / "fifo";
    mkfifo(fifo.c_str(), 0644);
    // An endless token and an endless line: 3 GB of NUL bytes (a sparse file, no disk used).
    const std::string zeros = dir_ / "zeros";
    WriteFile(zeros, "");
    ASSERT_EQ(truncate(zeros.c_str(), 3LL << 30), 0);
    WriteFile(dir_ / "grid.grd", fuzz::kSmallDsaa);
    WriteFile(dir_ / "net.txt", fuzz::kOneInputNetwork);
    WriteFile(dir_ / "points.csv", "x,y\n0,0\n");
    const std::string grid = dir_ / "grid.grd";
    const std::string out = dir_ / "out";
    // VRT files over a FIFO and over a remote source (a loopback port nothing listens on).
    const std::string vrt =
        "<VRTDataset rasterXSize=\"2\" rasterYSize=\"1\"><VRTRasterBand dataType=\"Float32\" "
        "band=\"1\"><SimpleSource><SourceFilename>";
    const std::string tail =
        "</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>\n";
    WriteFile(dir_ / "fifo.vrt", vrt + fifo + tail);
    WriteFile(dir_ / "remote.vrt", vrt + "/vsicurl/http://127.0.0.1:9/x.tif" + tail);
    for (const std::string& endless :
         {std::string("/dev/zero"), fifo, zeros, dir_ / "fifo.vrt", dir_ / "remote.vrt"}) {
        WriteFile(dir_ / "hierarchy.txt",
                  "QELFrmDECOMPOSE 1 1 0 0 0\n1 1\nA 1 " + endless + "\n" + out + " " + out + ".txt\n");
        WriteFile(dir_ / "feature.txt",
                  "QelFrmFeater 1\nAu 1 2 " + endless + "\n0 none\n0 " + out + " " + out + ".txt\n");
        const std::vector<std::vector<std::string>> commands = {
            {"normalize", endless, out},
            {"window-stats", endless, out, out + "2", "-w", "1"},
            {"hxf-dump", endless, out},
            {"hxf-pack", out, endless},
            {"info", endless},
            {"bp-train", "-s", endless, "-n", out, "-r", out + "2"},
            {"bp-classify", endless, out, grid},
            {"bp-classify", dir_ / "net.txt", out, endless},
            {"hierarchy", endless},
            {"feature", endless},
            {"hierarchy", dir_ / "hierarchy.txt"},
            {"feature", dir_ / "feature.txt"},
            {"convert", endless, out},
            {"align", endless, grid, "-o", out},
            {"align", grid, endless, "-o", out},
            {"samples", endless, "--deposits", grid, "-o", out},
            {"samples", grid, "--deposits", endless, "-o", out},
            {"model-units", grid, "--deposits", endless, "-o", out},
            {"anomaly-table", endless, "--points", grid, "-o", out},
            {"evaluate", endless, dir_ / "points.csv"},
            {"evaluate", grid, endless},
            {"evaluate", grid, dir_ / "points.csv", "--mask", endless},
            {"plot", endless, "-o", out + ".png"},
            {"plot", grid, "-o", out + ".png", "--deposits", endless},
            {"plot-curves", endless, "-o", out + ".png"},
            {"wofe", endless, "--deposits", dir_ / "points.csv", "-o", out},
            {"wofe", grid, "--deposits", endless, "-o", out},
            {"wofe", grid, "--deposits", dir_ / "points.csv", "--mask", endless, "-o", out},
        };
        for (const std::vector<std::string>& arguments : commands) {
            const CliResult result = RunCli(arguments, {.killAfterMs = 20000});
            EXPECT_TRUE(result.exited && result.exitCode == 1)
                << arguments[0] << " " << endless << " ended with " << result.exitCode << ":\n"
                << result.output;
            EXPECT_LT(result.peakKiB, kEndlessPeakKiB) << arguments[0] << " " << endless;
        }
        // A long regular file is a report to print a block at a time; only a non-file is refused.
        if (endless == fifo || endless == "/dev/zero") {
            EXPECT_EQ(RunCli({"report", endless}, {.killAfterMs = 20000}).exitCode, 1);
        }
    }
    EXPECT_FALSE(FileExists(out));
    EXPECT_FALSE(FileExists(out + ".png"));
}

TEST_F(HostCatalogue, AnUnknownCommandIsNamed) {
    const CliResult result = RunCli({"bogus", "x"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "quarnel: no command 'bogus' (quarnel --help lists them)\n");
}

TEST_F(HostCatalogue, HxfPackRefusesWhatItCannotReadAndWritesNothing) {
    for (const std::string& path : Unreadable()) {
        Case run;
        run.Input(path);
        run.Untouched(dir_ / "out.hxf");
        run.ExpectCli({"hxf-pack", dir_ / "out.hxf", path}, 0, false, "");
    }
}

TEST_F(HostCatalogue, HxfPackNeverOverwritesAGridItPacks) {
    WriteFile(dir_ / "a.grd", fuzz::kSmallDsaa);
    WriteFile(dir_ / "b.grd", fuzz::kSmallDsaa);
    for (const std::string& out : {dir_ / "a.grd", dir_ / "./b.grd"}) {
        Case run;
        run.Input(dir_ / "a.grd");
        run.Input(dir_ / "b.grd");
        run.ExpectCli({"hxf-pack", out, dir_ / "a.grd", dir_ / "b.grd"}, 0, false, "");
    }
    Case run;
    run.Input(dir_ / "a.grd");
    run.Untouched(dir_ / "missing/out.hxf");
    run.ExpectCli({"hxf-pack", dir_ / "missing/out.hxf", dir_ / "a.grd"}, 0, false, "");
}

TEST_F(HostCatalogue, ReportPrintsAnyBytesAndRefusesWhatItCannotRead) {
    ExpectExit({"report", dir_ / "missing"}, {dir_ / "missing"}, 1);
    mkdir((dir_ / "folder").c_str(), 0755);
    ExpectExit({"report", dir_ / "folder"}, {}, 1);
    WriteFile(dir_ / "garbage", Garbage(4096, 15));
    ExpectExit({"report", dir_ / "garbage"}, {dir_ / "garbage"}, 0);
    WriteFile(dir_ / "cut", "\xB5\xD8\xD6");
    ExpectExit({"report", dir_ / "cut"}, {dir_ / "cut"}, 0);
}

TEST_F(HostCatalogue, ShowReportOfARefusedJobShowsNothingOlder) {
    WriteFile(dir_ / "params", Garbage(512, 16));
    for (const char* command : {"hierarchy", "feature"}) {
        const CliResult result = RunCli({command, "--show-report", dir_ / "params"});
        ASSERT_TRUE(result.exited) << result.output;
        EXPECT_EQ(result.exitCode, 1) << result.output;
    }
}

}  // namespace
}  // namespace quarnel::hardening
