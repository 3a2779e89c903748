// BP classification: list splitting, input probes, scaling and the whole job on all input kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "formats/afx/string_array.h"
#include "jobs/bp/bp_records.h"
#include "jobs/bp/cell_count.h"
#include "jobs/bp/cell_input_matrix.h"
#include "jobs/bp/network_file.h"
#include "jobs/bp/split_string.h"
#include "jobs/frame/quarnel.h"
#include "formats/grid/dsaa_reader.h"
#include "formats/grid/dsaa_writer.h"
#include "formats/hxf/ihxf.h"
#include "quarnel/bp.h"
#include "tests/bp/bp_test_files.h"

namespace quarnel {
namespace {

using bptest::kCornerGridA;
using bptest::kCornerGridB;
using bptest::kXorGrid;
using bptest::kXorNetwork;
using testkit::KvbFileBytes;
using testkit::ReadFile;
using testkit::TempFolder;
using testkit::WriteFile;

std::vector<std::string> Split(const char* text) {
    CStringArray pieces;
    SplitString(text, '*', &pieces);
    std::vector<std::string> out;
    for (int i = 0; i < pieces.GetSize(); ++i) out.emplace_back(pieces[i].GetString());
    return out;
}

TEST(SplitString, KeepsOnlyPiecesEndedBySeparator) {
    EXPECT_EQ(Split("a.grd*b.grd"), (std::vector<std::string>{"a.grd"}));
    EXPECT_EQ(Split("a.grd*b.grd*"), (std::vector<std::string>{"a.grd", "b.grd"}));
    EXPECT_EQ(Split("0**1*"), (std::vector<std::string>{"0", "", "1"}));
    EXPECT_EQ(Split(""), (std::vector<std::string>{}));
    EXPECT_EQ(Split("no separator"), (std::vector<std::string>{}));
}

TEST(CellCounts, DsaaProbeNeedsTheExactWordAndTakesTheCountsOfLineTwo) {
    TempFolder dir;
    int nx = -7, ny = -7;
    WriteFile(dir / "a.grd", "  DSAA \r\n4 3\n0 1\n");
    EXPECT_EQ(DsaaCellCount((dir / "a.grd").c_str(), &ny, &nx), 12);
    EXPECT_EQ(nx, 4);
    EXPECT_EQ(ny, 3);
    nx = ny = -7;
    WriteFile(dir / "lower.grd", "dsaa\n4 3\n");
    EXPECT_EQ(DsaaCellCount((dir / "lower.grd").c_str(), &ny, &nx), -1);
    WriteFile(dir / "more.grd", "DSAA 4 3\n4 3\n");
    EXPECT_EQ(DsaaCellCount((dir / "more.grd").c_str(), &ny, &nx), -1);
    EXPECT_EQ(DsaaCellCount((dir / "missing.grd").c_str(), &ny, &nx), -1);
    WriteFile(dir / "negative.grd", "DSAA\n-4 -3\n");
    EXPECT_EQ(DsaaCellCount((dir / "negative.grd").c_str(), &ny, &nx), -1);
    WriteFile(dir / "huge.grd", "DSAA\n65536 65536\n");
    EXPECT_EQ(DsaaCellCount((dir / "huge.grd").c_str(), &ny, &nx), -1);
    EXPECT_EQ(nx, -7);
    WriteFile(dir / "tab.grd", "DSAA\n4\t3\n");
    EXPECT_EQ(DsaaCellCount((dir / "tab.grd").c_str(), &ny, &nx), 0);
}

TEST(CellCounts, KvbProbeReadsTheHeaderInAnyLetterCase) {
    TempFolder dir;
    WriteFile(dir / "a.kvb", KvbFileBytes(2, 3, {1, 2, 3, 4, 5, 6}, 0, 1, -9999, "kvsgdb01"));
    int nx = 0, ny = 0;
    EXPECT_EQ(KvbCellCount((dir / "a.kvb").c_str(), &ny, &nx), 6);
    EXPECT_EQ(nx, 3);
    EXPECT_EQ(ny, 2);
    WriteFile(dir / "not.kvb", KvbFileBytes(2, 3, {}, 0, 1, -9999, "KVSGDA01"));
    EXPECT_EQ(KvbCellCount((dir / "not.kvb").c_str()), -1);
    EXPECT_EQ(KvbCellCount((dir / "missing.kvb").c_str()), -1);
}

TEST(RescaleColumns, EachColumnIsScaledByTheRangeOfTheColumnsUpToIt) {
    std::vector<double> matrix = {0, 0, 10, 5, 4, 99999.05};
    RescaleColumns(matrix.data(), 3, 2, InputRange{}, DSAA_BLANK);
    EXPECT_EQ(matrix, (std::vector<double>{0, 0, 1, 0.5, 0.4, 99999.05}));
}

TEST(RescaleColumns, TheRangeStartsFromAGivenBinaryGridRangeAndAnEmptyRangeGivesZero) {
    std::vector<double> matrix = {0, 10};
    RescaleColumns(matrix.data(), 2, 1, InputRange{-10, 10}, DSAA_BLANK);
    EXPECT_EQ(matrix, (std::vector<double>{0.5, 1}));
    std::vector<double> flat = {3, 3, 99999};
    RescaleColumns(flat.data(), 3, 1, InputRange{}, DSAA_BLANK);
    EXPECT_EQ(flat, (std::vector<double>{0, 0, 99999}));
}

TEST(RescaleColumns, CellsHeldInBlocksAreScaledAsTheWholeMatrixIs) {
    // Column 0's range is widened only by the last cell, column 1's by the first: a range kept
    // per block would scale the others differently.
    const std::vector<double> whole = {5, -3, 99999, 7, 2, 1, 4, 99999.02, 6, 0, 3, 2, 1, 4, 20, 11};
    std::vector<double> flat = whole;
    RescaleColumns(flat.data(), 8, 2, InputRange{}, DSAA_BLANK);
    for (std::size_t blockCells : {1, 3, 5, 8}) {
        std::vector<double> cells = whole;
        std::vector<BPCellBlock> blocks;
        for (std::size_t first = 0; first < 8; first += blockCells)
            blocks.push_back({cells.data() + 2 * first, std::min<std::size_t>(blockCells, 8 - first)});
        RescaleColumns(blocks, 2, InputRange{}, DSAA_BLANK);
        EXPECT_EQ(cells, flat) << "blocks of " << blockCells << " cells";
    }
}

TEST(CellInputMatrix, HoldsTheCellsInOrderInZeroedBlocksOfAtMostFourMebibytes) {
    const int inputs = 3;
    const std::size_t blockCells = CellInputMatrix::kBlockBytes / (inputs * sizeof(double));
    const int cells = int(2 * blockCells + 5);
    const CellInputMatrix matrix(cells, inputs);
    ASSERT_EQ(matrix.Blocks().size(), 3u);
    EXPECT_EQ(matrix.BlockCells(), blockCells);
    EXPECT_EQ(matrix.Blocks()[2].cells, 5u);
    EXPECT_EQ(matrix.Cell(blockCells + 1), matrix.Blocks()[1].inputs + inputs);
    EXPECT_EQ(matrix.Cell(std::size_t(cells) - 1), matrix.Blocks()[2].inputs + 4 * inputs);
    for (const BPCellBlock& block : matrix.Blocks()) {
        EXPECT_EQ(std::count(block.inputs, block.inputs + block.cells * inputs, 0.0),
                  std::ptrdiff_t(block.cells * inputs));
    }
    // A cell larger than a block still gets one of its own.
    const CellInputMatrix wide(2, int(CellInputMatrix::kBlockBytes / sizeof(double)) + 1);
    EXPECT_EQ(wide.Blocks().size(), 2u);
}

// A 2-1-2 network whose hidden node is 0.5 whatever its inputs: output 0 takes it with weight 4
// (above one half), output 1 with weight -4 (below).
BPNetwork SplitNetwork() {
    BPNetwork network;
    network.Allocate(2, 1, 2);
    network.weightHiddenOutput = {4.0, -4.0};
    return network;
}

TEST(ClassifyRow, EachCellsBitsGiveItsCodePlusTwoAndABlankFirstInputGivesOne) {
    const BPNetwork network = SplitNetwork();
    BPClassWork work;
    work.Allocate(network);
    const std::vector<double> inputs = {0.0, 1.0, 99999.05, 0.5, 0.3, 99999.0};
    std::vector<int> classes(3, 0);
    ClassifyRow(network, inputs.data(), 3, DSAA_BLANK, classes.data(), work);
    EXPECT_EQ(classes, (std::vector<int>{4, 1, 4}));
    EXPECT_EQ(CountClasses(classes.data(), classes.size()), (std::map<int, std::int64_t>{{1, 1}, {4, 2}}));
}

TEST(ClassifyRow, TheBlankValueIsTheOneGiven) {
    const BPNetwork network = SplitNetwork();
    BPClassWork work;
    work.Allocate(network);
    const std::vector<double> inputs = {-9999.0, 0.0};
    int value = 0;
    ClassifyRow(network, inputs.data(), 1, -9999.0, &value, work);
    EXPECT_EQ(value, 1);
    ClassifyRow(network, inputs.data(), 1, DSAA_BLANK, &value, work);
    EXPECT_EQ(value, 4);
}

// A network file as text: counts, then each line of values.
std::string NetworkText(const char* counts, std::initializer_list<const char*> lines) {
    std::string text = std::string(counts) + "\n";
    for (const char* line : lines) text += std::string(line) + "\n";
    return text;
}

class ClassJob : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return dir_ / name; }
    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
    int Run(const std::string& files, const std::string& kinds) {
        return OnBPClass(Path("net.txt").c_str(), Path("out.grd").c_str(), files.c_str(), kinds.c_str());
    }
    std::string Output() const { return ReadFile(Path("out.grd")); }
    // The corner grids as DSAA, KVSGDB01 and one two-grid HXF file.
    void WriteCornerGridsAllKinds() {
        WriteFile(Path("a.grd"), kCornerGridA);
        WriteFile(Path("b.grd"), kCornerGridB);
        WriteFile(Path("a.kvb"), KvbFileBytes(2, 2, {1, 1, 0, 0}, 0, 1, -9999));
        WriteFile(Path("b.kvb"), KvbFileBytes(2, 2, {0, 1, 0, 1}, 0, 1, -9999));
        const float a[] = {0, 0, 1, 1};
        const float b[] = {0, 1, 0, 1};
        const char* ids[] = {"a", "b"};
        const void* values[] = {a, b};
        ASSERT_EQ(WriteHXFFile(Path("ab.hxf").c_str(), HXF_FLOAT, 2, 2, 2, ids, values), HXF_OK);
    }

