// CKvbFile and the KVSGDB01 sniffing step.
#include "formats/grid/kvb_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <locale>

#include "formats/grid/grid_kind.h"
#include "formats/grid/matrix.h"
#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using testkit::KvbFileBytes;
using testkit::TempFolder;
using testkit::WriteFile;

KvbGridHeader Untouched() {
    KvbGridHeader header{};
    std::memcpy(header.magic, "UNTOUCHD", 8);
    header.rows = 77;
    return header;
}

TEST(CKvbFile, ReadsHeaderAndStoredRows) {
    TempFolder dir;
    const std::string path = dir / "grid.grd";
    WriteFile(path, KvbFileBytes(2, 3, {1, 2, 3, 4, 5, 6}, -1.5f, 9.25f, 1e30f));
    CKvbFile kvb;
    KvbGridHeader header = Untouched();
    float** grid = kvb.ReadGrid(path.c_str(), &header);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(std::memcmp(header.magic, "KVSGDB01", 8), 0);
    EXPECT_EQ(header.rows, 2);
    EXPECT_EQ(header.cols, 3);
    EXPECT_EQ(header.zMin, -1.5f);
    EXPECT_EQ(header.zMax, 9.25f);
    EXPECT_EQ(header.blankValue, 1e30f);
    EXPECT_EQ(std::memcmp(&kvb.header(), &header, sizeof header), 0);
    EXPECT_EQ(grid[0][0], 1.0f);
    EXPECT_EQ(grid[0][2], 3.0f);
    EXPECT_EQ(grid[1][0], 4.0f);
    EXPECT_EQ(grid[1][2], 6.0f);
    FreeRowMatrix(grid, 2);
}

TEST(CKvbFile, LowercaseMagicIsAccepted) {
    TempFolder dir;
    const std::string path = dir / "lower.grd";
    WriteFile(path, KvbFileBytes(1, 2, {7, 8}, 0, 1, 0, "kvsgdb01"));
    EXPECT_TRUE(IsKvbFile(path.c_str()));
    CKvbFile kvb;
    KvbGridHeader header = Untouched();
    float** grid = kvb.ReadGrid(path.c_str(), &header);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid[0][1], 8.0f);
    FreeRowMatrix(grid, 1);
}

TEST(CKvbFile, OneByOneGridIs2180BytesAndOneValue) {
    TempFolder dir;
    const std::string path = dir / "one.grd";
    const std::string bytes = KvbFileBytes(1, 1, {42.5f});
    ASSERT_EQ(bytes.size(), 2180u);
    WriteFile(path, bytes);
    CKvbFile kvb;
    KvbGridHeader header = Untouched();
    float** grid = kvb.ReadGrid(path.c_str(), &header);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid[0][0], 42.5f);
    FreeRowMatrix(grid, 1);
}

TEST(CKvbFile, ShortFileIsRefused) {
    TempFolder dir;
    const std::string path = dir / "short.grd";
    std::string bytes = KvbFileBytes(2, 2, {1, 2, 3, 4});
    bytes.pop_back();
    WriteFile(path, bytes);
    CKvbFile kvb;
    KvbGridHeader header = Untouched();
    EXPECT_EQ(kvb.ReadGrid(path.c_str(), &header), nullptr);
    // The header itself was whole, so ReadHeader still gives it.
    header = Untouched();
    kvb.ReadHeader(path.c_str(), &header);
    EXPECT_EQ(header.rows, 2);
}

TEST(CKvbFile, HostileCountsAreRefusedBeforeAllocating) {
    TempFolder dir;
    const std::string path = dir / "hostile.grd";
    CKvbFile kvb;
    KvbGridHeader header{};
    // 2^31-1 rows of 2^31-1 columns would be 16 EiB; the file holds one value.
    WriteFile(path, KvbFileBytes(0x7FFFFFFF, 0x7FFFFFFF, {1}));
    EXPECT_EQ(kvb.ReadGrid(path.c_str(), &header), nullptr);
    for (auto [rows, cols] : {std::pair{0, 1}, {1, 0}, {-1, 1}, {1, -4}}) {
        WriteFile(path, KvbFileBytes(rows, cols, {1, 2, 3, 4}));
        EXPECT_EQ(kvb.ReadGrid(path.c_str(), &header), nullptr) << rows << " x " << cols;
    }
}

TEST(CKvbFile, OtherFilesLeaveTheHeaderAsItWas) {
    TempFolder dir;
    const std::string dsaa = dir / "grid.txt";
    WriteFile(dsaa, "DSAA\n1 1\n0 1\n0 1\n0 1\n5\n" + std::string(3000, ' '));
    const std::string cutHeader = dir / "cut.grd";
    WriteFile(cutHeader, KvbFileBytes(1, 1, {1}).substr(0, 2175));
    for (const std::string& path : {dsaa, cutHeader, dir / "missing.grd"}) {
        CKvbFile kvb;
        KvbGridHeader header = Untouched();
        kvb.ReadHeader(path.c_str(), &header);
        EXPECT_EQ(std::memcmp(header.magic, "UNTOUCHD", 8), 0) << path;
        EXPECT_EQ(header.rows, 77) << path;
        EXPECT_EQ(kvb.ReadGrid(path.c_str(), &header), nullptr) << path;
        EXPECT_EQ(header.rows, 77) << path;
    }
}

TEST(CKvbFile, LeavesTheHostsLocaleAlone) {
    TempFolder dir;
    const std::string path = dir / "grid.grd";
    WriteFile(path, KvbFileBytes(1, 1, {1}));
    const std::string before = std::locale().name();
    const std::string cBefore = std::setlocale(LC_ALL, nullptr);
    CKvbFile kvb;
    KvbGridHeader header{};
    kvb.ReadHeader(path.c_str(), &header);
    float** grid = kvb.ReadGrid(path.c_str(), &header);
    ASSERT_NE(grid, nullptr);
    FreeRowMatrix(grid, 1);
    EXPECT_EQ(std::locale().name(), before);
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), cBefore);
}

TEST(DetectGridKind, TellsBinaryFromTextAndMissing) {
    TempFolder dir;
    WriteFile(dir / "a.grd", KvbFileBytes(1, 1, {1}, 0, 1, 0, "KvSgDb01"));
    WriteFile(dir / "b.txt", "DSAA\n");
    WriteFile(dir / "c.grd", "KVSGDB0");  // seven bytes: too short to be binary
    WriteFile(dir / "d.grd", "KVSGDB02");
    EXPECT_EQ(DetectGridKind((dir / "a.grd").c_str()), GridFileKind::kvsgdb01);
    EXPECT_EQ(DetectGridKind((dir / "b.txt").c_str()), GridFileKind::text);
    EXPECT_EQ(DetectGridKind((dir / "c.grd").c_str()), GridFileKind::text);
    EXPECT_EQ(DetectGridKind((dir / "d.grd").c_str()), GridFileKind::text);
    EXPECT_EQ(DetectGridKind((dir / "none").c_str()), GridFileKind::unreadable);
    EXPECT_FALSE(IsKvbFile((dir / "none").c_str()));
}

}  // namespace
}  // namespace quarnel
