// bp-train and bp-classify: the BP network jobs from the command line.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/afx/stdio_file.h"
#include "jobs/bp/bp_class_job.h"
#include "jobs/bp/bp_status.h"
#include "jobs/bp/bp_train_job.h"
#include "cli/commands.h"
#include "cli/door_jobs.h"
#include "cli/geo_door.h"
#include "cli/interrupt.h"
#include "cli/job_output.h"
#include "geo/bp.h"
#include "formats/grid/grid_kind.h"
#include "formats/grid/next_token.h"
#include "formats/hxf/hxf_file.h"

namespace quarnel::cli {
namespace {

struct ClassifyArgs {
    std::string network;
    std::string output;
    std::vector<std::string> inputs;
    std::vector<std::string> kinds;
    bool json = false;
    geo::WriteOptions write;
};

int Fail(const char* command, const std::string& message) {
    std::cerr << "quarnel " << command << ": " << message << "\n";
    return 1;
}

int CountTokens(std::string_view line) {
    int count = 0;
    while (!GetNextToken(line).empty()) ++count;
    return count;
}

bool IsNumber(const std::string& field) {
    char* end = nullptr;
    std::strtod(field.c_str(), &end);
    return !field.empty() && end == field.c_str() + field.size();
}

// A line of numbers some of which a tab separates. The sample file separates numbers by blanks
// only, so the job would read such a line as one number and zeros for the rest.
bool TabSeparatesNumbers(std::string_view line) {
    bool tabBetween = false;
    int fields = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r\n", i);
        if (start == std::string_view::npos) break;
        if (fields > 0 && line.substr(i, start - i).find('\t') != std::string_view::npos) tabBetween = true;
        std::size_t end = line.find_first_of(" \t\r\n", start);
        if (end == std::string_view::npos) end = line.size();
        if (!IsNumber(std::string(line.substr(start, end - start)))) return false;
        ++fields;
        i = end;
    }
    return fields >= 2 && tabBetween;
}

// What the defaults are taken from: the sample lines after the header that hold a token, and
// the tokens of the first of them; and the first line whose numbers a tab separates (from 1,
// the header being line 1), 0 when none.
struct SampleShape {
    bool opened = false;
    int lines = 0;
    int firstLineTokens = 0;
    int tabLine = 0;
};

SampleShape MeasureSampleFile(const std::string& path) {
    SampleShape shape;
    CStdioFile file;
    if (!file.Open(path.c_str(), CFile::modeRead | CFile::typeText)) return shape;
    shape.opened = true;
    CString line;
    file.ReadString(line);
    for (int number = 2; file.ReadString(line); ++number) {
        const std::string_view text{line.GetString(), std::size_t(line.GetLength())};
        // Only a line that holds a tab needs its fields parsed.
        if (shape.tabLine == 0 && text.find('\t') != std::string_view::npos && TabSeparatesNumbers(text))
            shape.tabLine = number;
        int tokens = CountTokens(text);
        if (tokens == 0) continue;
        if (shape.lines++ == 0) shape.firstLineTokens = tokens;
    }
    return shape;
}

// False when --inputs cannot be taken from a readable sample file. A file that cannot be read
// is left to the job, which reports it with its own status.
bool FillTrainDefaults(TrainArgs& a, const SampleShape& shape) {
    if (a.count >= 0 && a.inputs >= 0) return true;
    if (!shape.opened) {
        if (a.count < 0) a.count = 0;
        if (a.inputs < 0) a.inputs = 1;
        return true;
    }
    if (a.count < 0) a.count = shape.lines;
    if (a.inputs < 0) a.inputs = shape.firstLineTokens - a.outputs;
    return a.inputs >= 1;
}

// Epochs and the current error on one terminal line, redrawn about a hundred times in all.
Progress TerminalProgress() {
    return [](const ProgressStep& step) {
        const std::int64_t every = std::max<std::int64_t>(1, step.total / 100);
        const bool last = step.done == step.total;
        if (step.done % every != 0 && !last) return true;
        std::fprintf(stderr, "\repoch %lld of %lld, error %.8f", static_cast<long long>(step.done),
                     static_cast<long long>(step.total), step.value);
        if (last) std::fputc('\n', stderr);
        std::fflush(stderr);
        return true;
    };
}

std::string FixedError(double error) {
    char text[64];
    std::snprintf(text, sizeof text, "%.8f", error);
    return text;
}

nlohmann::ordered_json ComputedClasses(const BPTrainingSummary& summary, int samples, int outputs) {
    nlohmann::ordered_json classes = nlohmann::ordered_json::array();
    for (int s = 0; s < samples; ++s) {
        const int* bits = summary.ComputedBits(s, outputs);
        classes.push_back(std::vector<int>(bits, bits + outputs));
    }
    return classes;
}

void DescribeTraining(const TrainArgs& a, const BPTrainingSummary& summary, JobOutput& output) {
    output.results["network"] = {{"inputs", a.inputs}, {"hidden", a.hidden}, {"outputs", a.outputs}};
    output.results["samples"] = a.count;
    output.results["epochs"] = summary.epochs;
    output.results["converged"] = summary.converged;
    output.results["final_error"] = summary.finalError;
    output.results["training_accuracy"] = summary.trainingAccuracy;
    output.results["computed_classes"] = ComputedClasses(summary, a.count, a.outputs);

    const std::string error = FixedError(summary.finalError);
    output.summary.push_back("network " + std::to_string(a.inputs) + "-" + std::to_string(a.hidden) + "-" +
                             std::to_string(a.outputs) + ", " + std::to_string(a.count) + " samples");
    const std::string epochs = std::to_string(summary.epochs);
    if (summary.epochs == 0)
        output.summary.push_back("no epoch run; error of the untrained network " + error);
    else if (summary.converged)
        output.summary.push_back("converged after " + epochs + " epochs; final error " + error);
    else
        output.summary.push_back("not converged: " + epochs + " epochs run; final error " + error);
    output.summary.push_back("training samples classified as their targets: " +
                             std::to_string(summary.samplesMatched) + " of " + std::to_string(a.count));
    output.summary.push_back("wrote " + a.network + " and " + a.result);
}

int Train(TrainArgs a) {
    const SampleShape shape = MeasureSampleFile(a.samples);
    if (shape.tabLine != 0) {
        return Fail("bp-train", a.samples + ": line " + std::to_string(shape.tabLine) +
                                    " separates numbers by tabs; the sample file separates them by blanks");
    }
    if (!FillTrainDefaults(a, shape)) {
        return Fail("bp-train", "the first sample line holds too few numbers for --outputs " +
                                    std::to_string(a.outputs) + "; give --inputs");
    }
    if (a.hidden < 0) a.hidden = a.inputs + a.outputs;
    return Emit(TrainOutput(a), a.json);
}

}  // namespace

