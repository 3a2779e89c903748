// The sample file, the network file and the training result line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/bp/bp_records.h"
#include "jobs/bp/network_file.h"
#include "jobs/bp/result_line.h"
#include "jobs/bp/sample_file.h"
#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using testkit::ReadFile;
using testkit::TempFolder;
using testkit::WriteFile;

BPSampleSet ReadSamples(const std::string& text, int samples, int inputs, int outputs,
                        SampleFileStatus expected = SampleFileStatus::ok) {
    TempFolder dir;
    std::string path = dir / "samples.txt";
    WriteFile(path, text);
    BPSampleSet set;
    set.Allocate(samples, inputs, outputs);
    EXPECT_EQ(ReadSampleFile(path.c_str(), set), expected);
    return set;
}

TEST(SampleFile, ReadsTheInputsAndTargetsOfEachLine) {
    BPSampleSet set =
        ReadSamples("BP Training Sample File !!!\n0.25 0.75 1 0\n0.80 0.10 0 1\n0.55 0.40 1 1\n", 3, 2, 2);
    EXPECT_EQ(set.inputs, (std::vector<double>{0.25, 0.75, 0.80, 0.10, 0.55, 0.40}));
    EXPECT_EQ(set.targets, (std::vector<int>{1, 0, 0, 1, 1, 1}));
}

TEST(SampleFile, HeaderWithTrailingBlanksOrCarriageReturnIsAccepted) {
    BPSampleSet set = ReadSamples("BP Training Sample File !!!   \r\n2 1\r\n", 1, 1, 1);
    EXPECT_EQ(set.inputs, (std::vector<double>{2}));
    EXPECT_EQ(set.targets, (std::vector<int>{1}));
}

TEST(SampleFile, HeaderWithLeadingBlankOtherCaseOrMissingIsRefused) {
    ReadSamples(" BP Training Sample File !!!\n1 1\n", 1, 1, 1, SampleFileStatus::not_sample_file);
    ReadSamples("BP training sample file !!!\n1 1\n", 1, 1, 1, SampleFileStatus::not_sample_file);
    ReadSamples("", 1, 1, 1, SampleFileStatus::not_sample_file);
    BPSampleSet set;
    set.Allocate(1, 1, 1);
    TempFolder dir;
    EXPECT_EQ(ReadSampleFile((dir / "missing.txt").c_str(), set), SampleFileStatus::cannot_open);
}

TEST(SampleFile, ATabDoesNotSeparateTwoNumbers) {
    BPSampleSet set = ReadSamples("BP Training Sample File !!!\n1.5\t2.5 1\n", 1, 2, 1);
    EXPECT_EQ(set.inputs, (std::vector<double>{1.5, 1}));
    EXPECT_EQ(set.targets, (std::vector<int>{0}));
}

TEST(SampleFile, RunsOfBlanksAroundNumbersDoNotMatter) {
    BPSampleSet set = ReadSamples("BP Training Sample File !!!\n   1.5     2.5    1    \n", 1, 2, 1);
    EXPECT_EQ(set.inputs, (std::vector<double>{1.5, 2.5}));
    EXPECT_EQ(set.targets, (std::vector<int>{1}));
}