    TempFolder dir_;
};

TEST_F(ClassJob, DsaaInputsGiveTheClassGridInTheDesignedLayout) {
    WriteFile(Path("net.txt"), kXorNetwork);
    WriteCornerGridsAllKinds();
    EXPECT_EQ(Run(Path("a.grd") + "*" + Path("b.grd") + "*", "1*1*"), 1);
    EXPECT_EQ(Output(), kXorGrid);
}

TEST_F(ClassJob, BinaryGridsAreReadWithTheirRowsReversed) {
    WriteFile(Path("net.txt"), kXorNetwork);
    WriteCornerGridsAllKinds();
    EXPECT_EQ(Run(Path("a.kvb") + "*" + Path("b.kvb") + "*", "0*0*"), 1);
    EXPECT_EQ(Output(), kXorGrid);
}

TEST_F(ClassJob, TheGridsOfOneHxfFileFillConsecutiveColumns) {
    WriteFile(Path("net.txt"), kXorNetwork);
    WriteCornerGridsAllKinds();
    EXPECT_EQ(Run(Path("ab.hxf") + "*", "2*"), 1);
    EXPECT_EQ(Output(), kXorGrid);
}

TEST_F(ClassJob, HxfGridsOfAnIntegerTypeAreLoadedConverted) {
    WriteFile(Path("net.txt"), kXorNetwork);
    const int a[] = {0, 0, 1, 1};
    const int b[] = {0, 1, 0, 1};
    const char* ids[] = {"a", "b"};
    const void* values[] = {a, b};
    ASSERT_EQ(WriteHXFFile(Path("ab.hxf").c_str(), HXF_INT, 2, 2, 2, ids, values), HXF_OK);
    EXPECT_EQ(Run(Path("ab.hxf") + "*", "2*"), 1);
    EXPECT_EQ(Output(), kXorGrid);
}

