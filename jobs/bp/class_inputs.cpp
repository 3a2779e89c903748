#include "jobs/bp/class_inputs.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "jobs/bp/bp_status.h"
#include "jobs/bp/cell_count.h"
#include "formats/grid/dsaa_lines.h"
#include "formats/grid/kvb_file.h"
#include "formats/grid/matrix.h"
#include "formats/grid/native_path.h"
#include "formats/hxf/hxf_file.h"

namespace quarnel {
namespace {

struct Probe {
    int cells = -1;
    int grids = 0;
    int nx = 0;
    int ny = 0;
};

Probe ProbeInput(const ClassInput& input) {
    Probe probe;
    switch (input.kind) {
        case InputKind::kvb:
            probe.cells = KvbCellCount(input.path, &probe.ny, &probe.nx);
            probe.grids = 1;
            break;
        case InputKind::dsaa:
            probe.cells = DsaaCellCount(input.path, &probe.ny, &probe.nx);
            probe.grids = 1;
            break;
        case InputKind::hxf: {
            HxfFile file(input.path);
            if (!file.IsOpen()) break;
            probe.cells = GridCellCount(file.info().rows, file.info().cols);
            probe.nx = file.info().cols;
            probe.ny = file.info().rows;
            probe.grids = file.GridCount();
            break;
        }
        case InputKind::none:
            break;
    }
    return probe;
}

int LoadKvb(const ClassInput& input, int cellCount, const CellInputMatrix& matrix, int column,
            InputRange& range) {
    KvbGridHeader header{};
    CKvbFile reader;
    float** rows = reader.ReadGrid(input.path, &header);
    RowMatrix<float> grid(rows, header.rows);
    if (!grid) return kBPClassFailed;
    if (std::int64_t(header.rows) * header.cols != cellCount) return kBPClassMisfit;
    std::size_t s = 0;
    for (int r = 0; r < header.rows; ++r) {
        const float* stored = grid[std::size_t(header.rows - 1 - r)];
        for (int q = 0; q < header.cols; ++q, ++s) matrix.Cell(s)[column] = double(stored[q]);
    }
    range.lo = double(header.zMin);
    range.hi = double(header.zMax);
    return kBPClassDone;
}

int LoadDsaa(const ClassInput& input, int cellCount, int inputCount, const CellInputMatrix& matrix,
             int column) {
    std::vector<double*> columns = matrix.BlockStarts();
    for (double*& start : columns) start += column;
    const DsaaValueBlocks out{columns.data(), matrix.BlockCells(), std::size_t(inputCount),
                              std::uint64_t(cellCount)};
    DsaaLineValues values = ReadDsaaLineValues(input.path, out);
    if (values.status != DsaaLinesStatus::ok || values.count != std::uint64_t(cellCount))
        return kBPClassMisfit;
    return kBPClassDone;
}

template <class T>
bool LoadHxfGrid(const HxfFile& file, const std::string& id, short elementType, const CellInputMatrix& matrix,
                 int column) {
    CxArray<T> array(0, 0, ZT_STOR_ROWMAJOR);
    if (file.Load(id, elementType, array) != HXF_OK) return false;
    std::size_t s = 0;
    for (int r = 0; r < file.info().rows; ++r) {
        for (int q = 0; q < file.info().cols; ++q, ++s) {
            double& value = matrix.Cell(s)[column];
            value = double(array.GetAt(r, q));
            if (!std::isfinite(value)) return false;
        }
    }
    return true;
}

int LoadHxf(const ClassInput& input, int cellCount, const CellInputMatrix& matrix, int column) {
    HxfFile file(input.path);
    if (!file.IsOpen() || GridCellCount(file.info().rows, file.info().cols) != cellCount ||
        file.GridCount() != input.grids) {
        return kBPClassMisfit;
    }
    HXFGridGCSInfo gcs{};
    GetGridGCSInfo(file.handle(), &gcs);
    for (int k = 1; k <= input.grids; ++k, ++column) {
        const std::string id = file.GridId(k);
        // Floats load as floats; every other element type is converted to double by the library.
        bool loaded = file.info().elementType == HXF_FLOAT
                          ? LoadHxfGrid<float>(file, id, HXF_FLOAT, matrix, column)
                          : LoadHxfGrid<double>(file, id, HXF_DOUBLE, matrix, column);
        if (!loaded) return kBPClassFailed;
    }
    return kBPClassDone;
}

}  // namespace

InputKind InputKindFromCode(const CString& code) {
    if (code == "0") return InputKind::kvb;
    if (code == "1") return InputKind::dsaa;
    if (code == "2") return InputKind::hxf;
    return InputKind::none;
}

int ProbeClassInputs(const CStringArray& files, const CStringArray& kinds, ClassLayout& layout,
                     std::string& cause) {
    if (kinds.GetSize() < files.GetSize()) {
        cause = std::to_string(kinds.GetSize()) + " kinds for " + std::to_string(files.GetSize()) +
                " input files";
        return kBPClassMisfit;
    }
    for (int j = 0; j < files.GetSize(); ++j) {
        ClassInput input{files[j], InputKindFromCode(kinds[j]), 0};
        if (input.kind != InputKind::none) {
            Probe probe = ProbeInput(input);
            if (probe.cells < 0 || probe.grids < 0) {
                cause = std::string(input.path) + ": cannot be opened or is not a grid of kind " +
                        std::string(kinds[j]);
                return kBPClassMisfit;
            }
            if (layout.cellCount == 0) {
                layout.cellCount = probe.cells;
            } else if (probe.cells != layout.cellCount) {
                cause = std::string(input.path) + ": " + std::to_string(probe.cells) +
                        " cells where the inputs before it have " + std::to_string(layout.cellCount);
                return kBPClassMisfit;
            }
            if (probe.grids > INT_MAX - layout.gridCount) return kBPClassMisfit;
            input.grids = probe.grids;
            layout.gridCount += probe.grids;
            layout.nx = probe.nx;
            layout.ny = probe.ny;
        }
        layout.inputs.push_back(input);
    }
    return kBPClassDone;
}

int CheckInputsHoldCells(const ClassLayout& layout, std::string& cause) {
    for (const ClassInput& input : layout.inputs) {
        if (input.kind == InputKind::kvb) {
            KvbGridHeader header{};
            CKvbFile().ReadHeader(input.path, &header);
            if (!KvbFileHoldsGrid(input.path, header)) {
                cause = std::string(input.path) + ": shorter than the grid its header describes";
                return kBPClassFailed;
            }
        } else if (input.kind == InputKind::dsaa) {
            std::error_code error;
            const std::uintmax_t bytes = std::filesystem::file_size(NativePath(input.path), error);
            if (error || std::uintmax_t(layout.cellCount) > bytes / 2) {
                cause = std::string(input.path) + ": too short to hold " + std::to_string(layout.cellCount) +
                        " values";
                return kBPClassMisfit;
            }
        }
    }
    return kBPClassDone;
}

int LoadClassInputs(const ClassLayout& layout, int inputCount, const CellInputMatrix& matrix,
                    InputRange& range, std::string& cause) {
    int column = 0;
    for (const ClassInput& input : layout.inputs) {
        if (input.grids > inputCount - column) {
            cause = "the inputs hold more grids than the network takes";
            return kBPClassMisfit;
        }
        int status = kBPClassDone;
        switch (input.kind) {
            case InputKind::kvb:
                status = LoadKvb(input, layout.cellCount, matrix, column, range);
                break;
            case InputKind::dsaa:
                status = LoadDsaa(input, layout.cellCount, inputCount, matrix, column);
                break;
            case InputKind::hxf:
                status = LoadHxf(input, layout.cellCount, matrix, column);
                break;
            case InputKind::none:
                break;
        }
        if (status != kBPClassDone) {
            cause = std::string(input.path) + (status == kBPClassMisfit
                                                   ? ": its values do not fit the cells of the inputs"
                                                   : ": its values cannot be read");
            return status;
        }
        column += input.grids;
    }
    return kBPClassDone;
}

}  // namespace quarnel
