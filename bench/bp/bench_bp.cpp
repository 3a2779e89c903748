// Times BP training against FANN's incremental training on the same network and samples, and
// BP classification of four large DSAA inputs with its split between reading and the forward
// pass.
//
//   bench_bp [--dir DIR] [--samples N] [--epochs E] [--size S] [--runs K]
//
// Training: a 10-16-2 network on N samples (default 2000) for E epochs (default 1000), best of K
// runs in processor time (ours and FANN alternating), as epochs per second. FANN gets the same layer sizes
// and samples, incremental training with learning rate 0.5 and no momentum, the linear error function, and
// steepness ln(2.71)/2, which makes its sigmoid 1 / (1 + e^(-x ln 2.71)), our activation.
// Classification: four S x S DSAA grids (default 2000) through a 4-16-2 network.
// Exit status 0 when training runs at least 1.2 times FANN's epochs per second, 1 otherwise.
#include <doublefann.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "jobs/bp/bp_records.h"
#include "jobs/bp/network_file.h"
#include "jobs/frame/quarnel.h"
#include "formats/grid/dsaa_lines.h"
#include "formats/grid/dsaa_reader.h"
#include "formats/grid/text_sink.h"

namespace {

constexpr int kInputs = 10;
constexpr int kHidden = 16;
constexpr int kOutputs = 2;
constexpr int kGrids = 4;
constexpr double kTargetRatio = 1.2;

struct Options {
    std::string dir = "bench-data";
    int samples = 2000;
    int epochs = 1000;
    int size = 2000;
    int runs = 3;
};

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double BestSeconds(int runs, const std::function<bool()>& job) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuSeconds();
        if (!job()) return -1;
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

struct Samples {
    std::vector<double> inputs;  // [samples][kInputs]
    std::vector<int> targets;    // [samples][kOutputs]
};

// Inputs uniform in [0, 1); bit 0 says whether the first half of the inputs outweighs the
// second, bit 1 whether the first input exceeds the last.
Samples MakeSamples(int count) {
    std::mt19937 generator(20240611);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    Samples samples;
    for (int s = 0; s < count; ++s) {
        double first = 0, second = 0;
        for (int i = 0; i < kInputs; ++i) {
            double v = std::round(uniform(generator) * 1e4) / 1e4;
            samples.inputs.push_back(v);
            (i < kInputs / 2 ? first : second) += v;
        }
        const double* x = samples.inputs.data() + std::size_t(s) * kInputs;
        samples.targets.push_back(first > second ? 1 : 0);
        samples.targets.push_back(x[0] > x[kInputs - 1] ? 1 : 0);
    }
    return samples;
}

bool WriteSampleFile(const std::string& path, const Samples& samples, int count) {
    quarnel::TextSink sink;
    if (!sink.Open(path.c_str())) return false;
    sink.Put("BP Training Sample File !!!\n");
    for (int s = 0; s < count; ++s) {
        for (int i = 0; i < kInputs; ++i) {
            sink.Fixed(samples.inputs[std::size_t(s) * kInputs + i], 0, 4);
            sink.Put(' ');
        }
        sink.Print("%d %d\n", samples.targets[std::size_t(s) * kOutputs],
                   samples.targets[std::size_t(s) * kOutputs + 1]);
    }
    return sink.Close();
}

fann_train_data* MakeFannData(const Samples& samples, int count) {
    fann_train_data* data = fann_create_train(unsigned(count), kInputs, kOutputs);
    for (int s = 0; s < count; ++s) {
        for (int i = 0; i < kInputs; ++i) data->input[s][i] = samples.inputs[std::size_t(s) * kInputs + i];
        for (int k = 0; k < kOutputs; ++k)
            data->output[s][k] = samples.targets[std::size_t(s) * kOutputs + k];
    }
    return data;
}

fann* MakeFannNetwork() {
    fann* ann = fann_create_standard(3, kInputs, kHidden, kOutputs);
    const double steepness = std::log(2.71) / 2.0;
    fann_set_activation_function_hidden(ann, FANN_SIGMOID);
    fann_set_activation_function_output(ann, FANN_SIGMOID);
    fann_set_activation_steepness_hidden(ann, steepness);
    fann_set_activation_steepness_output(ann, steepness);
    fann_set_training_algorithm(ann, FANN_TRAIN_INCREMENTAL);
    fann_set_learning_rate(ann, 0.5f);
    fann_set_learning_momentum(ann, 0.0f);
    fann_set_train_error_function(ann, FANN_ERRORFUNC_LINEAR);
    fann_randomize_weights(ann, -0.5, 0.5);
    return ann;
}

// Returns 0 when the target ratio is met.
int BenchTraining(const Options& o) {
    const Samples samples = MakeSamples(o.samples);
    const std::string sampleFile = o.dir + "/bp_samples.txt";
    const std::string network = o.dir + "/bp_network.txt";
    const std::string result = o.dir + "/bp_result.txt";
    if (!WriteSampleFile(sampleFile, samples, o.samples)) return 1;

    fann_train_data* data = MakeFannData(samples, o.samples);
    auto trainOurs = [&] {
        std::srand(1);
        return OnBPTrain(sampleFile.c_str(), network.c_str(), result.c_str(), o.samples, kInputs, kHidden,
                         kOutputs, o.epochs, -1.0) == 1;
    };
    auto trainFann = [&] {
        fann* ann = MakeFannNetwork();
        for (int e = 0; e < o.epochs; ++e) fann_train_epoch(ann, data);
        fann_destroy(ann);
        return true;
    };
    // Alternating, so that a busy spell of the machine weighs on both sides alike.
    double ours = 1e300, theirs = 1e300;
    for (int run = 0; run < o.runs; ++run) {
        ours = std::min(ours, BestSeconds(1, trainOurs));
        theirs = std::min(theirs, BestSeconds(1, trainFann));
    }
    fann_destroy_train(data);
    if (ours < 0 || theirs < 0) return 1;

    const double ourRate = o.epochs / ours;
    const double theirRate = o.epochs / theirs;
    const double ratio = ourRate / theirRate;
    std::printf("training %d-%d-%d, %d samples, %d epochs (best of %d, processor time)\n", kInputs, kHidden,
                kOutputs, o.samples, o.epochs, o.runs);
    std::printf("  OnBPTrain        %8.3f s  %9.1f epochs/s  (whole job: read, train, write)\n", ours,
                ourRate);
    std::printf("  FANN incremental %8.3f s  %9.1f epochs/s\n", theirs, theirRate);
    std::printf("  ratio            %8.2f x  (target >= %.1f x: %s)\n", ratio, kTargetRatio,
                ratio >= kTargetRatio ? "met" : "missed");
    return ratio >= kTargetRatio ? 0 : 1;
}

// A smooth surface with noise, two decimals, about one cell in a hundred blank (99999).
bool WriteEvidenceGrid(const std::string& path, int size, int seed) {
    if (std::filesystem::exists(path)) return true;
    std::mt19937 generator{unsigned(seed)};
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    quarnel::TextSink sink;
    if (!sink.Open(path.c_str())) return false;
    sink.Print("DSAA\n%d %d\n0 %d\n0 %d\n0 100\n", size, size, size - 1, size - 1);
    for (int r = 0; r < size; ++r) {
        for (int q = 0; q < size; ++q) {
            double v = 50 + 40 * std::sin((r + 7.0 * seed) / 97.0) * std::cos((q - 3.0 * seed) / 131.0) +
                       noise(generator);
            sink.Fixed(generator() % 100 == 0 ? 99999.0 : v, 0, 2);
            sink.Put(' ');
        }
        sink.Put('\n');
    }
    return sink.Close();
}

bool WriteClassNetwork(const std::string& path) {
    quarnel::BPNetwork network;
    network.Allocate(kGrids, kHidden, kOutputs);
    std::mt19937 generator(7);
    std::uniform_real_distribution<double> weight(-3.0, 3.0);
    for (auto* group : {&network.hiddenThreshold, &network.outputThreshold, &network.weightInputHidden,
                        &network.weightHiddenOutput}) {
        for (double& v : *group) v = weight(generator);
    }
    return quarnel::WriteNetworkFile(path.c_str(), network);
}

// The job as a whole, then its two halves alone: reading the four grids into the cell-by-input
// matrix, and scaling plus the forward pass over every cell.
int BenchClassification(const Options& o) {
    std::vector<std::string> grids;
    std::string files, kinds;
    for (int g = 0; g < kGrids; ++g) {
        grids.push_back(o.dir + "/bp_evidence_" + std::to_string(o.size) + "_" + std::to_string(g) + ".grd");
        if (!WriteEvidenceGrid(grids.back(), o.size, g + 1)) return 1;
        files += grids.back() + "*";
        kinds += "1*";
    }
    const std::string networkFile = o.dir + "/bp_class_network.txt";
    const std::string output = o.dir + "/bp_classes.grd";
    if (!WriteClassNetwork(networkFile)) return 1;

    const double whole = BestSeconds(o.runs, [&] {
        return OnBPClass(networkFile.c_str(), output.c_str(), files.c_str(), kinds.c_str()) == 1;
    });
    const std::size_t cells = std::size_t(o.size) * std::size_t(o.size);
    std::vector<double> matrix(cells * kGrids);
    const double reading = BestSeconds(o.runs, [&] {
        for (int g = 0; g < kGrids; ++g) {
            double* const column = matrix.data() + g;
            quarnel::DsaaLineValues read =
                quarnel::ReadDsaaLineValues(grids[g].c_str(), {&column, cells, kGrids, cells});
            if (read.status != quarnel::DsaaLinesStatus::ok || read.count != cells) return false;
        }
        return true;
    });
    quarnel::BPNetwork network;
    if (quarnel::ReadNetworkFile(networkFile.c_str(), network) != quarnel::NetworkFileStatus::ok) return 1;
    quarnel::BPClassWork work;
    work.Allocate(network);
    std::vector<int> classes(cells);
    const std::vector<double> loaded = matrix;
    const double forward = BestSeconds(o.runs, [&] {
        matrix = loaded;
        quarnel::RescaleColumns(matrix.data(), cells, kGrids, quarnel::InputRange{}, quarnel::DSAA_BLANK);
        quarnel::ClassifyRow(network, matrix.data(), cells, quarnel::DSAA_BLANK, classes.data(), work);
        return true;
    });
    std::printf("classification, %d DSAA inputs of %d x %d, network %d-%d-%d (best of %d)\n", kGrids, o.size,
                o.size, kGrids, kHidden, kOutputs, o.runs);
    std::printf("  OnBPClass        %8.3f s  %12.0f cells/s\n", whole, static_cast<double>(cells) / whole);
    std::printf("  reading          %8.3f s  (%4.1f %%)\n", reading, 100 * reading / whole);
    std::printf("  forward pass     %8.3f s  (%4.1f %%, with the column scaling)\n", forward,
                100 * forward / whole);
    return 0;
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        if (name == "--dir")
            o.dir = argv[i + 1];
        else if (name == "--samples")
            o.samples = std::atoi(argv[i + 1]);
        else if (name == "--epochs")
            o.epochs = std::atoi(argv[i + 1]);
        else if (name == "--size")
            o.size = std::atoi(argv[i + 1]);
        else if (name == "--runs")
            o.runs = std::atoi(argv[i + 1]);
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    std::filesystem::create_directories(options.dir);
    const int training = BenchTraining(options);
    const int classification = BenchClassification(options);
    return training != 0 || classification != 0 ? 1 : 0;
}
