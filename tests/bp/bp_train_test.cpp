// BP training: the activation, the initial weights, the worked examples and the whole job.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "jobs/bp/bp_records.h"
#include "jobs/bp/bp_train_job.h"
#include "jobs/bp/initial_weights.h"
#include "jobs/bp/network_file.h"
#include "jobs/frame/quarnel.h"
#include "quarnel/bp.h"
#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using testkit::ReadFile;
using testkit::TempFolder;
using testkit::WriteFile;

constexpr const char* kHeader = "BP Training Sample File !!!\n";

TEST(BPSigmoid, UsesBase271) {
    EXPECT_EQ(BPSigmoid(0.0), 0.5);
    EXPECT_EQ(BPSigmoid(1.0), 1.0 / (1.0 / 2.71 + 1.0));
    EXPECT_NEAR(BPSigmoid(1.0), 2.71 / 3.71, 1e-15);
    EXPECT_NEAR(BPSigmoid(1.0), 0.73046, 5e-6);
}

TEST(BPSigmoid, SaturatesWithoutNan) {
    EXPECT_EQ(BPSigmoid(-1e6), 0.0);
    EXPECT_EQ(BPSigmoid(1e6), 1.0);
}

TEST(InitialWeights, MatrixRowsAreMappedByTheRangeOfTheRowsSoFar) {
    std::vector<double> rows = {10, 20, 12, 18};
    ScaleWeightRows(rows.data(), 2, 2);
    EXPECT_EQ(rows[0], -0.5);
    EXPECT_EQ(rows[1], 0.5);
    EXPECT_DOUBLE_EQ(rows[2], -0.3);
    EXPECT_DOUBLE_EQ(rows[3], 0.3);
}

TEST(InitialWeights, ThresholdVectorsAreMappedByTheirWholeRange) {
    std::vector<double> values = {30, 10, 20};
    ScaleThresholdGroup(values.data(), values.size());
    EXPECT_EQ(values, (std::vector<double>{0.5, -0.5, 0.0}));
}

TEST(InitialWeights, AGroupOfEqualValuesMapsToZero) {
    std::vector<double> one = {41};
    ScaleThresholdGroup(one.data(), 1);
    EXPECT_EQ(one, (std::vector<double>{0.0}));
    std::vector<double> rows = {7, 7, 3};
    ScaleWeightRows(rows.data(), 3, 1);
    EXPECT_EQ(rows, (std::vector<double>{0.0, 0.0, -0.5}));
}

TEST(InitialWeights, EveryValueLiesInRangeAndEachGroupReachesBothEnds) {
    std::srand(11);
    BPNetwork network;
    network.Allocate(3, 4, 2);
    DrawInitialWeights(network);
    for (const std::vector<double>* group : {&network.hiddenThreshold, &network.outputThreshold,
                                             &network.weightInputHidden, &network.weightHiddenOutput}) {
        auto [low, high] = std::minmax_element(group->begin(), group->end());
        EXPECT_GE(*low, -0.5);
        EXPECT_LE(*high, 0.5);
    }
    auto reachesBothEnds = [](const double* first, int count) {
        auto [low, high] = std::minmax_element(first, first + count);
        return *low == -0.5 && *high == 0.5;
    };
    EXPECT_TRUE(reachesBothEnds(network.hiddenThreshold.data(), 4));
    EXPECT_TRUE(reachesBothEnds(network.outputThreshold.data(), 2));
    EXPECT_TRUE(reachesBothEnds(network.weightInputHidden.data(), 4));
    EXPECT_TRUE(reachesBothEnds(network.weightHiddenOutput.data(), 2));
}

// One input, one hidden node, one output, everything 0; one sample with input 1 and target t.
struct TinyRun {
    BPNetwork network;
    BPTrainOutcome outcome;
};

TinyRun TrainTiny(int target, int maxIterations) {
    TinyRun run;
    run.network.Allocate(1, 1, 1);
    BPSampleSet samples;
    samples.Allocate(1, 1, 1);
    samples.inputs = {1.0};
    samples.targets = {target};
    BPTrainWork work;
    work.Allocate(run.network);
    run.outcome = TrainBPNetwork(run.network, samples, maxIterations, -1.0, work);
    return run;
}