TEST_F(ClassJob, KindsMixAndAnUnknownKindTakesNoColumn) {
    WriteFile(Path("net.txt"), kXorNetwork);
    WriteCornerGridsAllKinds();
    EXPECT_EQ(Run(Path("a.kvb") + "*" + Path("x.txt") + "*" + Path("b.grd") + "*", "0*7*1*"), 1);
    EXPECT_EQ(Output(), kXorGrid);
}

TEST_F(ClassJob, TextAfterTheLastStarIsIgnoredAndExtraKindsAreUnused) {
    WriteFile(Path("net.txt"),
              "1 1 1 0\n0\n1\n0\n0\n");  // every cell: y = f(1) > 0.5, bit 1
    WriteCornerGridsAllKinds();
    EXPECT_EQ(Run(Path("a.grd") + "*" + Path("b.grd"), "1*0*"), 1);
    EXPECT_EQ(Output(), "DSAA\n2 2\n1 2\n1 2\n3 3\n3 3 \n3 3 \n");
}

TEST_F(ClassJob, ThreeOutputsAboveAtAndAboveOneHalfGiveCodeFiveWrittenAsSeven) {
    WriteFile(Path("net.txt"), NetworkText("1 1 3 0.5", {"0", "1 0 1", "0", "0 0 0"}));
    WriteFile(Path("a.grd"), "DSAA\n3 1\n0 1\n0 1\n0 1\n3 99999 5\n");
    EXPECT_EQ(Run(Path("a.grd") + "*", "1*"), 1);
    EXPECT_EQ(Output(), "DSAA\n3 1\n1 3\n1 1\n1 7\n7 1 7 \n");
}