JobOutput TrainOutput(const TrainArgs& a) {
    BPTrainRequest request{a.samples.c_str(), a.network.c_str(), a.result.c_str(), a.count,      a.inputs,
                           a.hidden,          a.outputs,         a.maxIterations,  a.errorLimit, a.seed};
    const bool showProgress = !a.quiet && isatty(fileno(stderr)) != 0;
    const BPTrainReport report =
        RunBPTrain(request, StopOnInterrupt(showProgress ? TerminalProgress() : Progress{}));
    if (report.stopped) throw Stopped();
    JobOutput output = StatusOutput("bp-train", report.status == kBPTrainDone, report.status,
                                    BPTrainStatusText(report.status), report.cause);
    if (output.ok) {
        output.outputs = {a.network, a.result};
        DescribeTraining(a, report.summary, output);
    }
    return output;
}

namespace {

// The kind code of an input by its content, or empty when it is none of the three.
std::string DetectKind(const std::string& path) {
    if (IsKvbFile(path.c_str())) return "0";
    if (HxfFile(path.c_str()).IsOpen()) return "2";
    if (StartsAsDsaa(path.c_str())) return "1";
    return {};
}

std::string StarList(const std::vector<std::string>& items) {
    std::string list;
    for (const std::string& item : items) list += item + "*";
    return list;
}

void DescribeClasses(const std::string& path, int rows, int cols,
                     const std::map<int, std::int64_t>& classCounts, JobOutput& output) {
    output.outputs = {path};
    output.results["cells"] = static_cast<long long>(rows) * cols;
    output.results["rows"] = rows;
    output.results["cols"] = cols;
    nlohmann::ordered_json counts = nlohmann::ordered_json::object();
    for (const auto& [value, cells] : classCounts) counts[std::to_string(value)] = cells;
    output.results["class_counts"] = counts;
    output.summary.push_back("wrote " + path);
    for (const auto& [value, cells] : classCounts)
        output.summary.push_back("class " + std::to_string(value) + ": " + std::to_string(cells) + " cells");
}

int Classify(ClassifyArgs a) {
    if (a.kinds.empty() && TakesGdalDoor(a.inputs, {a.output}, a.write))
        return Emit(ClassifyRastersOutput(a.network, a.inputs, a.output, a.write), a.json);
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
    const std::string files = StarList(a.inputs);
    const std::string kinds = StarList(a.kinds);
    const BPClassReport report =
        RunBPClass({a.network.c_str(), a.output.c_str(), files.c_str(), kinds.c_str()});
    JobOutput output = StatusOutput("bp-classify", report.status == kBPClassDone, report.status,
                                    BPClassStatusText(report.status), report.cause);
    if (output.ok) DescribeClasses(a.output, report.rows, report.cols, report.classCounts, output);
    return Emit(output, a.json);
}

}  // namespace

JobOutput ClassifyRastersOutput(const std::string& network, const std::vector<std::string>& inputs,
                                const std::string& output, const geo::WriteOptions& write) {
    return GdalDoorOutput(
        "bp-classify", kBPClassDone, BPClassStatusText, kBPClassFailed, [&](JobOutput& out) {
            const geo::ClassifyResult result =
                geo::ClassifyRasters(network, inputs, output, write, StopOnInterrupt());
            DescribeClasses(output, result.rows, result.cols, result.classCounts, out);
        });
}

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
    trainCommand->add_flag("-q,--quiet", train->quiet, "show no training progress on the terminal");
    AddJsonFlag(trainCommand, train->json);
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
    AddRasterOutputOptions(classifyCommand, classify->write);
    AddJsonFlag(classifyCommand, classify->json);
    classifyCommand->callback([classify, &exitCode] { exitCode = Classify(*classify); });
}

}  // namespace quarnel::cli