TEST(Training, WorkedExampleUpdatesOutputSideOnly) {
    TinyRun run = TrainTiny(1, 1);
    EXPECT_EQ(run.outcome.epochs, 1);
    EXPECT_FALSE(run.outcome.converged);
    EXPECT_EQ(run.network.trainError, 0.125);
    EXPECT_EQ(run.network.weightHiddenOutput[0], 0.03125);
    EXPECT_EQ(run.network.outputThreshold[0], 0.0625);
    EXPECT_EQ(run.network.weightInputHidden[0], 0.0);
    EXPECT_EQ(run.network.hiddenThreshold[0], 0.0);
}

TEST(Training, ANegativeErrorLimitRunsExactlyMaxIterationsEpochs) {
    EXPECT_EQ(TrainTiny(1, 7).outcome.epochs, 7);
}

TEST(Training, NoEpochRunsWithoutIterationsAndTheErrorIsTheUntrainedOne) {
    TinyRun run = TrainTiny(1, 0);
    EXPECT_EQ(run.outcome.epochs, 0);
    EXPECT_EQ(run.network.trainError, 0.125);
    EXPECT_EQ(run.network.weightHiddenOutput[0], 0.0);
    EXPECT_EQ(TrainTiny(1, -5).network.trainError, 0.125);
}

// Three samples of input 1, targets 1, 1 and 0, on the all-zero 1-1-1 network: the two ones pull
// the output above one half, so every sample computes bit 1 and two of three match their target.
TEST(TrainingSummary, CountsEpochsAndTheSamplesWhoseComputedBitsMatch) {
    BPNetwork initial;
    initial.Allocate(1, 1, 1);
    BPSampleSet samples;
    samples.Allocate(3, 1, 1);
    samples.inputs = {1.0, 1.0, 1.0};
    samples.targets = {1, 1, 0};
    std::vector<ProgressStep> steps;
    const BPTraining training = TrainNetwork(initial, samples, 3, -1.0, [&](const ProgressStep& step) {
        steps.push_back(step);
        return true;
    });
    EXPECT_EQ(training.summary.epochs, 3);
    EXPECT_FALSE(training.summary.converged);
    EXPECT_EQ(training.summary.finalError, training.network.trainError);
    EXPECT_EQ(training.summary.computedBits, (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(training.summary.samplesMatched, 2);
    EXPECT_EQ(training.summary.trainingAccuracy, 2.0 / 3.0);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[2].what, "epoch");
    EXPECT_EQ(steps[2].done, 3);
    EXPECT_EQ(steps[2].total, 3);
    EXPECT_EQ(steps[2].value, training.summary.finalError);
}

TEST(TrainingSummary, AProgressThatSaysStopEndsTheTrainingWithStopped) {
    BPNetwork initial;
    initial.Allocate(1, 1, 1);
    BPSampleSet samples;
    samples.Allocate(1, 1, 1);
    int epochs = 0;
    EXPECT_THROW(TrainNetwork(initial, samples, 100, -1.0,
                              [&](const ProgressStep& step) { return (epochs = int(step.done)) < 2; }),
                 Stopped);
    EXPECT_EQ(epochs, 2);
}

TEST(TrainingSummary, TheSameNetworkAsTrainingInPlaceAndNoAccuracyWithoutSamples) {
    const BPTraining training = TrainNetwork(TrainTiny(1, 0).network, BPSampleSet{}, 5, -1.0);
    EXPECT_EQ(training.summary.epochs, 5);
    EXPECT_TRUE(training.summary.computedBits.empty());
    EXPECT_EQ(training.summary.trainingAccuracy, 0.0);
    BPNetwork initial;
    initial.Allocate(1, 1, 1);
    BPSampleSet one;
    one.Allocate(1, 1, 1);
    one.inputs = {1.0};
    one.targets = {1};
    const BPTraining trained = TrainNetwork(initial, one, 1, -1.0);
    const TinyRun run = TrainTiny(1, 1);
    EXPECT_EQ(trained.network.weightHiddenOutput, run.network.weightHiddenOutput);
    EXPECT_EQ(trained.network.outputThreshold, run.network.outputThreshold);
    EXPECT_EQ(trained.summary.trainingAccuracy, 1.0);
}

TEST(Training, TargetsOtherThanZeroAndOneAreUsedWhole) {
    TinyRun run = TrainTiny(257, 1);
    EXPECT_EQ(run.network.trainError, 32896.125);
    EXPECT_EQ(run.network.weightHiddenOutput[0], 16.03125);
    EXPECT_EQ(run.network.outputThreshold[0], 32.0625);
}

// The whole job, with its files.
class TrainJob : public ::testing::Test {
  protected:
    void SetUp() override {
        network_ = Path("net.txt");
        result_ = Path("result.txt");
    }
    std::string Path(const char* name) const { return dir_ / name; }
    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
    BPTrainReport Run(int samples, int inputs, int hidden, int outputs, int maxIterations, double limit,
                      std::optional<unsigned> seed = std::nullopt, const Progress& progress = {}) {
        const std::string sampleFile = Path("samples.txt");
        BPTrainRequest request{sampleFile.c_str(),
                               network_.c_str(),
                               result_.c_str(),
                               samples,
                               inputs,
                               hidden,
                               outputs,
                               maxIterations,
                               limit,
                               seed};
        return RunBPTrain(request, progress);
    }

    TempFolder dir_;
    std::string network_;
    std::string result_;
};

TEST_F(TrainJob, OneEpochOfTheWorkedExampleWritesBothFiles) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "1 1\n");
    EXPECT_EQ(OnBPTrain(Path("samples.txt").c_str(), network_.c_str(), result_.c_str(), 1, 1, 1, 1, 1, -1.0),
              1);
    EXPECT_EQ(ReadFile(network_),
              "         1           1           1            0.12500000\n"
              "     0.00000\n"
              "     0.06250\n"
              "     0.00000\n"
              "     0.03125\n");
    EXPECT_EQ(ReadFile(result_), "样本序号为      0真正的类别号为:  1计算的类别号为:  1\n");
}