TEST_F(ClassJob, ABlankFirstInputWritesOneWhateverTheOtherInputs) {
    WriteFile(Path("net.txt"), NetworkText("2 1 1 0", {"0", "5", "0", "0", "0"}));
    WriteFile(Path("a.grd"), "DSAA\n2 1\n0 1\n0 1\n0 1\n99999.09 1\n");
    WriteFile(Path("b.grd"), "DSAA\n2 1\n0 1\n0 1\n0 1\n3 4\n");
    EXPECT_EQ(Run(Path("a.grd") + "*" + Path("b.grd") + "*", "1*1*"), 1);
    EXPECT_EQ(Output(), "DSAA\n2 1\n1 2\n1 1\n1 3\n1 3 \n");
}

TEST_F(ClassJob, ABlankInALaterColumnIsLeftOutOfTheSumsOnly) {
    // Hidden node: f(10 x1); output: f(10 h - 5). With x1 left out, h = 0.5 and the output is
    // exactly 0.5 (bit 0); were the blank 99999.05 summed, the bit would be 1.
    WriteFile(Path("net.txt"), NetworkText("2 1 1 0", {"0", "-5", "0", "10", "10"}));
    WriteFile(Path("a.grd"), "DSAA\n2 1\n0 1\n0 1\n0 1\n1 2\n");
    WriteFile(Path("b.grd"), "DSAA\n2 1\n0 1\n0 1\n0 1\n99999.05 4\n");
    EXPECT_EQ(Run(Path("a.grd") + "*" + Path("b.grd") + "*", "1*1*"), 1);
    EXPECT_EQ(Output(), "DSAA\n2 1\n1 2\n1 1\n2 3\n2 3 \n");
}

TEST_F(ClassJob, ABinaryGridsOwnBlankValueIsTakenAsData) {
    // The range starts from the header's zMin 0 and zMax 1; -9999 widens it, so 1 scales to
    // about 1 and -9999 to 0: the first cell fires, the second does not.
    WriteFile(Path("net.txt"), NetworkText("1 1 1 0", {"0", "-5", "10", "10"}));
    WriteFile(Path("a.kvb"), KvbFileBytes(1, 2, {1, -9999}, 0, 1, -9999));
    EXPECT_EQ(Run(Path("a.kvb") + "*", "0*"), 1);
    EXPECT_EQ(Output(), "DSAA\n2 1\n1 2\n1 1\n2 3\n3 2 \n");
}

