// hxf-pack and info: putting grids into a multi-grid file and describing a grid file.
#include <ogr_srs_api.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "geo/raster.h"
#include "formats/grid/grid_status.h"
#include "formats/grid/kvsgda.h"
#include "formats/grid/same_file.h"
#include "formats/grid/working_grid.h"
#include "formats/hxf/hxf_file.h"
#include "quarnel/prep.h"

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

// Smallest and largest non-blank value and the number of blanks of a grid. The preparation
// formats count a value within 1 of the blank value as blank (prep::IsBlank); KVSGDA01 grids only
// a value equal to it.
struct ValueSummary {
    double blank;
    bool exactBlank;
    prep::ValueRange range;
    long long blanks = 0;
};

ValueSummary SummaryOfRows(const double* const* values, int rows, int cols, double blank) {
    return {blank, false, prep::NonBlankRange(values, rows, cols, blank),
            static_cast<long long>(prep::CountBlanks(values, rows, cols, blank))};
}

void PrintSummary(const char* format, int rows, int cols, const ValueSummary& s) {
    std::cout << "format " << format << "\nrows   " << rows << "\ncols   " << cols << "\n";
    if (s.range.low <= s.range.high)
        std::cout << "range  " << s.range.low << " .. " << s.range.high << "\n";
    else
        std::cout << "range  none (every value is blank)\n";
    std::cout << "blanks " << s.blanks << (s.exactBlank ? " (values equal to " : " (values within 1 of ")
              << s.blank << ")\n";
}

// The rows x cols values of a loaded grid (0 outside the array's own shape), row after row.
std::vector<double> GridValues(const CxArray<double>& values, int rows, int cols) {
    std::vector<double> cells;
    cells.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) cells.push_back(values.GetAt(r, c));
    return cells;
}

std::vector<const double*> RowPointers(const std::vector<double>& cells, int rows, int cols) {
    std::vector<const double*> pointers;
    pointers.reserve(std::size_t(std::max(rows, 0)));
    for (int r = 0; r < rows; ++r) pointers.push_back(cells.data() + static_cast<std::size_t>(r) * cols);
    return pointers;
}

int InfoHxf(const std::string& path, const HxfFile& file) {
    const HXFGridFileInfo& info = file.info();
    const int count = file.GridCount();
    std::cout << "format HXF, element type " << info.elementType << ", " << count
              << (count == 1 ? " grid\n" : " grids\n");
    for (int k = 1; k <= count; ++k) {
        const std::string id = file.GridId(k);
        CxArray<double> values(0, 0, ZT_STOR_ROWMAJOR);
        if (file.Load(id, HXF_DOUBLE, values) != HXF_OK)
            return Fail("info", "cannot load grid " + id + " of " + path);
        const std::vector<double> cells = GridValues(values, info.rows, info.cols);
        const std::vector<const double*> rows = RowPointers(cells, info.rows, info.cols);
        std::cout << "\ngrid " << id << "\n";
        PrintSummary("HXF", info.rows, info.cols,
                     SummaryOfRows(rows.data(), info.rows, info.cols, DSAA_BLANK));
    }
    return 0;
}

// A text grid whose first word is KVSGDA01; its values are read one at a time.
bool InfoKvsgda(const std::string& path, int& exitCode) {
    KvsgdaReader reader;
    KvsgdaHeader header;
    if (!reader.Open(path.c_str()) || !reader.ReadHeader(&header).ok() || header.word != "KVSGDA01")
        return false;
    ValueSummary summary{header.blankValue, true, {}};
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
        if (v == summary.blank) {
            ++summary.blanks;
        } else {
            summary.range.low = std::fmin(summary.range.low, v);
            summary.range.high = std::fmax(summary.range.high, v);
        }
    }
    PrintSummary("KVSGDA01", header.rows, header.cols, summary);
    exitCode = 0;
    return true;
}

std::string CrsName(const std::string& wkt) {
    if (wkt.empty()) return "none";
    OGRSpatialReferenceH srs = OSRNewSpatialReference(wkt.c_str());
    const char* name = srs != nullptr ? OSRGetName(srs) : nullptr;
    std::string text = name != nullptr ? name : "unnamed";
    OSRDestroySpatialReference(srs);
    return text;
}