TEST_F(TrainJob, WithoutIterationsTheUntrainedErrorIsWrittenAndAnOutputOfOneHalfGivesBitZero) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "1 1\n");
    BPTrainReport report = Run(1, 1, 1, 1, 0, 1.0);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.summary.epochs, 0);
    EXPECT_EQ(ReadFile(network_),
              "         1           1           1            0.12500000\n"
              "     0.00000\n     0.00000\n     0.00000\n     0.00000\n");
    EXPECT_EQ(ReadFile(result_), "样本序号为      0真正的类别号为:  1计算的类别号为:  0\n");
}

TEST_F(TrainJob, WideTargetsAndThresholdsAreWrittenWhole) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "1 257\n");
    EXPECT_EQ(Run(1, 1, 1, 1, 1, -1.0).status, 1);
    EXPECT_EQ(ReadFile(network_),
              "         1           1           1        32896.12500000\n"
              "     0.00000\n    32.06250\n     0.00000\n    16.03125\n");
    EXPECT_EQ(ReadFile(result_), "样本序号为      0真正的类别号为: 257计算的类别号为:  1\n");
}

TEST_F(TrainJob, NoSamplesConvergeAfterOneEpochWithTheScaledRandomNetwork) {
    WriteFile(Path("samples.txt"), kHeader);
    BPTrainReport report = Run(0, 1, 1, 1, 50, 0.0);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.summary.epochs, 1);
    EXPECT_TRUE(report.summary.converged);
    EXPECT_EQ(ReadFile(network_),
              "         1           1           1            0.00000000\n"
              "     0.00000\n     0.00000\n     0.00000\n     0.00000\n");
    EXPECT_EQ(ReadFile(result_), "");
}

