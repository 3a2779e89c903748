#include <cstdint>
#include <exception>
#include <vector>

#include "afx/stdio_file.h"
#include "afx/string_array.h"
#include "bp/bp_records.h"
#include "bp/bp_status.h"
#include "bp/class_grid.h"
#include "bp/class_inputs.h"
#include "bp/network_file.h"
#include "bp/split_string.h"
#include "frame/quarnel.h"
#include "grid/dsaa_writer.h"
#include "grid/same_file.h"

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

// Reads the network in two halves around the probe, so the inputs are checked against the
// counts and their files, and the job's memory is asked for, before anything is sized by them.
int ReadNetworkAndProbe(const char* networkFile, const CStringArray& files, const CStringArray& kinds,
                        BPNetwork& network, ClassLayout& layout) {
    CStdioFile file;
    if (!file.Open(networkFile, CFile::modeRead | CFile::typeText)) return kBPClassMisfit;
    if (ReadNetworkCounts(file, network) != NetworkFileStatus::ok || network.outputCount > kMaxClassOutputs) {
        return kBPClassMisfit;
    }
    int status = ProbeClassInputs(files, kinds, layout);
    if (status != kBPClassDone) return status;
    if (layout.gridCount != network.inputCount) return kBPClassMisfit;
    // Inputs whose header promises no cell would make a class grid of no cells, reported as done.
    if (layout.cellCount <= 0 || std::int64_t(layout.nx) * layout.ny != layout.cellCount)
        return kBPClassMisfit;
    status = CheckInputsHoldCells(layout);
    if (status != kBPClassDone) return status;
    // The network, the cell-by-input values, the classes and the work of one cell, at once.
    MemoryBudget budget;
    AddNetwork(budget, network.inputCount, network.hiddenCount, network.outputCount);
    budget.Add(layout.cellCount, network.inputCount, sizeof(double));
    budget.Add(layout.cellCount, sizeof(int));
    budget.Add(std::int64_t(network.hiddenCount) + network.outputCount, sizeof(double));
    if (!budget.Fits()) return kBPClassFailed;
    network.Allocate(network.inputCount, network.hiddenCount, network.outputCount);
    return ReadNetworkValues(file, network) == NetworkFileStatus::ok ? kBPClassDone : kBPClassMisfit;
}

int Classify(const char* networkFile, const char* outputGrid, const char* inputFiles,
             const char* inputKinds) {
    CStringArray files;
    CStringArray kinds;
    SplitString(inputFiles, '*', &files);
    SplitString(inputKinds, '*', &kinds);
    if (OutputNamesAnInput(outputGrid, networkFile, files)) return kBPClassFailed;

    BPNetwork network;
    ClassLayout layout;
    int status = ReadNetworkAndProbe(networkFile, files, kinds, network, layout);
    if (status != kBPClassDone) return status;
    const std::size_t cells = std::size_t(layout.cellCount);
    std::vector<double> matrix(MatrixSize(layout.cellCount, network.inputCount), 0.0);
    std::vector<int> classes(cells, 0);
    std::vector<double> hidden(std::size_t(network.hiddenCount), 0.0);
    std::vector<double> outputs(std::size_t(network.outputCount), 0.0);

    InputRange range;
    status = LoadClassInputs(layout, network.inputCount, matrix.data(), range);
    if (status != kBPClassDone) return status;
    RescaleColumns(matrix.data(), cells, network.inputCount, range);
    for (std::size_t s = 0; s < cells; ++s) {
        classes[s] = ClassValue(network, matrix.data() + s * std::size_t(network.inputCount), hidden.data(),
                                outputs.data());
    }
    if (!WriteClassDsaa(outputGrid, classes.data(), layout.nx, layout.ny)) return kBPClassFailed;
    return kBPClassDone;
}

}  // namespace
}  // namespace quarnel

extern "C" QUARNEL_API int QUARNEL_CALL OnBPClass(const char* networkFile, const char* outputGrid,
                                                  const char* inputFiles, const char* inputKinds) {
    if (networkFile == nullptr || inputFiles == nullptr || inputKinds == nullptr)
        return quarnel::kBPClassMisfit;
    if (outputGrid == nullptr) return quarnel::kBPClassFailed;
    try {
        return quarnel::Classify(networkFile, outputGrid, inputFiles, inputKinds);
    } catch (const std::exception&) {
        return quarnel::kBPClassFailed;
    }
}
