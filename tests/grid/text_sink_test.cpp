// TextSink: printf's bytes for the library's layouts, the house rule, buffering and failures.
#include "formats/grid/text_sink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

std::string Printed(auto write) {
    std::string out;
    TextSink sink;
    sink.OpenMemory(&out);
    write(sink);
    EXPECT_TRUE(sink.Close());
    return out;
}

std::string CPrintf(const char* format, auto... args) {
    char text[1024];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

TEST(TextSink, LayoutsOfTheLibraryFilesMatchPrintf) {
    const double values[] = {0.0, 0.5, 1.0, -0.004, 12.345, 99999.0, -123.456, 2.675, 1e6};
    for (double v : values) {
        EXPECT_EQ(Printed([&](TextSink& s) { s.Print("%6.2f  ", v); }), CPrintf("%6.2f  ", v));
        EXPECT_EQ(Printed([&](TextSink& s) { s.Print("%f ", v); }), CPrintf("%f ", v));
        EXPECT_EQ(Printed([&](TextSink& s) { s.Print("%10.2f %10.2f\n", v, -v); }),
                  CPrintf("%10.2f %10.2f\n", v, -v));
        EXPECT_EQ(Printed([&](TextSink& s) { s.Print("%-8.2f|%12.5f|%.0f", v, v, v); }),
                  CPrintf("%-8.2f|%12.5f|%.0f", v, v, v));
    }
    EXPECT_EQ(Printed([](TextSink& s) {
                  s.Print("%s\n%10ld %10ld %10.2f %10.2f\n", "KVSGDA01", 3L, 4L, 1.5, 2.25);
              }),
              CPrintf("%s\n%10ld %10ld %10.2f %10.2f\n", "KVSGDA01", 3L, 4L, 1.5, 2.25));
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("KVSGDA01\n%12ld%12ld", 25L, 7L); }),
              CPrintf("KVSGDA01\n%12ld%12ld", 25L, 7L));
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%20s%15.2f%10ld\n", "17", 3.5, 1L); }),
              CPrintf("%20s%15.2f%10ld\n", "17", 3.5, 1L));
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%d %d\n%-5s|%.2s|%%|%i", 3, -4, "ab", "abc", 5); }),
              CPrintf("%d %d\n%-5s|%.2s|%%|%i", 3, -4, "ab", "abc", 5));
}

TEST(TextSink, NumbersNeverTouch) {
    // A value that fills its field gets a blank after a digit ...
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%8.2f%8.2f\n", 99999.0, 99999.0); }), "99999.00 99999.00\n");
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%8.2f%8.2f", 1.0, -99999.0); }), "    1.00 -99999.00");
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%10ld%10ld", 1234567890L, 1234567890L); }),
              "1234567890 1234567890");
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%s%ld", "A12", 5L); }), "A12 5");
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%d%d", 1, 2); }), "1 2");
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("x.%d", 7); }), "x. 7");
    // ... and the same through Fixed and Int.
    EXPECT_EQ(Printed([](TextSink& s) {
                  s.Fixed(123456.0, 6, 2);
                  s.Int(42, 2);
                  s.Fixed(1.0, -4, 1);
                  s.Fixed(2.0, 4, 1);
              }),
              "123456.00 42 1.0  2.0");
    // A padded value, a blank or a line break before it, and the start of the output need none.
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%6.2f  %6.2f  \n%6.2f", 0.5, 99999.0, 7.0); }),
              "  0.50  99999.00  \n  7.00");
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%d", 99999); }), "99999");
    // After punctuation or GBK text printf's bytes stand, so report lines keep their layout.
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("RI(1-2)=%5.3f", 0.58); }), "RI(1-2)=0.580");
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("    地球化学层%5.1f\n", 100.0); }),
              std::string("    地球化学层") + "100.0\n");
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("\n输入数据的行数为%ld,\t列数为%ld\n", 3L, 4L); }),
              std::string("\n输入数据的行数为") + "3,\t列数为" + "4\n");
    // Text conversions are not numbers: they are written as they are.
    EXPECT_EQ(Printed([](TextSink& s) { s.Print("%d%s", 5, "7"); }), "57");
}

