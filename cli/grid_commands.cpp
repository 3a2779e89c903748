// hxf-pack and info: putting grids into a multi-grid file and describing a grid file.
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "grid/grid_status.h"
#include "grid/kvsgda.h"
#include "grid/same_file.h"
#include "grid/working_grid.h"
#include "hxf/ihxf.h"
#include "prep/hxf_grid.h"

namespace quarnel::cli {
namespace {

constexpr std::size_t kMaxGridId = 31;

struct GridArgs {
    std::string output;
    std::vector<std::string> grids;
    std::string type = "float";
    std::string path;
};

int Fail(const char* command, const std::string& message) {
    std::cerr << "quarnel " << command << ": " << message << "\n";
    return 1;
}

std::string ReadFailure(const std::string& path, const GridReadResult& read) {
    return path + ": " + GridReadStatusText(read.status) + " (byte " + std::to_string(read.position) + ")";
}

// The values of a grid in DSAA row order, row after row, converted to T.
template <class T>
std::vector<T> RowMajor(const WorkingGrid& grid) {
    std::vector<T> values;
    values.reserve(static_cast<std::size_t>(grid.rows) * grid.cols);
    for (int r = 0; r < grid.rows; ++r)
        for (int c = 0; c < grid.cols; ++c) values.push_back(static_cast<T>(grid.values[r][c]));
    return values;
}

template <class T>
int WritePack(const GridArgs& a, const std::vector<WorkingGrid>& grids, const std::vector<std::string>& ids,
              int elementType) {
    std::vector<std::vector<T>> values;
    std::vector<const void*> valuePointers;
    std::vector<const char*> idPointers;
    for (std::size_t g = 0; g < grids.size(); ++g) {
        values.push_back(RowMajor<T>(grids[g]));
        valuePointers.push_back(values.back().data());
        idPointers.push_back(ids[g].c_str());
    }
    const int status = WriteHXFFile(a.output.c_str(), elementType, grids[0].rows, grids[0].cols,
                                    static_cast<int>(grids.size()), idPointers.data(), valuePointers.data());
    if (status != HXF_OK)
        return Fail("hxf-pack", "cannot write " + a.output + " (HXF error " + std::to_string(status) + ")");
    std::cout << "wrote " << a.output << ": " << grids.size() << " " << a.type
              << (grids.size() == 1 ? " grid of " : " grids of ") << grids[0].rows << " rows x "
              << grids[0].cols << " cols\n";
    return 0;
}

int Pack(const GridArgs& a) {
    for (const std::string& path : a.grids) {
        if (SameExistingFile(a.output.c_str(), path.c_str()))
            return Fail("hxf-pack", a.output + " is one of the grids to pack; it is not overwritten");
    }
    std::vector<WorkingGrid> grids(a.grids.size());
    std::vector<std::string> ids;
    std::set<std::string> seen;
    for (std::size_t g = 0; g < a.grids.size(); ++g) {
        const std::string& path = a.grids[g];
        const GridReadResult read = LoadWorkingGrid(path.c_str(), &grids[g]);
        if (!read.ok()) return Fail("hxf-pack", ReadFailure(path, read));
        if (grids[g].rows != grids[0].rows || grids[g].cols != grids[0].cols)
            return Fail("hxf-pack", path + " differs in shape from " + a.grids[0]);
        ids.push_back(std::filesystem::path(path).stem().string().substr(0, kMaxGridId));
        if (ids.back().empty() || !seen.insert(ids.back()).second)
            return Fail("hxf-pack", "grid id '" + ids.back() + "' of " + path + " is empty or used twice");
    }
    return a.type == "double" ? WritePack<double>(a, grids, ids, HXF_DOUBLE)
                              : WritePack<float>(a, grids, ids, HXF_FLOAT);
}

// Smallest and largest non-blank value and the number of blanks of a set of values. The
// preparation formats count a value within 1 of the blank value as blank; KVSGDA01 grids only
// a value equal to it.
struct ValueSummary {
    double blank;
    double tolerance;
    double low = INFINITY;
    double high = -INFINITY;
    long long blanks = 0;
    void Add(double v) {
        if (std::fabs(v - blank) <= tolerance) {
            ++blanks;
            return;
        }
        low = std::fmin(low, v);
        high = std::fmax(high, v);
    }
};

void PrintSummary(const char* format, int rows, int cols, const ValueSummary& s) {
    std::cout << "format " << format << "\nrows   " << rows << "\ncols   " << cols << "\n";
    if (s.low <= s.high)
        std::cout << "range  " << s.low << " .. " << s.high << "\n";
    else
        std::cout << "range  none (every value is blank)\n";
    std::cout << "blanks " << s.blanks << (s.tolerance > 0 ? " (values within 1 of " : " (values equal to ")
              << s.blank << ")\n";
}

int InfoHxf(const std::string& path, int handle) {
    HXFGridFileInfo info{};
    GetGridFileInfo(handle, &info);
    const int count = GetNumberOfGrid(handle);
    std::cout << "format HXF, element type " << info.elementType << ", " << count
              << (count == 1 ? " grid\n" : " grids\n");
    for (int k = 1; k <= count; ++k) {
        char id[32] = {};
        GetGridID(handle, k, id, sizeof id);
        CxArray<double> values(0, 0, ZT_STOR_ROWMAJOR);
        if (prep::LoadHxfGrid(handle, id, HXF_DOUBLE, values) != HXF_OK)
            return Fail("info", "cannot load grid " + std::string(id) + " of " + path);
        ValueSummary summary{DSAA_BLANK, 1};
        for (int r = 0; r < info.rows; ++r)
            for (int c = 0; c < info.cols; ++c) summary.Add(values.GetAt(r, c));
        std::cout << "\ngrid " << id << "\n";
        PrintSummary("HXF", info.rows, info.cols, summary);
    }
    return 0;
}

// A text grid whose first word is KVSGDA01; its values are read one at a time.
bool InfoKvsgda(const std::string& path, int& exitCode) {
    KvsgdaReader reader;
    KvsgdaHeader header;
    if (!reader.Open(path.c_str()) || !reader.ReadHeader(&header).ok() || header.word != "KVSGDA01")
        return false;
    ValueSummary summary{header.blankValue, 0};
    const long long cells = static_cast<long long>(header.rows) * header.cols;
    for (long long k = 0; k < cells; ++k) {
        float v = 0;
        const ScanResult next = reader.Next(v);
        if (!next.ok()) {
            exitCode =
                Fail("info", path + ": value " + std::to_string(k + 1) + ": " + ScanStatusText(next.status) +
                                 " at byte " + std::to_string(next.position));
            return true;
        }
        summary.Add(v);
    }
    PrintSummary("KVSGDA01", header.rows, header.cols, summary);
    exitCode = 0;
    return true;
}

int Info(const GridArgs& a) {
    int handle = GetHXFHandle(a.path.c_str());
    if (handle != 0) {
        const int result = InfoHxf(a.path, handle);
        CloseGridFile(&handle);
        return result;
    }
    int exitCode = 1;
    if (InfoKvsgda(a.path, exitCode)) return exitCode;
    WorkingGrid grid;
    const GridReadResult read = LoadWorkingGrid(a.path.c_str(), &grid);
    if (!read.ok()) return Fail("info", ReadFailure(a.path, read));
    ValueSummary summary{grid.blank, 1};
    for (int r = 0; r < grid.rows; ++r)
        for (int c = 0; c < grid.cols; ++c) summary.Add(grid.values[r][c]);
    PrintSummary(grid.kind == GridFileKind::kvsgdb01 ? "KVSGDB01" : "DSAA", grid.rows, grid.cols, summary);
    return 0;
}

}  // namespace

void AddGridCommands(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<GridArgs>();

    CLI::App* pack = app.add_subcommand("hxf-pack",
                                        "Put DSAA or KVSGDB01 grids of one shape into one HXF multi-grid "
                                        "file; each grid's id is its file name without extension");
    pack->add_option("OUT", args->output, "HXF file to write")->required();
    pack->add_option("GRID", args->grids, "grids to pack, in order")->required();
    pack->add_option("--type", args->type, "element type of the HXF file")
        ->check(CLI::IsMember({"float", "double"}))
        ->capture_default_str();
    pack->callback([args, &exitCode] { exitCode = Pack(*args); });

    CLI::App* info =
        app.add_subcommand("info", "Describe a grid file: format, rows, columns, value range, blanks");
    info->add_option("GRID", args->path, "DSAA, KVSGDB01, KVSGDA01 or HXF file")->required();
    info->callback([args, &exitCode] { exitCode = Info(*args); });
}

}  // namespace quarnel::cli