TEST_F(ClassJob, AGridOfSeveralMatrixBlocksIsClassifiedAsOneFlatMatrixWouldBe) {
    // Two inputs of 700 x 400 cells fill two blocks; the largest value of the first input is in
    // the last cell, so every cell's scaling depends on both blocks.
    const int nx = 700, ny = 400, cells = nx * ny;
    ASSERT_GT(std::size_t(cells), CellInputMatrix::kBlockBytes / (2 * sizeof(double)));
    std::string a = "DSAA\n700 400\n0 1\n0 1\n0 1\n", b = a;
    std::vector<double> flat(2 * std::size_t(cells));
    for (int s = 0; s < cells; ++s) {
        const int va = s == cells - 1 ? 5000 : s % 997, vb = s % 13 == 0 ? 99999 : s % 89;
        a += std::to_string(va) + (s % nx == nx - 1 ? "\n" : " ");
        b += std::to_string(vb) + (s % nx == nx - 1 ? "\n" : " ");
        flat[2 * std::size_t(s)] = va;
        flat[2 * std::size_t(s) + 1] = vb;
    }
    WriteFile(Path("a.grd"), a);
    WriteFile(Path("b.grd"), b);
    WriteFile(Path("net.txt"),
              NetworkText("2 2 2 0", {"-1 2", "0.5 -3", "30 -20", "-40 25", "9 -7", "-6 8"}));
    ASSERT_EQ(Run(Path("a.grd") + "*" + Path("b.grd") + "*", "1*1*"), 1);

    BPNetwork network;
    ASSERT_EQ(ReadNetworkFile(Path("net.txt").c_str(), network), NetworkFileStatus::ok);
    BPClassWork work;
    work.Allocate(network);
    std::vector<int> classes(std::size_t(cells), 0);
    RescaleColumns(flat.data(), std::size_t(cells), 2, InputRange{}, DSAA_BLANK);
    ClassifyRow(network, flat.data(), std::size_t(cells), DSAA_BLANK, classes.data(), work);
    EXPECT_GE(CountClasses(classes.data(), classes.size()).size(), 3u);  // blanks and two codes at least
    ASSERT_TRUE(WriteClassDsaa(Path("flat.grd").c_str(), classes.data(), nx, ny));
    EXPECT_TRUE(Output() == ReadFile(Path("flat.grd")));
}

TEST_F(ClassJob, CellCountsThatDifferReturnTwo) {
    WriteFile(Path("net.txt"), kXorNetwork);
    WriteCornerGridsAllKinds();
    WriteFile(Path("d.grd"), "DSAA\n3 1\n0 1\n0 1\n0 1\n1 2 3\n");
    EXPECT_EQ(Run(Path("a.grd") + "*" + Path("d.grd") + "*", "1*1*"), 2);
    EXPECT_EQ(Run(Path("d.grd") + "*" + Path("ab.hxf") + "*", "1*2*"), 2);
    EXPECT_FALSE(Exists(Path("out.grd")));
}

TEST_F(ClassJob, GridCountsThatDoNotMatchTheNetworkReturnTwo) {
    WriteFile(Path("net.txt"), kXorNetwork);
    WriteCornerGridsAllKinds();
    EXPECT_EQ(Run(Path("a.grd") + "*", "1*"), 2);
    EXPECT_EQ(Run(Path("a.grd") + "*" + Path("ab.hxf") + "*", "1*2*"), 2);
    EXPECT_EQ(Run("", ""), 2);
    EXPECT_FALSE(Exists(Path("out.grd")));
}

TEST_F(ClassJob, ADsaaBodyWithAnotherNumberOfValuesThanCellsReturnsTwo) {
    WriteFile(Path("net.txt"), NetworkText("1 1 1 0", {"0", "0", "0", "0"}));
    WriteFile(Path("short.grd"), "DSAA\n4 3\n0 1\n0 1\n0 1\n1 2 3 4\n5 6 7 8\n9 10 11\n");
    WriteFile(Path("long.grd"), "DSAA\n4 3\n0 1\n0 1\n0 1\n1 2 3 4\n5 6 7 8\n9 10 11 12 13\n");
    WriteFile(Path("tabs.grd"), "DSAA\n4 3\n0 1\n0 1\n0 1\n1\t2\t3\t4\n5 6 7 8\n9 10 11 12\n");
    EXPECT_EQ(Run(Path("short.grd") + "*", "1*"), 2);
    EXPECT_EQ(Run(Path("long.grd") + "*", "1*"), 2);
    EXPECT_EQ(Run(Path("tabs.grd") + "*", "1*"), 2);
    EXPECT_FALSE(Exists(Path("out.grd")));
}

TEST_F(ClassJob, InputsThatAreNotOfTheirKindOrCannotBeOpenedReturnTwo) {
    WriteFile(Path("net.txt"), NetworkText("1 1 1 0", {"0", "0", "0", "0"}));
    WriteFile(Path("lower.grd"), "dsaa\n2 1\n0 1\n0 1\n0 1\n1 2\n");
    WriteFile(Path("text.kvb"), "DSAA\n2 1\n0 1\n0 1\n0 1\n1 2\n");
    EXPECT_EQ(Run(Path("lower.grd") + "*", "1*"), 2);
    EXPECT_EQ(Run(Path("missing.grd") + "*", "1*"), 2);
    EXPECT_EQ(Run(Path("text.kvb") + "*", "0*"), 2);
    EXPECT_EQ(Run(Path("missing.kvb") + "*", "0*"), 2);
    EXPECT_EQ(Run(Path("lower.grd") + "*", "2*"), 2);
    EXPECT_FALSE(Exists(Path("out.grd")));
}