TEST(TextSink, FixedRowsAreFixedValuesEachWithItsSeparator) {
    const double row[] = {0.0, 0.5, -0.004, 99999.0, 1234567.891, -99999.0, 2.675};
    std::string expected;
    for (double v : row) expected += CPrintf("%6.2f  ", v);
    EXPECT_EQ(Printed([&](TextSink& s) { s.FixedRow(row, std::size(row), 6, 2, "  "); }), expected);
    // Without a separator the house rule keeps the wide values apart.
    EXPECT_EQ(Printed([&](TextSink& s) { s.FixedRow(row + 2, 3, 6, 2, ""); }), " -0.00 99999.00 1234567.89");
    EXPECT_EQ(Printed([&](TextSink& s) { s.FixedRow(row, 2, -5, 3, "|\n"); }), "0.000|\n0.500|\n");
    EXPECT_EQ(Printed([&](TextSink& s) { s.FixedRow(row, 0, 6, 2, " "); }), "");
    // A row bigger than the buffer reaches the text whole.
    const std::vector<double> many(30000, 12.5);
    EXPECT_EQ(Printed([&](TextSink& s) { s.FixedRow(many.data(), many.size(), 8, 2, "12345678"); }).size(),
              many.size() * 16);
}

TEST(TextSink, UnsupportedFormatsFailTheSink) {
    const auto fails = [](auto write) {
        std::string out;
        TextSink sink;
        sink.OpenMemory(&out);
        write(sink);
        return sink.failed() && !sink.Close();
    };
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("%x", 5); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("%d", 5.0); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("%f", 5); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("%s", 5); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("%d %d", 5); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("%08.2f", 5.0); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("%.21f", 5.0); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("%65d", 5); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("%.3d", 5); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Print("100%", 5); }));
    const double one = 1.0;
    EXPECT_TRUE(fails([&](TextSink& s) { s.FixedRow(&one, 1, 6, 2, "123456789"); }));
    EXPECT_TRUE(fails([&](TextSink& s) { s.FixedRow(&one, 1, 65, 2, " "); }));
    EXPECT_TRUE(fails([](TextSink& s) { s.Fixed(1.0, 65, 2); }));
    EXPECT_FALSE(fails([](TextSink& s) { s.Print("%64.20f", 5.0); }));
}

// Many times the buffer's size, so written in many flushes, line ends among them.
TEST(TextSink, LargeOutputReachesTheFileWholeWithItsLineEnds) {
    for (const LineEnds ends : {LineEnds::lf, LineEnds::crlf}) {
        const std::string lineEnd = ends == LineEnds::crlf ? "\r\n" : "\n";
        const testkit::TempFolder folder;
        const std::string path = folder / "large.txt";
        std::string expected;
        TextSink sink;
        ASSERT_TRUE(sink.Open(path.c_str(), ends));
        std::mt19937 random(8);
        for (int i = 0; i < 200000; ++i) {
            const double v = double(random() % 2000000) / 1000.0 - 1000.0;
            sink.Print("%6.2f  ", v);
            expected += CPrintf("%6.2f  ", v);
            if (i % 97 == 0) {
                sink.Put('\n');
                expected += lineEnd;
            }
        }
        sink.Put(std::string(200000, 'z'));
        expected += std::string(200000, 'z');
        // A "\r" already before the "\n" stays, as the Windows C runtime's text mode keeps it.
        sink.Put("\r\n\n");
        expected += "\r" + lineEnd + lineEnd;
        EXPECT_TRUE(sink.Close());
        EXPECT_EQ(testkit::ReadFile(path), expected) << "crlf: " << (ends == LineEnds::crlf);
    }
}

TEST(TextSink, OpenFailsForAPathThatCannotBeCreated) {
    TextSink sink;
    const testkit::TempFolder folder;
    EXPECT_FALSE(sink.Open((folder / "no_such_dir/x.txt").c_str()));
    EXPECT_FALSE(sink.IsOpen());
}

TEST(TextSink, CloseReportsAFailedWrite) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TextSink sink;
    ASSERT_TRUE(sink.Open("/dev/full"));
    sink.Print("%6.2f  ", 1.0);
    EXPECT_FALSE(sink.Close());
}

TEST(TextSink, ReopeningStartsAFreshFile) {
    const testkit::TempFolder folder;
    const std::string path = folder / "reopen.txt";
    TextSink sink;
    std::string memory;
    sink.OpenMemory(&memory);
    sink.Print("%d", 1);
    ASSERT_TRUE(sink.Open(path.c_str()));  // closes the memory target first
    sink.Print("%d", 2);
    EXPECT_TRUE(sink.Close());
    EXPECT_EQ(memory, "1");
    EXPECT_EQ(testkit::ReadFile(path), "2");
}

}  // namespace
}  // namespace quarnel
