#include "jobs/bp/bp_class_job.h"

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "formats/afx/stdio_file.h"
#include "formats/afx/string_array.h"
#include "jobs/bp/bp_records.h"
#include "jobs/bp/bp_status.h"
#include "jobs/bp/cell_input_matrix.h"
#include "jobs/bp/class_inputs.h"
#include "jobs/bp/network_file.h"
#include "jobs/bp/split_string.h"
#include "jobs/frame/quarnel.h"
#include "formats/grid/dsaa_reader.h"
#include "formats/grid/dsaa_writer.h"
#include "formats/grid/same_file.h"

namespace quarnel {
namespace {

// Class values are built as an int code of one bit per output, plus 2.
constexpr int kMaxClassOutputs = 30;

bool OutputNamesAnInput(const char* outputGrid, const char* networkFile, const CStringArray& files) {
    if (SameExistingFile(outputGrid, networkFile)) return true;
    for (int j = 0; j < files.GetSize(); ++j) {
        if (SameExistingFile(outputGrid, files[j])) return true;
    }
    return false;
}

BPClassReport Failure(int status, std::string cause) {
    BPClassReport report;
    report.status = status;
    report.cause = std::move(cause);
    return report;
}

// Reads the network in two halves around the probe, so the inputs are checked against the
// counts and their files, and the job's memory is asked for, before anything is sized by them.
BPClassReport ReadNetworkAndProbe(const char* networkFile, const CStringArray& files,
                                  const CStringArray& kinds, BPNetwork& network, ClassLayout& layout) {
    const std::string networkName = networkFile;
    CStdioFile file;
    if (!file.Open(networkFile, CFile::modeRead | CFile::typeText))
        return Failure(kBPClassMisfit, networkName + ": cannot be opened");
    if (ReadNetworkCounts(file, network) != NetworkFileStatus::ok)
        return Failure(kBPClassMisfit, networkName + ": the first line holds no usable layer counts");
    if (network.outputCount > kMaxClassOutputs)
        return Failure(kBPClassMisfit, networkName + ": more than 30 outputs");
    std::string cause;
    int status = ProbeClassInputs(files, kinds, layout, cause);
    if (status != kBPClassDone) return Failure(status, cause);
    if (layout.gridCount != network.inputCount) {
        return Failure(kBPClassMisfit, "the inputs hold " + std::to_string(layout.gridCount) + " grids; " +
                                           networkName + " takes " + std::to_string(network.inputCount));
    }
    // Inputs whose header promises no cell would make a class grid of no cells, reported as done.
    if (layout.cellCount <= 0 || std::int64_t(layout.nx) * layout.ny != layout.cellCount)
        return Failure(kBPClassMisfit, "the input grids hold no cells");
    status = CheckInputsHoldCells(layout, cause);
    if (status != kBPClassDone) return Failure(status, cause);
    // The network, the cell-by-input values, the classes and the work of one cell, at once.
    MemoryBudget budget;
    AddNetwork(budget, network.inputCount, network.hiddenCount, network.outputCount);
    budget.Add(layout.cellCount, network.inputCount, sizeof(double));
    budget.Add(layout.cellCount, sizeof(int));
    budget.Add(std::int64_t(network.hiddenCount) + network.outputCount, sizeof(double));
    if (!budget.Fits()) return Failure(kBPClassFailed, "the grids and the network do not fit memory");
    network.Allocate(network.inputCount, network.hiddenCount, network.outputCount);
    if (ReadNetworkValues(file, network) != NetworkFileStatus::ok)
        return Failure(kBPClassMisfit, networkName + ": the weights cannot be read");
    BPClassReport ready;
    ready.status = kBPClassDone;
    return ready;
}

BPClassReport Classify(const BPClassRequest& request) {
    CStringArray files;
    CStringArray kinds;
    SplitString(request.inputFiles, '*', &files);
    SplitString(request.inputKinds, '*', &kinds);
    if (OutputNamesAnInput(request.outputGrid, request.networkFile, files))
        return Failure(kBPClassFailed,
                       std::string(request.outputGrid) + " names an input; it is not overwritten");

    BPNetwork network;
    ClassLayout layout;
    BPClassReport report = ReadNetworkAndProbe(request.networkFile, files, kinds, network, layout);
    if (report.status != kBPClassDone) return report;
    const std::size_t cells = std::size_t(layout.cellCount);
    const CellInputMatrix matrix(layout.cellCount, network.inputCount);
    std::vector<int> classes(cells, 0);
    BPClassWork work;
    work.Allocate(network);

    InputRange range;
    std::string cause;
    const int status = LoadClassInputs(layout, network.inputCount, matrix, range, cause);
    if (status != kBPClassDone) return Failure(status, cause);
    RescaleColumns(matrix.Blocks(), network.inputCount, range, DSAA_BLANK);
    std::size_t first = 0;
    for (const BPCellBlock& block : matrix.Blocks()) {
        ClassifyRow(network, block.inputs, block.cells, DSAA_BLANK, classes.data() + first, work);
        first += block.cells;
    }
    if (!WriteClassDsaa(request.outputGrid, classes.data(), layout.nx, layout.ny))
        return Failure(kBPClassFailed, "cannot write " + std::string(request.outputGrid));
    report.cells = layout.cellCount;
    report.rows = layout.ny;
    report.cols = layout.nx;
    report.classCounts = CountClasses(classes.data(), cells);
    return report;
}

}  // namespace

BPClassReport RunBPClass(const BPClassRequest& request) noexcept {
    try {
        if (request.networkFile == nullptr || request.inputFiles == nullptr || request.inputKinds == nullptr)
            return Failure(kBPClassMisfit, "no network or inputs named");
        if (request.outputGrid == nullptr) return Failure(kBPClassFailed, "no output grid named");
        return Classify(request);
    } catch (const std::bad_alloc&) {
        return Failure(kBPClassFailed, "out of memory");  // short enough to need no memory
    } catch (const std::exception&) {
        return Failure(kBPClassFailed, "too many values");
    }
}

}  // namespace quarnel

extern "C" QUARNEL_API int QUARNEL_CALL OnBPClass(const char* networkFile, const char* outputGrid,
                                                  const char* inputFiles, const char* inputKinds) {
    return quarnel::RunBPClass({networkFile, outputGrid, inputFiles, inputKinds}).status;
}