// Any other raster, through the GDAL door: its grid and, per band, the no-data value, the range
// of the other values and how many cells hold none.
int InfoRaster(const std::string& path) {
    const geo::Raster raster = geo::Raster::Open(path);
    const geo::GridFrame& frame = raster.frame();
    const auto& t = frame.geoTransform;
    std::cout << "format " << raster.Format() << "\nrows   " << frame.rows << "\ncols   " << frame.cols
              << "\ncrs    " << CrsName(frame.crsWkt) << "\ngeotransform";
    for (double v : t) std::cout << " " << std::setprecision(15) << v;
    std::cout << std::setprecision(6) << "\n";
    const int strip = std::max(1, raster.PreferredRowCount());
    std::vector<double> values(static_cast<std::size_t>(strip) * static_cast<std::size_t>(frame.cols));
    for (int b = 1; b <= raster.BandCount(); ++b) {
        prep::ValueRange range;
        long long blanks = 0;
        for (int first = 0; first < frame.rows; first += strip) {
            const int count = std::min(strip, frame.rows - first);
            raster.ReadRows(b, first, count, values.data());
            for (std::size_t i = 0;
                 i < static_cast<std::size_t>(count) * static_cast<std::size_t>(frame.cols); ++i) {
                if (std::isnan(values[i])) {
                    ++blanks;
                    continue;
                }
                range.low = std::fmin(range.low, values[i]);
                range.high = std::fmax(range.high, values[i]);
            }
        }
        const std::string name = raster.BandName(b);
        std::cout << "\nband   " << b << (name.empty() ? "" : " (" + name + ")") << "\nno-data ";
        if (const std::optional<double> noData = raster.NoData(b))
            std::cout << *noData << "\n";
        else
            std::cout << "none\n";
        if (range.low <= range.high)
            std::cout << "range  " << range.low << " .. " << range.high << "\n";
        else
            std::cout << "range  none (every value is no data)\n";
        std::cout << "blanks " << blanks << " (cells without data)\nrule   " << raster.NoDataRule(b) << "\n";
        if (const std::int64_t infinite = raster.NonFiniteCells(b); infinite > 0)
            std::cout << "inf    " << infinite << " cells of +-inf, taken as no data\n";
    }
    return 0;
}

// Surfer's blank in a DSAA grid: the GDAL door takes it as no data, the design's jobs as a value.
void PrintSurferBlanks(const WorkingGrid& grid) {
    long long count = 0;
    for (int r = 0; r < grid.rows; ++r)
        for (int c = 0; c < grid.cols; ++c) count += grid.values[r][c] >= 1.70141e38 ? 1 : 0;
    if (count > 0)
        std::cout << "surfer " << count
                  << " values of 1.70141e38 and above: no data through the GDAL door, values to the "
                     "design's jobs\n";
}

int Info(const GridArgs& a) {
    std::error_code error;
    if ((std::filesystem::is_regular_file(a.path, error) && !geo::IsDesignGrid(a.path)) ||
        geo::NamesRemoteSource(a.path)) {
        try {
            return InfoRaster(a.path);
        } catch (const geo::GeoError& e) {
            return Fail("info", e.what());
        }
    }
    const HxfFile hxf(a.path.c_str());
    if (hxf.IsOpen()) return InfoHxf(a.path, hxf);
    int exitCode = 1;
    if (InfoKvsgda(a.path, exitCode)) return exitCode;
    WorkingGrid grid;
    const GridReadResult read = LoadWorkingGrid(a.path.c_str(), &grid);
    if (!read.ok()) return Fail("info", ReadFailure(a.path, read));
    PrintSummary(grid.kind == GridFileKind::kvsgdb01 ? "KVSGDB01" : "DSAA", grid.rows, grid.cols,
                 SummaryOfRows(grid.values.get(), grid.rows, grid.cols, grid.blank));
    if (grid.kind != GridFileKind::kvsgdb01) PrintSurferBlanks(grid);
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

    CLI::App* info = app.add_subcommand(
        "info", "Describe a grid file or any GDAL raster: format, size, grid, value range, blanks");
    info->add_option("GRID", args->path, "DSAA, KVSGDB01, KVSGDA01 or HXF file, or any raster GDAL reads")
        ->required();
    info->callback([args, &exitCode] { exitCode = Info(*args); });
}

}  // namespace quarnel::cli
