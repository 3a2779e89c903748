// bp-train and bp-classify: the BP network jobs from the command line.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "afx/stdio_file.h"
#include "bp/bp_status.h"
#include "bp/bp_train_job.h"
#include "cli/commands.h"
#include "frame/quarnel.h"
#include "grid/grid_kind.h"
#include "grid/next_token.h"
#include "hxf/ihxf.h"

namespace quarnel::cli {
namespace {

struct TrainArgs {
    std::string samples;
    std::string network;
    std::string result;
    int count = -1;
    int inputs = -1;
    int hidden = -1;
    int outputs = 1;
    int maxIterations = 1000;
    double errorLimit = 0.01;
    std::optional<unsigned> seed;
};

struct ClassifyArgs {
    std::string network;
    std::string output;
    std::vector<std::string> inputs;
    std::vector<std::string> kinds;
};

int Fail(const char* command, const std::string& message) {
    std::cerr << "quarnel " << command << ": " << message << "\n";
    return 1;
}

int FailStatus(const char* command, int status, const char* meaning) {
    return Fail(command, "status " + std::to_string(status) + ": " + meaning);
}

int CountTokens(std::string_view line) {
    int count = 0;
    while (!GetNextToken(line).empty()) ++count;
    return count;
}

// What the defaults are taken from: the sample lines after the header that hold a token, and
// the tokens of the first of them.
struct SampleShape {
    bool opened = false;
    int lines = 0;
    int firstLineTokens = 0;
};

SampleShape MeasureSampleFile(const std::string& path) {
    SampleShape shape;
    CStdioFile file;
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::typeText)) return shape;
    shape.opened = true;
    CString line;
    file.ReadString(line);
    while (file.ReadString(line)) {
        int tokens = CountTokens({line.GetString(), std::size_t(line.GetLength())});
        if (tokens == 0) continue;
        if (shape.lines++ == 0) shape.firstLineTokens = tokens;
    }
    return shape;
}

// False when --inputs cannot be taken from a readable sample file. A file that cannot be read
// is left to the job, which reports it with its own status.
bool FillTrainDefaults(TrainArgs& a) {
    if (a.count >= 0 && a.inputs >= 0) return true;
    SampleShape shape = MeasureSampleFile(a.samples);
    if (!shape.opened) {
        if (a.count < 0) a.count = 0;
        if (a.inputs < 0) a.inputs = 1;
        return true;
    }
    if (a.count < 0) a.count = shape.lines;
    if (a.inputs < 0) a.inputs = shape.firstLineTokens - a.outputs;
    return a.inputs >= 1;
}

int Train(TrainArgs a) {
    if (!FillTrainDefaults(a)) {
        return Fail("bp-train", "the first sample line holds too few numbers for --outputs " +
                                    std::to_string(a.outputs) + "; give --inputs");
    }
    if (a.hidden < 0) a.hidden = a.inputs + a.outputs;
    if (a.seed) std::srand(*a.seed);
    BPTrainRequest request{a.samples.c_str(), a.network.c_str(), a.result.c_str(), a.count,     a.inputs,
                           a.hidden,          a.outputs,         a.maxIterations,  a.errorLimit};
    BPTrainReport report = RunBPTrain(request);
    if (report.status != kBPTrainDone)
        return FailStatus("bp-train", report.status, BPTrainStatusText(report.status));
    std::cout << "network " << a.inputs << "-" << a.hidden << "-" << a.outputs << ", " << a.count
              << " samples\n";
    char error[64];
    std::snprintf(error, sizeof error, "%.8f", report.trainError);
    if (report.epochs == 0) {
        std::cout << "no epoch run; error of the untrained network " << error << "\n";
    } else if (report.converged) {
        std::cout << "converged after " << report.epochs << " epochs; final error " << error << "\n";
    } else {
        std::cout << "not converged: " << report.epochs << " epochs run; final error " << error << "\n";
    }
    std::cout << "wrote " << a.network << " and " << a.result << "\n";
    return 0;
}

bool IsHxfFile(const std::string& path) {
    int handle = GetHXFHandle(path.c_str());
    bool hxf = handle != 0;
    CloseGridFile(&handle);
    return hxf;
}

