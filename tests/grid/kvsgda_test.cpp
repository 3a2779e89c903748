// KVSGDA01 reading in lockstep and the two written layouts, byte for byte.
#include "formats/grid/kvsgda.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using testkit::ReadFile;
using testkit::TempFolder;
using testkit::WriteFile;

KvsgdaHeader Header(int rows, int cols) {
    KvsgdaHeader header;
    header.word = "KVSGDA01";
    header.rows = rows;
    header.cols = cols;
    const float reals[6] = {1.5f, 2.25f, 0.0f, 100.0f, -3.0f, 12345678.0f};
    std::copy(std::begin(reals), std::end(reals), header.reals);
    header.blankValue = 99999.0f;
    return header;
}

std::string WriteGrid(const std::string& path, KvsgdaLayout layout, const KvsgdaHeader& header) {
    KvsgdaWriter writer;
    EXPECT_TRUE(writer.Open(path.c_str(), layout));
    writer.WriteHeader(header);
    for (int i = 0; i < header.rows * header.cols; ++i) writer.Put(i + 0.5);
    EXPECT_TRUE(writer.Close());
    return ReadFile(path);
}

std::string Values(int first, int count) {
    std::string text;
    char value[32];
    for (int i = first; i < first + count; ++i) {
        std::snprintf(value, sizeof value, "%8.2f", i + 0.5);
        text += value;
    }
    return text;
}

const char kHeaderReals[] =
    "      1.50       2.25\n      0.00     100.00      -3.00 12345678.00\n  99999.00\n";

TEST(KvsgdaWriter, HierarchyLayoutBreaksRowsAfterEveryTenthValue) {
    TempFolder dir;
    const std::string text = WriteGrid(dir / "h.grd", KvsgdaLayout::hierarchy, Header(2, 25));
    std::string expected = "KVSGDA01\n           2          25" + std::string(kHeaderReals);
    for (int r = 0; r < 2; ++r) {
        expected +=
            Values(25 * r, 10) + "\n" + Values(25 * r + 10, 10) + "\n" + Values(25 * r + 20, 5) + "\n";
    }
    EXPECT_EQ(text, expected);
}

TEST(KvsgdaWriter, HierarchyRowsOfTwentyEndWithAnEmptyLine) {
    TempFolder dir;
    const std::string text = WriteGrid(dir / "h.grd", KvsgdaLayout::hierarchy, Header(2, 20));
    std::string expected = "KVSGDA01\n           2          20" + std::string(kHeaderReals);
    for (int r = 0; r < 2; ++r) expected += Values(20 * r, 10) + "\n" + Values(20 * r + 10, 10) + "\n\n";
    EXPECT_EQ(text, expected);
}

TEST(KvsgdaWriter, CharacteristicLayoutWritesOneLinePerRow) {
    TempFolder dir;
    KvsgdaHeader header = Header(3, 12);
    header.word = "GRIDWORD";
    const std::string text = WriteGrid(dir / "c.grd", KvsgdaLayout::feature, header);
    std::string expected =
        "GRIDWORD\n         3         12       1.50       2.25\n"
        "      0.00     100.00      -3.00 12345678.00\n  99999.00\n";
    for (int r = 0; r < 3; ++r) expected += Values(12 * r, 12) + "\n";
    EXPECT_EQ(text, expected);
}

TEST(KvsgdaWriter, WideValuesStaySeparated) {
    TempFolder dir;
    const std::string path = dir / "wide.grd";
    KvsgdaWriter writer;
    ASSERT_TRUE(writer.Open(path.c_str(), KvsgdaLayout::feature));
    writer.WriteHeader(Header(1, 3));
    writer.Put(99999.0);
    writer.Put(99999.0);
    writer.Put(-99999.0);
    ASSERT_TRUE(writer.Close());
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.substr(text.rfind("  99999.00\n") + 11), "99999.00 99999.00 -99999.00\n");
}

