// normalize, hxf-dump and window-stats: the preparation jobs from the command line.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "frame/quarnel.h"
#include "grid/same_file.h"
#include "hxf/ihxf.h"
#include "prep/normalize_hxf.h"
#include "prep/status_text.h"

namespace quarnel::cli {
namespace {

struct PrepArgs {
    std::string kind = "auto";
    std::string input;
    std::string output;
    std::string stdOutput;
    int window = 0;
};

int Report(const char* command, int status, bool ok, const char* meaning, const std::string& wrote) {
    if (!ok) {
        std::cerr << "quarnel " << command << ": status " << status << ": " << meaning << "\n";
        return 1;
    }
    std::cout << "wrote " << wrote << "\n";
    return 0;
}

bool IsHxfFile(const std::string& path) {
    int handle = GetHXFHandle(path.c_str());
    const bool hxf = handle != 0;
    CloseGridFile(&handle);
    return hxf;
}

// The dump's status is 0 whatever happens, so the command asks the job itself what happened.
int DumpHxf(const char* command, const std::string& input, const std::string& output) {
    const prep::HxfDumpResult result = prep::DumpHxf(input.c_str(), output.c_str());
    const bool written = result.outcome == prep::HxfDumpOutcome::written;
    const int exitCode = Report(command, 0, written, prep::NormalizeHxfStatusText(0), output);
    if (!written) {
        std::cerr << "quarnel " << command << ": " << input << ": "
                  << prep::HxfDumpOutcomeText(result.outcome);
        if (result.outcome == prep::HxfDumpOutcome::grid_not_loaded)
            std::cerr << " (grid " << result.grid << ")";
        std::cerr << "\n";
    }
    return exitCode;
}

int Normalize(const PrepArgs& a) {
    int kind = a.kind == "auto" ? (IsHxfFile(a.input) ? 2 : 0) : std::stoi(a.kind);
    if (kind == 2) return DumpHxf("normalize", a.input, a.output);
    const int status = OnDataNormalize2(a.input.c_str(), kind, a.output.c_str());
    return Report("normalize", status, status == 1, prep::Normalize2StatusText(status), a.output);
}

int WindowStats(const PrepArgs& a) {
    const int status = OnCalAvgVar(a.input.c_str(), a.output.c_str(), a.stdOutput.c_str(), a.window);
    return Report("window-stats", status, status == 1, prep::CalAvgVarStatusText(status),
                  a.output + " and " + a.stdOutput);
}

}  // namespace

void AddPrepCommands(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<PrepArgs>();

    CLI::App* normalize = app.add_subcommand(
        "normalize",
        "Rescale a DSAA or KVSGDB01 grid to 0..1 (DSAA output), or dump a multi-grid file (kind 2)");
    normalize
        ->add_option("--kind", args->kind, "auto (by the file), 0 or 1 (a grid), 2 (an HXF multi-grid file)")
        ->check(CLI::IsMember({"auto", "0", "1", "2"}))
        ->capture_default_str();
    normalize->add_option("INPUT", args->input, "input grid or multi-grid file")->required();
    normalize->add_option("OUTPUT", args->output, "output DSAA grid (text dump for kind 2)")->required();
    normalize->callback([args, &exitCode] { exitCode = Normalize(*args); });

    CLI::App* dump = app.add_subcommand("hxf-dump",
                                        "Write the values of every float grid of an HXF file as text, "
                                        "one line per grid column");
    dump->add_option("HXF", args->input, "multi-grid file")->required();
    dump->add_option("OUTPUT", args->output, "text file to write")->required();
    dump->callback([args, &exitCode] { exitCode = DumpHxf("hxf-dump", args->input, args->output); });

    CLI::App* stats = app.add_subcommand(
        "window-stats",
        "Means and standard deviations of w x w windows of a grid, each rescaled to 0..1 (DSAA)");
    stats->add_option("INPUT", args->input, "input DSAA or KVSGDB01 grid")->required();
    stats->add_option("MEAN", args->output, "output grid of window means")->required();
    stats->add_option("STD", args->stdOutput, "output grid of window standard deviations")->required();
    stats->add_option("-w,--window", args->window, "window size in cells (1 or more)")->required();
    stats->callback([args, &exitCode] { exitCode = WindowStats(*args); });
}

}  // namespace quarnel::cli