// The kind code of an input by its content, or empty when it is none of the three.
std::string DetectKind(const std::string& path) {
    if (IsKvbFile(path.c_str())) return "0";
    if (IsHxfFile(path)) return "2";
    if (StartsAsDsaa(path.c_str())) return "1";
    return {};
}

std::string StarList(const std::vector<std::string>& items) {
    std::string list;
    for (const std::string& item : items) list += item + "*";
    return list;
}

int Classify(ClassifyArgs a) {
    for (const std::string& path : a.inputs) {
        if (path.find('*') != std::string::npos) return Fail("bp-classify", "a path holds '*': " + path);
    }
    if (a.kinds.empty()) {
        for (const std::string& path : a.inputs) {
            std::string kind = DetectKind(path);
            if (kind.empty()) return Fail("bp-classify", "not a KVSGDB01, DSAA or HXF grid file: " + path);
            a.kinds.push_back(kind);
        }
    } else if (a.kinds.size() != a.inputs.size()) {
        return Fail("bp-classify", "--kinds names " + std::to_string(a.kinds.size()) + " kinds for " +
                                       std::to_string(a.inputs.size()) + " inputs");
    }
    int status =
        OnBPClass(a.network.c_str(), a.output.c_str(), StarList(a.inputs).c_str(), StarList(a.kinds).c_str());
    if (status != kBPClassDone) return FailStatus("bp-classify", status, BPClassStatusText(status));
    std::cout << "wrote " << a.output << "\n";
    return 0;
}

}  // namespace

void AddBpCommands(CLI::App& app, int& exitCode) {
    auto train = std::make_shared<TrainArgs>();
    CLI::App* trainCommand = app.add_subcommand(
        "bp-train", "Train a three-layer BP network on a sample file; write the network and a result file");
    trainCommand
        ->add_option("-s,--samples", train->samples,
                     "sample file (first line \"BP Training Sample File !!!\")")
        ->required();
    trainCommand->add_option("-n,--network", train->network, "network file to write")->required();
    trainCommand->add_option("-r,--result", train->result, "training result file to write")->required();
    // A negative count stands for "take the default" inside, so one given is refused here.
    trainCommand
        ->add_option("-c,--count", train->count,
                     "sample lines to read (default: the non-empty lines after the header)")
        ->check(CLI::NonNegativeNumber);
    trainCommand
        ->add_option("-i,--inputs", train->inputs,
                     "input nodes (default: the numbers on the first sample line minus --outputs)")
        ->check(CLI::NonNegativeNumber);
    trainCommand->add_option("-H,--hidden", train->hidden, "hidden nodes (default: inputs + outputs)")
        ->check(CLI::NonNegativeNumber);
    trainCommand
        ->add_option("-o,--outputs", train->outputs, "output nodes, the class bits ending each sample line")
        ->capture_default_str();
    trainCommand->add_option("-m,--max-iterations", train->maxIterations, "largest number of epochs")
        ->capture_default_str();
    trainCommand
        ->add_option("-e,--error-limit", train->errorLimit, "stop once an epoch's error is at or below it")
        ->capture_default_str();
    trainCommand->add_option(
        "--seed", train->seed,
        "seed the random generator first (default: unseeded, as a fresh process starts)");
    trainCommand->callback([train, &exitCode] { exitCode = Train(*train); });

    auto classify = std::make_shared<ClassifyArgs>();
    CLI::App* classifyCommand = app.add_subcommand(
        "bp-classify",
        "Classify co-registered evidence grids with a trained BP network into a DSAA class grid");
    classifyCommand->add_option("NETWORK", classify->network, "network file written by bp-train")->required();
    classifyCommand->add_option("OUTPUT", classify->output, "DSAA class grid to write")->required();
    classifyCommand
        ->add_option("INPUT", classify->inputs,
                     "input grids, one per network input (an HXF file: one per grid)")
        ->required();
    classifyCommand
        ->add_option("-k,--kinds", classify->kinds,
                     "kind of each input: 0 KVSGDB01, 1 DSAA, 2 HXF (default: told from each file's content)")
        ->delimiter(',');
    classifyCommand->callback([classify, &exitCode] { exitCode = Classify(*classify); });
}

}  // namespace quarnel::cli