#if defined(__GLIBC__)
// Expected files computed independently from glibc's rand() sequence for the seed.
TEST_F(TrainJob, FiveEpochsOfATwoThreeTwoNetworkFromSeedSeven) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "0.25 0.75 1 0\n0.80 0.10 0 1\n0.55 0.40 1 1\n");
    std::srand(7);
    BPTrainReport report = Run(3, 2, 3, 2, 5, -1.0);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.summary.epochs, 5);
    EXPECT_EQ(ReadFile(network_),
              "         2           3           2            0.70734815\n"
              "    -0.48102     0.53885    -0.25593\n"
              "     0.59887    -0.22498\n"
              "     0.05142     0.52855    -0.51687\n"
              "     0.05109    -0.46856    -0.00172\n"
              "    -0.45715     0.60329\n"
              "     0.43295     0.71898\n"
              "    -0.35010    -0.25961\n");
    EXPECT_EQ(ReadFile(result_),
              "样本序号为      0真正的类别号为:  1 0计算的类别号为:  1 1\n"
              "样本序号为      1真正的类别号为:  0 1计算的类别号为:  1 1\n"
              "样本序号为      2真正的类别号为:  1 1计算的类别号为:  1 1\n");
}

TEST_F(TrainJob, ExclusiveOrConvergesAfterTheExpectedEpochCount) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "0 0 0\n0 1 1\n1 0 1\n1 1 0\n");
    std::srand(3);
    BPTrainReport report = Run(4, 2, 2, 1, 2000, 0.2);
    EXPECT_EQ(report.status, 1);
    EXPECT_EQ(report.summary.epochs, 728);
    EXPECT_TRUE(report.summary.converged);
    EXPECT_EQ(ReadFile(network_),
              "         2           2           1            0.19909417\n"
              "    -0.99780    -2.71631\n"
              "    -1.65567\n"
              "     2.05621    -4.14105\n"
              "    -2.62457     3.83972\n"
              "     2.91211\n"
              "     3.97266\n");
    EXPECT_EQ(ReadFile(result_),
              "样本序号为      0真正的类别号为:  0计算的类别号为:  0\n"
              "样本序号为      1真正的类别号为:  1计算的类别号为:  1\n"
              "样本序号为      2真正的类别号为:  1计算的类别号为:  1\n"
              "样本序号为      3真正的类别号为:  0计算的类别号为:  0\n");
}
#endif

TEST_F(TrainJob, TheSameGeneratorStateGivesByteIdenticalFiles) {
    network_ = Path("net1.txt");
    result_ = Path("result1.txt");
    WriteFile(Path("samples.txt"), std::string(kHeader) + "0.1 0.9 0.3 1 0\n0.7 0.2 0.5 0 1\n");
    std::srand(2024);
    ASSERT_EQ(Run(2, 3, 4, 2, 25, -1.0).status, 1);
    std::srand(2024);
    network_ = Path("net2.txt");
    result_ = Path("result2.txt");
    ASSERT_EQ(Run(2, 3, 4, 2, 25, -1.0).status, 1);
    EXPECT_EQ(ReadFile(Path("net1.txt")), ReadFile(Path("net2.txt")));
    EXPECT_EQ(ReadFile(Path("result1.txt")), ReadFile(Path("result2.txt")));
    EXPECT_NE(ReadFile(Path("net1.txt")), "");
}

TEST_F(TrainJob, ASampleFileWithoutItsHeaderReturnsTwoAndTouchesNothing) {
    WriteFile(network_, "keep");
    for (const char* text : {" BP Training Sample File !!!\n1 1\n", "BP TRAINING SAMPLE FILE !!!\n1 1\n"}) {
        WriteFile(Path("samples.txt"), text);
        EXPECT_EQ(Run(1, 1, 1, 1, 1, 0.0).status, 2);
    }
    EXPECT_EQ(ReadFile(network_), "keep");
    EXPECT_FALSE(Exists(result_));
}

TEST_F(TrainJob, AMissingSampleFileReturnsTwo) {
    EXPECT_EQ(Run(1, 1, 1, 1, 1, 0.0).status, 2);
    EXPECT_FALSE(Exists(network_));
    EXPECT_FALSE(Exists(result_));
    EXPECT_EQ(OnBPTrain(nullptr, network_.c_str(), result_.c_str(), 1, 1, 1, 1, 1, 0.0), 2);
}