TEST(SampleFile, MissingLinesAndTokensReadAsZerosAndExtraLinesAreIgnored) {
    BPSampleSet set = ReadSamples("BP Training Sample File !!!\n1 2 1\n3\n", 4, 2, 1);
    EXPECT_EQ(set.inputs, (std::vector<double>{1, 2, 3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(set.targets, (std::vector<int>{1, 0, 0, 0}));
    BPSampleSet one = ReadSamples("BP Training Sample File !!!\n1 2 1 9 9\n5 5 1\n", 1, 2, 1);
    EXPECT_EQ(one.inputs, (std::vector<double>{1, 2}));
    EXPECT_EQ(one.targets, (std::vector<int>{1}));
}

BPNetwork SmallNetwork() {
    BPNetwork network;
    network.Allocate(2, 3, 1);
    network.trainError = 0.0123;
    network.hiddenThreshold = {0.5, -0.25, 0.125};
    network.outputThreshold = {-1.0};
    network.weightInputHidden = {0.5, 200000.0, 0.25, -99999.999999, 1.0, 2.0};
    network.weightHiddenOutput = {0.1, 0.2, -0.3};
    return network;
}

TEST(NetworkFile, HeaderLineHasTheDesignedLayout) {
    TempFolder dir;
    std::string path = dir / "net.txt";
    BPNetwork network;
    network.Allocate(4, 6, 2);
    network.trainError = 0.0123;
    ASSERT_TRUE(WriteNetworkFile(path.c_str(), network));
    std::string text = ReadFile(path);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              "         4           6           2            0.01230000\n");
}

TEST(NetworkFile, WholeFileAndValuesThatFillTheirFieldGetOneBlank) {
    TempFolder dir;
    std::string path = dir / "net.txt";
    ASSERT_TRUE(WriteNetworkFile(path.c_str(), SmallNetwork()));
    EXPECT_EQ(ReadFile(path),
              "         2           3           1            0.01230000\n"
              "     0.50000    -0.25000     0.12500\n"
              "    -1.00000\n"
              "     0.50000 200000.00000     0.25000\n"
              "-100000.00000     1.00000     2.00000\n"
              "     0.10000\n"
              "     0.20000\n"
              "    -0.30000\n");
}

TEST(NetworkFile, ReadsBackWhatWasWrittenRoundedToFiveDecimals) {
    TempFolder dir;
    std::string path = dir / "net.txt";
    ASSERT_TRUE(WriteNetworkFile(path.c_str(), SmallNetwork()));
    BPNetwork back;
    ASSERT_EQ(ReadNetworkFile(path.c_str(), back), NetworkFileStatus::ok);
    EXPECT_EQ(back.inputCount, 2);
    EXPECT_EQ(back.hiddenCount, 3);
    EXPECT_EQ(back.outputCount, 1);
    EXPECT_EQ(back.trainError, 0.0123);
    EXPECT_EQ(back.hiddenThreshold, (std::vector<double>{0.5, -0.25, 0.125}));
    EXPECT_EQ(back.outputThreshold, (std::vector<double>{-1.0}));
    EXPECT_EQ(back.weightInputHidden, (std::vector<double>{0.5, 200000.0, 0.25, -100000.0, 1.0, 2.0}));
    EXPECT_EQ(back.weightHiddenOutput, (std::vector<double>{0.1, 0.2, -0.3}));
}

TEST(NetworkFile, AShortFileReadsAsZeros) {
    TempFolder dir;
    std::string path = dir / "net.txt";
    WriteFile(path, "1 2 1 0.5\r\n0.25\r\n");
    BPNetwork back;
    ASSERT_EQ(ReadNetworkFile(path.c_str(), back), NetworkFileStatus::ok);
    EXPECT_EQ(back.trainError, 0.5);
    EXPECT_EQ(back.hiddenThreshold, (std::vector<double>{0.25, 0}));
    EXPECT_EQ(back.outputThreshold, (std::vector<double>{0}));
    EXPECT_EQ(back.weightInputHidden, (std::vector<double>{0, 0}));
    EXPECT_EQ(back.weightHiddenOutput, (std::vector<double>{0, 0}));
}

TEST(NetworkFile, CountsBelowOneAndMissingFilesAreReported) {
    TempFolder dir;
    WriteFile(dir / "zero.txt", "1 0 1 0.5\n");
    BPNetwork back;
    EXPECT_EQ(ReadNetworkFile((dir / "zero.txt").c_str(), back), NetworkFileStatus::bad_counts);
    WriteFile(dir / "negative.txt", "-1 1 1 0.5\n");
    EXPECT_EQ(ReadNetworkFile((dir / "negative.txt").c_str(), back), NetworkFileStatus::bad_counts);
    EXPECT_EQ(ReadNetworkFile((dir / "missing.txt").c_str(), back), NetworkFileStatus::cannot_open);
    EXPECT_FALSE(WriteNetworkFile((dir / "no/such/dir/net.txt").c_str(), SmallNetwork()));
}

TEST(ResultLine, MatchesTheDesignedExampleInGbk) {
    const int targets[] = {1, 0};
    const int bits[] = {1, 1};
    EXPECT_EQ(FormatResultLine(3, targets, bits, 2),
              "\xD1\xF9\xB1\xBE\xD0\xF2\xBA\xC5\xCE\xAA      3"
              "\xD5\xE6\xD5\xFD\xB5\xC4\xC0\xE0\xB1\xF0\xBA\xC5\xCE\xAA:  1 0"
              "\xBC\xC6\xCB\xE3\xB5\xC4\xC0\xE0\xB1\xF0\xBA\xC5\xCE\xAA:  1 1\n");
}

TEST(ResultLine, WideTargetsAndIndexesNeverTouchTheirNeighbours) {
    const int targets[] = {1, 23, -4};
    const int bits[] = {0, 1, 0};
    EXPECT_EQ(FormatResultLine(1234567, targets, bits, 3),
              "样本序号为 1234567真正的类别号为:  1 23 -4计算的类别号为:  0 1 0\n");
}

}  // namespace
}  // namespace quarnel