TEST_F(ClassJob, FewerKindsThanFilesReturnTwo) {
    WriteFile(Path("net.txt"), kXorNetwork);
    WriteCornerGridsAllKinds();
    EXPECT_EQ(Run(Path("a.grd") + "*" + Path("b.grd") + "*", "1*"), 2);
    EXPECT_FALSE(Exists(Path("out.grd")));
}

TEST_F(ClassJob, AMissingOrUnusableNetworkReturnsTwo) {
    WriteCornerGridsAllKinds();
    EXPECT_EQ(Run(Path("a.grd") + "*", "1*"), 2);
    WriteFile(Path("net.txt"), "1 0 1 0\n");
    EXPECT_EQ(Run(Path("a.grd") + "*", "1*"), 2);
    WriteFile(Path("net.txt"), "1 1 31 0\n");
    EXPECT_EQ(Run(Path("a.grd") + "*", "1*"), 2);
    EXPECT_EQ(OnBPClass(nullptr, Path("out.grd").c_str(), "", ""), 2);
    EXPECT_FALSE(Exists(Path("out.grd")));
}

TEST_F(ClassJob, ABinaryGridWhoseValuesCannotBeReadReturnsZero) {
    WriteFile(Path("net.txt"), NetworkText("1 1 1 0", {"0", "0", "0", "0"}));
    WriteFile(Path("short.kvb"), KvbFileBytes(2, 2, {1, 2, 3}, 0, 1, -9999));
    EXPECT_EQ(Run(Path("short.kvb") + "*", "0*"), 0);
    EXPECT_FALSE(Exists(Path("out.grd")));
}

TEST_F(ClassJob, AnOutputGridThatCannotBeCreatedReturnsZero) {
    WriteFile(Path("net.txt"), kXorNetwork);
    WriteCornerGridsAllKinds();
    const std::string files = Path("a.grd") + "*" + Path("b.grd") + "*";
    EXPECT_EQ(OnBPClass(Path("net.txt").c_str(), Path("no/out.grd").c_str(), files.c_str(), "1*1*"), 0);
    EXPECT_EQ(OnBPClass(Path("net.txt").c_str(), nullptr, files.c_str(), "1*1*"), 0);
}

TEST_F(ClassJob, AnOutputGridNamingAnInputReturnsZeroAndLeavesItAlone) {
    WriteFile(Path("net.txt"), kXorNetwork);
    WriteCornerGridsAllKinds();
    const std::string files = Path("a.grd") + "*" + Path("b.grd") + "*";
    const std::string before = ReadFile(Path("b.grd"));
    EXPECT_EQ(OnBPClass(Path("net.txt").c_str(), Path("b.grd").c_str(), files.c_str(), "1*1*"), 0);
    EXPECT_EQ(OnBPClass(Path("net.txt").c_str(), Path("net.txt").c_str(), files.c_str(), "1*1*"), 0);
    EXPECT_EQ(ReadFile(Path("b.grd")), before);
    EXPECT_EQ(ReadFile(Path("net.txt")), kXorNetwork);
}

#if defined(__GLIBC__)
TEST_F(ClassJob, ANetworkTrainedOnExclusiveOrClassifiesEveryKindAlike) {
    WriteFile(Path("samples.txt"), "BP Training Sample File !!!\n0 0 0\n0 1 1\n1 0 1\n1 1 0\n");
    std::srand(3);
    ASSERT_EQ(OnBPTrain(Path("samples.txt").c_str(), Path("net.txt").c_str(), Path("result.txt").c_str(), 4,
                        2, 2, 1, 2000, 0.2),
              1);
    WriteCornerGridsAllKinds();
    EXPECT_EQ(Run(Path("a.grd") + "*" + Path("b.grd") + "*", "1*1*"), 1);
    EXPECT_EQ(Output(), kXorGrid);
    EXPECT_EQ(Run(Path("a.kvb") + "*" + Path("b.kvb") + "*", "0*0*"), 1);
    EXPECT_EQ(Output(), kXorGrid);
    EXPECT_EQ(Run(Path("ab.hxf") + "*", "2*"), 1);
    EXPECT_EQ(Output(), kXorGrid);
}
#endif

}  // namespace
}  // namespace quarnel