TEST(KvsgdaWriter, CloseFailsWhenTheGridIsIncomplete) {
    TempFolder dir;
    KvsgdaWriter writer;
    ASSERT_TRUE(writer.Open((dir / "part.grd").c_str(), KvsgdaLayout::hierarchy));
    writer.WriteHeader(Header(2, 2));
    writer.Put(1.0);
    EXPECT_FALSE(writer.Close());
    EXPECT_FALSE(writer.Open((dir / "missing/x.grd").c_str(), KvsgdaLayout::hierarchy));
}

TEST(KvsgdaReader, ReadsWhatTheWritersWriteInLockstep) {
    TempFolder dir;
    WriteGrid(dir / "a.grd", KvsgdaLayout::hierarchy, Header(3, 25));
    KvsgdaHeader second = Header(3, 25);
    second.word = "OTHER";
    WriteGrid(dir / "b.grd", KvsgdaLayout::feature, second);
    KvsgdaReader a;
    KvsgdaReader b;
    ASSERT_TRUE(a.Open((dir / "a.grd").c_str()));
    ASSERT_TRUE(b.Open((dir / "b.grd").c_str()));
    KvsgdaHeader header;
    ASSERT_TRUE(a.ReadHeader(&header).ok());
    EXPECT_EQ(header.word, "KVSGDA01");
    ASSERT_TRUE(b.ReadHeader(&header).ok());
    EXPECT_EQ(header.word, "OTHER");
    EXPECT_EQ(header.rows, 3);
    EXPECT_EQ(header.cols, 25);
    EXPECT_EQ(header.reals[1], 2.25f);
    EXPECT_EQ(header.reals[5], 12345678.0f);
    EXPECT_EQ(header.blankValue, 99999.0f);
    for (int i = 0; i < 75; ++i) {
        float va = 0;
        float vb = 0;
        ASSERT_TRUE(a.Next(va).ok()) << i;
        ASSERT_TRUE(b.Next(vb).ok()) << i;
        EXPECT_EQ(va, float(i) + 0.5f);
        EXPECT_EQ(vb, float(i) + 0.5f);
    }
    float extra = 0;
    EXPECT_EQ(a.Next(extra).status, ScanStatus::end_of_input);
}

TEST(KvsgdaReader, HeaderFailures) {
    TempFolder dir;
    const std::string path = dir / "g.grd";
    struct Case {
        std::string text;
        ScanStatus status;
        std::uint64_t position;
    };
    const Case cases[] = {
        {std::string(52, 'W') + " 1 1 0 0 0 0 0 0 9 5", ScanStatus::too_long, 0},
        {std::string(51, 'W') + " 1 1 0 0 0 0 0 0 9 5", ScanStatus::ok, 68},
        {"K 0 1 0 0 0 0 0 0 9 5", ScanStatus::out_of_range, 2},
        {"K 2 -1 0 0 0 0 0 0 9 5", ScanStatus::out_of_range, 2},
        {"K 1000 1000 0 0 0 0 0 0 9 5", ScanStatus::out_of_range, 2},
        {"K 1 1 0 0 0 x 0 0 9 5", ScanStatus::no_match, 12},
        {"K 1 1 0 0", ScanStatus::end_of_input, 9},
        {"", ScanStatus::end_of_input, 0},
    };
    for (const Case& c : cases) {
        WriteFile(path, c.text);
        KvsgdaReader reader;
        ASSERT_TRUE(reader.Open(path.c_str()));
        KvsgdaHeader header;
        const ScanResult result = reader.ReadHeader(&header);
        EXPECT_EQ(result.status, c.status) << c.text << ": " << ScanStatusText(result.status);
        EXPECT_EQ(result.position, c.position) << c.text;
    }
    KvsgdaReader reader;
    EXPECT_FALSE(reader.Open((dir / "none").c_str()));
}

}  // namespace
}  // namespace quarnel