TEST_F(TrainJob, CountsOutOfRangeReturnZeroBeforeAnyFileIsTouched) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "1 1\n");
    EXPECT_EQ(Run(-1, 1, 1, 1, 1, 0.0).status, 0);
    EXPECT_EQ(Run(1, 0, 1, 1, 1, 0.0).status, 0);
    EXPECT_EQ(Run(1, 1, 0, 1, 1, 0.0).status, 0);
    EXPECT_EQ(Run(1, 1, 1, -3, 1, 0.0).status, 0);
    EXPECT_FALSE(Exists(network_));
    EXPECT_FALSE(Exists(result_));
}

TEST_F(TrainJob, MemoryThatCannotBeHadReturnsZero) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "1 1\n");
    EXPECT_EQ(Run(INT_MAX, INT_MAX, 1, 1, 1, 0.0).status, 0);
    EXPECT_FALSE(Exists(network_));
}

TEST_F(TrainJob, OutputsThatCannotBeCreatedReturnZero) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "1 1\n");
    network_ = Path("missing/net.txt");
    result_ = Path("result.txt");
    EXPECT_EQ(Run(1, 1, 1, 1, 1, 0.0).status, 0);
    EXPECT_FALSE(Exists(result_));
    network_ = Path("net.txt");
    result_ = Path("missing/result.txt");
    EXPECT_EQ(Run(1, 1, 1, 1, 1, 0.0).status, 0);
    EXPECT_FALSE(Exists(network_)) << "a network without its result file is not put in place";
    EXPECT_EQ(OnBPTrain(Path("samples.txt").c_str(), nullptr, result_.c_str(), 1, 1, 1, 1, 1, 0.0), 0);
}

// A seed in the request seeds the generator right before the draws: the network srand gives.
TEST_F(TrainJob, ASeedInTheRequestGivesTheNetworkOfThatSeed) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "0.1 0.9 0.3 1 0\n0.7 0.2 0.5 0 1\n");
    std::srand(5);
    ASSERT_EQ(Run(2, 3, 4, 2, 3, -1.0).status, 1);
    const std::string seeded = ReadFile(network_);
    std::srand(6);
    network_ = Path("net2.txt");
    ASSERT_EQ(Run(2, 3, 4, 2, 3, -1.0, 5u).status, 1);
    EXPECT_EQ(ReadFile(network_), seeded);
}

TEST_F(TrainJob, AProgressThatSaysStopEndsItStoppedWithTheOutputsUntouched) {
    WriteFile(Path("samples.txt"), std::string(kHeader) + "0.1 0.9 1\n0.7 0.2 0\n");
    WriteFile(network_, "earlier");
    int epochs = 0;
    const BPTrainReport report = Run(2, 2, 2, 1, 1000, -1.0, 1u,
                                     [&](const ProgressStep& step) { return (epochs = int(step.done)) < 3; });
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.status, 0);
    EXPECT_EQ(epochs, 3);
    EXPECT_EQ(ReadFile(network_), "earlier");
    EXPECT_FALSE(Exists(result_));
}

TEST_F(TrainJob, AnOutputNamingTheSampleFileOrTheOtherOutputReturnsZero) {
    const std::string samples = std::string(kHeader) + "1 1\n";
    WriteFile(Path("samples.txt"), samples);
    network_ = Path("samples.txt");
    result_ = Path("result.txt");
    EXPECT_EQ(Run(1, 1, 1, 1, 1, 0.0).status, 0);
    network_ = Path("net.txt");
    result_ = Path("./samples.txt");
    EXPECT_EQ(Run(1, 1, 1, 1, 1, 0.0).status, 0);
    EXPECT_EQ(ReadFile(Path("samples.txt")), samples);
    // Both outputs in one file are refused before either is created.
    result_ = Path("net.txt");
    EXPECT_EQ(Run(1, 1, 1, 1, 1, -1.0).status, 0);
    EXPECT_FALSE(Exists(network_));
}

}  // namespace
}  // namespace quarnel
