// One test per fault the fuzz targets found, each with the input that showed it (also kept in
// the target's corpus under fuzz/corpus/).
#include <gtest/gtest.h>

#include <cmath>
#include <string_view>
#include <vector>

#include "jobs/bp/bp_status.h"
#include "jobs/bp/network_file.h"
#include "jobs/frame/quarnel.h"
#include "fuzz/job_inputs.h"
#include "formats/grid/c_number.h"
#include "tests/hardening/catalogue.h"

namespace quarnel {
namespace {

// A sign that starts no number gave a negative zero, which prints as "-0.00000" where the C
// library's atof gives 0.
TEST(Findings, AtofTextSignWithoutNumberIsPlainZero) {
    for (std::string_view text : {"-!999999", "-", "- 1", "-x", "+.", "-e5"}) {
        const double value = AtofText(text);
        EXPECT_EQ(value, 0.0) << text;
        EXPECT_FALSE(std::signbit(value)) << text;
    }
    EXPECT_TRUE(std::signbit(AtofText("-0")));
    EXPECT_TRUE(std::signbit(AtofText("-0x")));
    EXPECT_TRUE(std::signbit(AtofText("-0x.")));
    EXPECT_TRUE(std::signbit(AtofText("-1e-400")));
}

// Nineteen bytes asked for 80 GB of zero weights: counts promising more values than the file
// has bytes are refused before anything is sized by them.
TEST(Findings, NetworkCountsBeyondTheFileAreRefused) {
    hardening::TempFolder folder;
    BPNetwork network;
    hardening::WriteFile(folder / "huge", "100000 100000 10 0\n");
    EXPECT_EQ(ReadNetworkFile((folder / "huge").c_str(), network), NetworkFileStatus::bad_counts);
    hardening::WriteFile(folder / "wide", "1 2147483647 1 0\n");
    EXPECT_EQ(ReadNetworkFile((folder / "wide").c_str(), network), NetworkFileStatus::bad_counts);
    // A file that merely ends early still reads, its missing values as zeros.
    hardening::WriteFile(folder / "short", "1 2 1 0.5\n 0.25 -0.5\n");
    ASSERT_EQ(ReadNetworkFile((folder / "short").c_str(), network), NetworkFileStatus::ok);
    EXPECT_EQ(network.hiddenThreshold, (std::vector<double>{0.25, -0.5}));
    EXPECT_EQ(network.weightHiddenOutput, (std::vector<double>{0.0, 0.0}));
}

// A 2190-byte binary grid whose header promised 520 million cells made classification reserve
// and zero 4 GB before its values turned out unreadable; a 20-byte DSAA grid could ask for 17 GB.
// Both are refused before the cell-by-input matrix is sized.
TEST(Findings, ClassificationChecksInputsAgainstTheirFilesBeforeSizingTheMatrix) {
    hardening::TempFolder folder;
    hardening::WriteFile(folder / "net", fuzz::kOneInputNetwork);
    std::string kvb = hardening::KvbFileBytes(1, 0x1f000003, {1, 2, 3});
    hardening::WriteFile(folder / "wide.kvb", kvb);
    EXPECT_EQ(
        OnBPClass((folder / "net").c_str(), (folder / "out").c_str(), (folder / "wide.kvb*").c_str(), "0*"),
        kBPClassFailed);
    hardening::WriteFile(folder / "wide.grd", "DSAA\n46340 46340\n0 1\n0 1\n0 1\n1 2\n");
    EXPECT_EQ(
        OnBPClass((folder / "net").c_str(), (folder / "out").c_str(), (folder / "wide.grd*").c_str(), "1*"),
        kBPClassMisfit);
    EXPECT_FALSE(hardening::FileExists(folder / "out"));
}

}  // namespace
}  // namespace quarnel
