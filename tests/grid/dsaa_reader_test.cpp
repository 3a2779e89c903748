// ReadDsaaGrid and LoadWorkingGrid: values, every status and the position it names.
#include "formats/grid/dsaa_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "formats/grid/working_grid.h"
#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using testkit::KvbFileBytes;
using testkit::TempFolder;
using testkit::WriteFile;

GridReadResult Read(const TempFolder& dir, const std::string& text, DsaaGrid* grid) {
    const std::string path = dir / "grid.grd";
    WriteFile(path, text);
    return ReadDsaaGrid(path.c_str(), grid);
}

TEST(ReadDsaaGrid, ReadsHeaderAndRowsAsFloat32) {
    TempFolder dir;
    DsaaGrid grid;
    const GridReadResult result =
        Read(dir, "DSAA\n3 2\n0 2\n0 1\n10 99999\n10 20 30\n0.1 99999 -2.5e1\n", &grid);
    ASSERT_EQ(result.status, GridReadStatus::ok);
    EXPECT_EQ(grid.nx, 3);
    EXPECT_EQ(grid.ny, 2);
    EXPECT_EQ(grid.ranges[4], 10.0f);
    EXPECT_EQ(grid.ranges[5], 99999.0f);
    EXPECT_EQ(grid.values[0][2], 30.0);
    EXPECT_EQ(grid.values[1][0], double(0.1f));  // read as float32, then widened
    EXPECT_EQ(grid.values[1][1], DSAA_BLANK);
    EXPECT_EQ(grid.values[1][2], -25.0);
}

TEST(ReadDsaaGrid, LowercaseWordAndCrlfAreAccepted) {
    TempFolder dir;
    DsaaGrid grid;
    ASSERT_TRUE(Read(dir, "dsaa\r\n1 1\r\n0 1\r\n0 1\r\n0 1\r\n7.5\r\n", &grid).ok());
    EXPECT_EQ(grid.values[0][0], 7.5);
    ASSERT_TRUE(Read(dir, "  DsAa 2 1 0 1 0 1 0 1 1 2", &grid).ok());
    EXPECT_EQ(grid.values[0][1], 2.0);
}

TEST(ReadDsaaGrid, ReadOnlyInputIsRead) {
    TempFolder dir;
    const std::string path = dir / "readonly.grd";
    WriteFile(path, "DSAA 1 1 0 1 0 1 0 1 3\n");
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    DsaaGrid grid;
    EXPECT_TRUE(ReadDsaaGrid(path.c_str(), &grid).ok());
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

struct Failure {
    const char* text;
    GridReadStatus status;
    std::uint64_t position;
};

TEST(ReadDsaaGrid, FailuresNameTheirCauseAndPlace) {
    const Failure failures[] = {
        {"", GridReadStatus::not_dsaa, 0},
        {"DSAB 1 1 0 1 0 1 0 1 5", GridReadStatus::not_dsaa, 0},
        {"DSAAX 1 1 0 1 0 1 0 1 5", GridReadStatus::not_dsaa, 0},
        {"DSAA 1 x 0 1 0 1 0 1 5", GridReadStatus::malformed, 7},
        {"DSAA 1 1 0 1 0 1 0 y 5", GridReadStatus::malformed, 19},
        {"DSAA 2 2 0 1 0 1 0 1 5 6 7 oops", GridReadStatus::malformed, 27},
        {"DSAA 2 2 0 1 0 1 0 1 5 6 7", GridReadStatus::too_short, 26},
        {"DSAA 2 2 0 1 0 1", GridReadStatus::too_short, 16},
        {"DSAA 0 2 0 1 0 1 0 1 5 6", GridReadStatus::bad_size, 5},
        {"DSAA 2 -1 0 1 0 1 0 1 5 6", GridReadStatus::bad_size, 5},
        {"DSAA 99999999999 1 0 1 0 1 0 1 5", GridReadStatus::bad_size, 5},
        // 100000 x 100000 values cannot be in a file of 40 bytes: refused before allocating.
        {"DSAA 100000 100000 0 1 0 1 0 1 5 6 7 8", GridReadStatus::bad_size, 5},
    };
    TempFolder dir;
    for (const Failure& failure : failures) {
        DsaaGrid grid;
        const GridReadResult result = Read(dir, failure.text, &grid);
        EXPECT_EQ(result.status, failure.status) << failure.text << ": " << GridReadStatusText(result.status);
        EXPECT_EQ(result.position, failure.position) << failure.text;
        EXPECT_FALSE(grid.values) << failure.text;
    }
    DsaaGrid grid;
    EXPECT_EQ(ReadDsaaGrid((dir / "missing.grd").c_str(), &grid).status, GridReadStatus::not_found);
}

TEST(LoadWorkingGrid, BinaryAndTextGridsOfTheSameDataGiveTheSameMatrix) {
    TempFolder dir;
    const std::string dsaa = dir / "grid.txt";
    const std::string kvb = dir / "grid.grd";
    WriteFile(dsaa, "DSAA\n3 2\n0 2\n0 1\n1 6\n1.25 2 3\n4 5 6.5\n");
    // Stored rows are in the opposite order.
    WriteFile(kvb, KvbFileBytes(2, 3, {4, 5, 6.5f, 1.25f, 2, 3}, 1, 6, -9999));
    WorkingGrid fromText;
    WorkingGrid fromBinary;
    ASSERT_TRUE(LoadWorkingGrid(dsaa.c_str(), &fromText).ok());
    ASSERT_TRUE(LoadWorkingGrid(kvb.c_str(), &fromBinary).ok());
    EXPECT_EQ(fromText.kind, GridFileKind::text);
    EXPECT_EQ(fromBinary.kind, GridFileKind::kvsgdb01);
    ASSERT_EQ(fromBinary.rows, 2);
    ASSERT_EQ(fromBinary.cols, 3);
    ASSERT_EQ(fromText.rows, 2);
    ASSERT_EQ(fromText.cols, 3);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(fromText.values[r][c], fromBinary.values[r][c]) << r << "," << c;
    }
    EXPECT_EQ(fromText.blank, DSAA_BLANK);
    EXPECT_EQ(fromBinary.blank, -9999.0);
    EXPECT_EQ(fromBinary.zMin, 1.0f);
    EXPECT_EQ(fromBinary.zMax, 6.0f);
}

TEST(LoadWorkingGrid, BinaryFailuresAreTold) {
    TempFolder dir;
    const std::string path = dir / "bad.grd";
    WorkingGrid grid;
    WriteFile(path, KvbFileBytes(2, 2, {1, 2, 3}));
    EXPECT_EQ(LoadWorkingGrid(path.c_str(), &grid).status, GridReadStatus::too_short);
    WriteFile(path, KvbFileBytes(0, 2, {1, 2, 3}));
    EXPECT_EQ(LoadWorkingGrid(path.c_str(), &grid).status, GridReadStatus::bad_size);
    WriteFile(path, KvbFileBytes(1, 1, {1}).substr(0, 100));
    EXPECT_EQ(LoadWorkingGrid(path.c_str(), &grid).status, GridReadStatus::malformed);
    EXPECT_EQ(LoadWorkingGrid((dir / "none").c_str(), &grid).status, GridReadStatus::not_found);
    WriteFile(path, "dsaa 1 1 0 1 0 1 0 1");
    EXPECT_EQ(LoadWorkingGrid(path.c_str(), &grid).status, GridReadStatus::too_short);
    EXPECT_FALSE(grid.values);
}

}  // namespace
}  // namespace quarnel
