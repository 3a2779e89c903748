#include "geo/raster.h"

#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <set>
#include <sstream>
#include <utility>

#include "formats/grid/dsaa_reader.h"
#include "formats/grid/grid_kind.h"
#include "formats/grid/kvsgda.h"
#include "formats/grid/working_grid.h"
#include "formats/hxf/hxf_file.h"
#include "quarnel/prep.h"

namespace quarnel::geo {

namespace {

constexpr double kSurferBlank = 1.70141e38;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

std::string CrsName(const std::string& wkt) {
    if (wkt.empty()) return "no CRS";
    OGRSpatialReferenceH srs = OSRNewSpatialReference(wkt.c_str());
    std::string name = srs != nullptr && OSRGetName(srs) != nullptr ? OSRGetName(srs) : "a CRS";
    OSRDestroySpatialReference(srs);
    return "CRS \"" + name + "\"";
}

}  // namespace

bool SameCrs(const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (a.empty() || b.empty()) return false;
    OGRSpatialReferenceH sa = OSRNewSpatialReference(a.c_str());
    OGRSpatialReferenceH sb = OSRNewSpatialReference(b.c_str());
    const bool same = sa != nullptr && sb != nullptr && OSRIsSame(sa, sb) != 0;
    OSRDestroySpatialReference(sa);
    OSRDestroySpatialReference(sb);
    return same;
}

std::string FrameDifference(const GridFrame& a, const GridFrame& b) {
    if (a.rows != b.rows || a.cols != b.cols)
        return std::to_string(b.rows) + " x " + std::to_string(b.cols) + " cells|" + std::to_string(a.rows) +
               " x " + std::to_string(a.cols);
    const auto& ta = a.geoTransform;
    const auto& tb = b.geoTransform;
    const double cell = std::max(std::fabs(ta[1]), std::fabs(ta[5]));
    const double tolerance = 1e-3 * (cell > 0 ? cell : 1.0);
    for (int i : {1, 2, 4, 5})
        if (std::fabs(ta[std::size_t(i)] - tb[std::size_t(i)]) > tolerance)
            return "cells of " + Number(tb[1]) + " x " + Number(-tb[5]) + "|" + Number(ta[1]) + " x " +
                   Number(-ta[5]);
    if (std::fabs(ta[0] - tb[0]) > tolerance || std::fabs(ta[3] - tb[3]) > tolerance)
        return "origin " + Number(tb[0]) + ", " + Number(tb[3]) + "|" + Number(ta[0]) + ", " + Number(ta[3]);
    if (!SameCrs(a.crsWkt, b.crsWkt)) return CrsName(b.crsWkt) + "|" + CrsName(a.crsWkt);
    return {};
}

void RequireSameFrame(const std::string& pathA, const GridFrame& a, const std::string& pathB,
                      const GridFrame& b) {
    const std::string difference = FrameDifference(a, b);
    if (difference.empty()) return;
    const std::size_t bar = difference.find('|');
    throw GeoError(pathB + ": " + difference.substr(0, bar) + ", but " + pathA + " has " +
                   difference.substr(bar + 1) + " (quarnel align puts rasters on one grid)");
}

void InitialiseGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        if (std::getenv("GDAL_CACHEMAX") == nullptr) GDALSetCacheMax64(64 << 20);
        CPLSetErrorHandler(CPLQuietErrorHandler);
    });
}

namespace {

std::atomic<long> datasetOpens{0};

// GDAL's raster drivers but those that fetch from a network (a local XML file or a name can
// point them at a server): every source is opened with this list.
char** LocalDrivers() {
    static const std::vector<std::string> names = [] {
        const std::set<std::string> network = {"WMS",      "WMTS",          "WCS",    "HTTP",     "DAAS",
                                               "EEDAI",    "OGCAPI",        "STACIT", "STACTA",   "NGW",
                                               "PLMOSAIC", "PostGISRaster", "ESRIC",  "SENTINEL2"};
        std::vector<std::string> local;
        for (int i = 0; i < GDALGetDriverCount(); ++i) {
            GDALDriverH driver = GDALGetDriver(i);
            const std::string name = GDALGetDriverShortName(driver);
            if (GDALGetMetadataItem(driver, GDAL_DCAP_RASTER, nullptr) != nullptr && !network.contains(name))
                local.push_back(name);
        }
        return local;
    }();
    static const std::vector<char*> list = [] {
        std::vector<char*> pointers;
        pointers.reserve(names.size() + 1);
        for (const std::string& name : names) pointers.push_back(const_cast<char*>(name.c_str()));
        pointers.push_back(nullptr);
        return pointers;
    }();
    return const_cast<char**>(list.data());
}

// Opens path with GDAL (read-only, local drivers only), counted; null when no driver opens it.
GDALDatasetH OpenDataset(const std::string& path) {
    InitialiseGdal();
    ++datasetOpens;
    return GDALOpenEx(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, LocalDrivers(), nullptr, nullptr);
}

// The dataset IsGdalRaster opened, kept for the Raster::Open that follows it, so a source a
// command first tells apart and then reads is opened once.
struct PendingDataset {
    std::mutex mutex;
    std::string path;
    GDALDatasetH dataset = nullptr;

    void Keep(const std::string& opened, GDALDatasetH handle) {
        std::lock_guard lock(mutex);
        if (dataset != nullptr) GDALClose(dataset);
        path = opened;
        dataset = handle;
    }
    GDALDatasetH Take(const std::string& wanted) {
        std::lock_guard lock(mutex);
        if (dataset == nullptr || path != wanted) return nullptr;
        return std::exchange(dataset, nullptr);
    }
    ~PendingDataset() {
        if (dataset != nullptr) GDALClose(dataset);
    }
};

PendingDataset& Pending() {
    static PendingDataset pending;
    return pending;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    return text;
}

// A name GDAL would fetch over a network: a URL or one of its network file systems.
bool IsRemoteName(const std::string& name) {
    const std::string lower = Lower(name);
    for (const char* scheme : {"/vsicurl", "/vsis3", "/vsigs", "/vsiaz", "/vsiadls", "/vsioss", "/vsiswift",
                               "/vsiwebhdfs", "/vsihdfs", "://"})
        if (lower.find(scheme) != std::string::npos) return true;
    return false;
}

// The first bytes of a file, white space skipped.
std::string HeadOf(const std::string& path, std::size_t size) {
    std::ifstream file(path, std::ios::binary);
    std::string head(size, '\0');
    file.read(head.data(), std::streamsize(size));
    head.resize(std::size_t(file.gcount()));
    const std::size_t start = head.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
    return start == std::string::npos ? std::string() : head.substr(start);
}

// The text of every <tag ...>text</tag> in an XML document, with whether the element says
// relativeToVRT="1".
std::vector<std::pair<std::string, bool>> ElementTexts(const std::string& xml, const std::string& tag) {
    std::vector<std::pair<std::string, bool>> texts;
    const std::string open = "<" + tag;
    const std::string close = "</" + tag + ">";
    for (std::size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
        const std::size_t end = xml.find('>', at);
        const std::size_t stop = end == std::string::npos ? end : xml.find(close, end);
        if (stop == std::string::npos) break;
        const std::string attributes = xml.substr(at, end - at);
        const bool relative = attributes.find("relativeToVRT=\"1\"") != std::string::npos ||
                              attributes.find("relativetoVRT=\"1\"") != std::string::npos;
        std::string text = xml.substr(end + 1, stop - end - 1);
        for (const auto& [entity, character] : {std::pair{"&amp;", "&"}, std::pair{"&lt;", "<"},
                                                std::pair{"&gt;", ">"}, std::pair{"&quot;", "\""}})
            for (std::size_t k = text.find(entity); k != std::string::npos; k = text.find(entity, k + 1))
                text.replace(k, std::strlen(entity), character);
        texts.emplace_back(text, relative);
    }
    return texts;
}

void RefuseUnsafeSource(const std::string& path, const std::string& via, int depth);

// A VRT's sources (and a warped VRT's source dataset) must be safe themselves.
void RefuseUnsafeVrtSources(const std::string& path, int depth) {
    constexpr std::uintmax_t kLargestVrt = 64 << 20;
    std::error_code error;
    if (std::filesystem::file_size(path, error) > kLargestVrt && !error)
        throw GeoError(path + ": a VRT file larger than 64 MB");
    const std::string xml = HeadOf(path, std::size_t(kLargestVrt));
    for (const char* tag : {"SourceFilename", "SourceDataset", "OverviewDataset"})
        for (const auto& [name, relative] : ElementTexts(xml, tag)) {
            const std::filesystem::path source =
                relative ? std::filesystem::path(path).parent_path() / name : std::filesystem::path(name);
            RefuseUnsafeSource(source.string(), path, depth + 1);
        }
}

// A source GDAL may open without blocking or reaching a network: a local regular file (or
// folder, for formats that are folders), and for a VRT each of its sources likewise.
void RefuseUnsafeSource(const std::string& path, const std::string& via, int depth) {
    const std::string where = via.empty() ? path : via + ": its source " + path;
    if (depth > 8) throw GeoError(where + ": VRT files nested more than 8 deep");
    if (IsRemoteName(path)) throw GeoError(where + ": a remote source; quarnel reads local files only");
    if (path.rfind("/vsi", 0) == 0 || path.find(":::") != std::string::npos)
        throw GeoError(where + ": not a file (GDAL's virtual names are not read)");
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        if (via.empty()) return;  // the opener names the missing file in its own words
        throw GeoError(where + ": no such file");
    }
    if (std::filesystem::is_directory(status)) return;
    if (!std::filesystem::is_regular_file(status)) throw GeoError(where + ": not a regular file");
    const std::string head = HeadOf(path, 64);
    if (head.rfind("<VRTDataset", 0) == 0) return RefuseUnsafeVrtSources(path, depth);
    for (const char* service : {"<GDAL_WMS", "<GDAL_WCS", "<WCS_GDAL", "<GDAL_WMTS", "<WMS_Tile_Service",
                                "<Capabilities", "<WMT_MS_Capabilities"})
        if (head.rfind(service, 0) == 0)
            throw GeoError(where + ": describes a network service; quarnel reads local files only");
}

}  // namespace

bool NamesRemoteSource(const std::string& name) {
    return IsRemoteName(name);
}

void* OpenGdalDataset(const std::string& path) {
    RefuseUnsafeSource(path, {}, 0);
    if (GDALDatasetH pending = Pending().Take(path)) return pending;
    return OpenDataset(path);
}

long GdalDatasetOpens() {
    return datasetOpens.load();
}

// Where a Raster's rows come from.
class RasterSource {
  public:
    virtual ~RasterSource() = default;
    GridFrame frame;
    virtual int BandCount() const = 0;
    virtual std::string Format() const = 0;
    virtual std::string BandName(int band) const = 0;
    virtual std::optional<double> NoData(int band) const = 0;
    virtual void ReadRows(int band, int first, int count, double* out, double noDataAs) const = 0;
    virtual bool HoldsInt32(int) const { return false; }
    virtual void ReadInt32Rows(int, int, int, std::int32_t*) const {
        throw std::logic_error("ReadInt32Rows of a band that holds no integers");
    }
    virtual int PreferredRowCount() const { return 256; }
    virtual std::string NoDataRule(int band) const = 0;
    virtual std::int64_t NonFiniteCells(int) const { return 0; }
};

namespace {

// A design file read whole: bands of rows x cols, north-up, no-data already NaN.
class DesignSource final : public RasterSource {
  public:
    std::string format;
    std::vector<std::string> names;
    std::vector<std::vector<double>> bands;
    std::optional<double> noData;
    std::string rule;
    std::vector<std::int64_t> nonFinite;  // per band; only HXF grids can hold +-inf

    int BandCount() const override { return int(bands.size()); }
    std::string NoDataRule(int) const override { return rule; }
    std::int64_t NonFiniteCells(int band) const override {
        return nonFinite.empty() ? 0 : nonFinite[std::size_t(band - 1)];
    }
    std::string Format() const override { return format; }
    std::string BandName(int band) const override {
        return names.empty() ? std::string() : names[std::size_t(band - 1)];
    }
    std::optional<double> NoData(int) const override { return noData; }
    void ReadRows(int band, int first, int count, double* out, double noDataAs) const override {
        const auto& values = bands[std::size_t(band - 1)];
        const std::size_t n = std::size_t(count) * std::size_t(frame.cols);
        const double* from = values.data() + std::size_t(first) * std::size_t(frame.cols);
        for (std::size_t i = 0; i < n; ++i) out[i] = std::isnan(from[i]) ? noDataAs : from[i];
    }
};

// Sets a frame from the centres of the first and last column and row (south to north).
void FrameFromCentres(GridFrame& frame, double xFirst, double xLast, double yFirst, double yLast) {
    const double dx = frame.cols > 1 ? (xLast - xFirst) / (frame.cols - 1) : 1.0;
    const double dy = frame.rows > 1 ? (yLast - yFirst) / (frame.rows - 1) : 1.0;
    if (!(dx > 0) || !(dy > 0) || !std::isfinite(dx) || !std::isfinite(dy)) {
        frame.geoTransform = {0, 1, 0, double(frame.rows), 0, -1};
        return;
    }
    frame.geoTransform = {xFirst - dx / 2, dx, 0, yLast + dy / 2, 0, -dy};
}

// Rows of a design text grid run south to north: row r of the file is row rows-1-r here.
void PutSouthFirstRow(std::vector<double>& band, int cols, int rows, int fileRow, const double* values,
                      bool (*blank)(double, double), double blankValue) {
    double* row = band.data() + std::size_t(rows - 1 - fileRow) * std::size_t(cols);
    for (int c = 0; c < cols; ++c) row[c] = blank(values[c], blankValue) ? kNaN : values[c];
}

// A design grid is read by its own rule, the one its jobs apply (a value within 1 of the blank
// value), so a grid means the same through either door; DSAA and HXF also take Surfer's blank,
// which the design's jobs would read as a value.
const char* const kDsaaRule =
    "values within 1 of 99999 (the design's rule), and 1.70141e38 and above (Surfer's blank)";

bool IsDsaaBlank(double v, double) {
    return !std::isfinite(v) || prep::IsBlank(v, DSAA_BLANK) || v >= kSurferBlank;
}
bool IsDesignBlank(double v, double blank) {
    return std::isnan(v) || prep::IsBlank(v, blank);
}
bool IsValueBlank(double v, double blank) {
    return std::isnan(v) || v == blank;
}

[[noreturn]] void RefuseGrid(const std::string& path, const GridReadResult& read) {
    throw GeoError(path + ": " + GridReadStatusText(read.status) + " (byte " + std::to_string(read.position) +
                   ")");
}

std::unique_ptr<RasterSource> OpenDsaa(const std::string& path) {
    DsaaGrid grid;
    const GridReadResult read = ReadDsaaGrid(path.c_str(), &grid);
    if (!read.ok()) RefuseGrid(path, read);
    auto source = std::make_unique<DesignSource>();
    source->format = "DSAA";
    source->noData = DSAA_BLANK;
    source->rule = kDsaaRule;
    source->frame.rows = grid.ny;
    source->frame.cols = grid.nx;
    FrameFromCentres(source->frame, grid.ranges[0], grid.ranges[1], grid.ranges[2], grid.ranges[3]);
    auto& band = source->bands.emplace_back(std::size_t(grid.ny) * std::size_t(grid.nx));
    for (int r = 0; r < grid.ny; ++r)
        PutSouthFirstRow(band, grid.nx, grid.ny, r, grid.values.get()[r], IsDsaaBlank, DSAA_BLANK);
    return source;
}

std::unique_ptr<RasterSource> OpenKvsgdb(const std::string& path) {
    WorkingGrid grid;
    const GridReadResult read = LoadWorkingGrid(path.c_str(), &grid);
    if (!read.ok()) RefuseGrid(path, read);
    auto source = std::make_unique<DesignSource>();
    source->format = "KVSGDB01";
    source->noData = grid.blank;
    source->rule =
        "values within 1 of the header's blank value " + Number(grid.blank) + " (the design's rule)";
    source->frame.rows = grid.rows;
    source->frame.cols = grid.cols;
    source->frame.geoTransform = {0, 1, 0, double(grid.rows), 0, -1};
    auto& band = source->bands.emplace_back(std::size_t(grid.rows) * std::size_t(grid.cols));
    for (int r = 0; r < grid.rows; ++r)
        PutSouthFirstRow(band, grid.cols, grid.rows, r, grid.values.get()[r], IsDesignBlank, grid.blank);
    return source;
}

std::unique_ptr<RasterSource> OpenKvsgda(const std::string& path) {
    KvsgdaReader reader;
    if (!reader.Open(path.c_str())) throw GeoError(path + ": cannot be opened");
    KvsgdaHeader header;
    ScanResult scan = reader.ReadHeader(&header);
    if (!scan.ok())
        throw GeoError(path + ": not a KVSGDA01 grid header (byte " + std::to_string(scan.position) + ")");
    auto source = std::make_unique<DesignSource>();
    source->format = "KVSGDA01";
    source->noData = header.blankValue;
    source->rule = "the header's blank value " + Number(header.blankValue) + " exactly";
    source->frame.rows = header.rows;
    source->frame.cols = header.cols;
    FrameFromCentres(source->frame, header.reals[0], header.reals[1], header.reals[2], header.reals[3]);
    const std::size_t cols = std::size_t(header.cols);
    auto& band = source->bands.emplace_back(std::size_t(header.rows) * cols);
    std::vector<double> row(cols);
    for (int r = 0; r < header.rows; ++r) {
        for (std::size_t c = 0; c < cols; ++c) {
            float v = 0;
            scan = reader.Next(v);
            if (!scan.ok())
                throw GeoError(path + ": value of row " + std::to_string(r + 1) + ", column " +
                               std::to_string(c + 1) + " is missing or not a number (byte " +
                               std::to_string(scan.position) + ")");
            row[c] = v;
        }
        PutSouthFirstRow(band, header.cols, header.rows, r, row.data(), IsValueBlank,
                         double(header.blankValue));
    }
    return source;
}

std::unique_ptr<RasterSource> OpenHxf(const std::string& path) {
    HxfFile file(path.c_str());
    auto source = std::make_unique<DesignSource>();
    source->format = "HXF";
    source->noData = DSAA_BLANK;
    source->rule = std::string("NaN, +-inf (counted), ") + kDsaaRule;
    source->frame.rows = file.info().rows;
    source->frame.cols = file.info().cols;
    source->frame.geoTransform = {0, 1, 0, double(file.info().rows), 0, -1};
    HXFGridGCSInfo gcs{};
    if (GetGridGCSInfo(file.handle(), &gcs) == HXF_OK && gcs.code != 0 && gcs.cellWidth > 0 &&
        gcs.cellHeight > 0)
        source->frame.geoTransform = {gcs.originX, gcs.cellWidth,
                                      0,           gcs.originY + gcs.cellHeight * file.info().rows,
                                      0,           -gcs.cellHeight};
    const int rows = file.info().rows;
    const int cols = file.info().cols;
    for (int k = 1; k <= file.GridCount(); ++k) {
        const std::string id = file.GridId(k);
        CxArray<double> array(0, 0, ZT_STOR_ROWMAJOR);
        if (file.Load(id, HXF_DOUBLE, array) != HXF_OK || array.Data() == nullptr)
            throw GeoError(path + ": grid " + std::to_string(k) + " (" + id + ") cannot be loaded");
        auto& band = source->bands.emplace_back(std::size_t(rows) * std::size_t(cols));
        const double* values = array.Data();
        source->nonFinite.push_back(
            std::count_if(values, values + band.size(), [](double v) { return std::isinf(v); }));
        for (int r = 0; r < rows; ++r)
            PutSouthFirstRow(band, cols, rows, r, values + std::size_t(r) * std::size_t(cols), IsDsaaBlank,
                             DSAA_BLANK);
        source->names.push_back(id);
    }
    if (source->bands.empty()) throw GeoError(path + ": an HXF file holding no grid");
    return source;
}

// A raster GDAL opened, read through its block cache.
class GdalSource final : public RasterSource {
  public:
    explicit GdalSource(GDALDatasetH dataset)
        : dataset_(dataset),
          counted_(std::size_t(GDALGetRasterCount(dataset))),
          nonFinite_(std::size_t(GDALGetRasterCount(dataset))) {}
    ~GdalSource() override { GDALClose(dataset_); }
    GdalSource(const GdalSource&) = delete;
    GdalSource& operator=(const GdalSource&) = delete;

    int BandCount() const override { return GDALGetRasterCount(dataset_); }
    std::string Format() const override { return GDALGetDriverShortName(GDALGetDatasetDriver(dataset_)); }
    std::string BandName(int band) const override {
        const char* description = GDALGetDescription(GDALGetRasterBand(dataset_, band));
        return description != nullptr ? description : "";
    }
    std::optional<double> NoData(int band) const override {
        int has = 0;
        const double value = GDALGetRasterNoDataValue(GDALGetRasterBand(dataset_, band), &has);
        if (has == 0) return std::nullopt;
        return value;
    }
    void ReadRows(int band, int first, int count, double* out, double noDataAs) const override {
        GDALRasterBandH handle = GDALGetRasterBand(dataset_, band);
        if (GDALRasterIO(handle, GF_Read, 0, first, frame.cols, count, out, frame.cols, count, GDT_Float64, 0,
                         0) != CE_None)
            throw GeoError(std::string(GDALGetDescription(dataset_)) + ": rows " + std::to_string(first + 1) +
                           " to " + std::to_string(first + count) + " of band " + std::to_string(band) +
                           " cannot be read: " + CPLGetLastErrorMsg());
        const std::optional<double> noData = NoData(band);
        const double same = noData ? *noData : kNaN;  // compares unequal to every value when absent
        const double surfer = IsSurfer() ? kSurferBlank : std::numeric_limits<double>::infinity();
        const std::size_t n = std::size_t(count) * std::size_t(frame.cols);
        std::int64_t infinite = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double v = out[i];
            const bool finite = std::isfinite(v) || std::isnan(v);
            infinite += finite ? 0 : 1;
            out[i] = v == same || v >= surfer || !std::isfinite(v) ? noDataAs : v;
        }
        CountNonFinite(band, first, count, infinite);
    }
    bool HoldsInt32(int band) const override {
        switch (GDALGetRasterDataType(GDALGetRasterBand(dataset_, band))) {
            case GDT_Byte:
            case GDT_Int16:
            case GDT_UInt16:
            case GDT_Int32:
                return true;
            default:
                return false;
        }
    }
    void ReadInt32Rows(int band, int first, int count, std::int32_t* out) const override {
        GDALRasterBandH handle = GDALGetRasterBand(dataset_, band);
        if (GDALRasterIO(handle, GF_Read, 0, first, frame.cols, count, out, frame.cols, count, GDT_Int32, 0,
                         0) != CE_None)
            throw GeoError(std::string(GDALGetDescription(dataset_)) + ": rows " + std::to_string(first + 1) +
                           " to " + std::to_string(first + count) + " of band " + std::to_string(band) +
                           " cannot be read: " + CPLGetLastErrorMsg());
    }
    std::string NoDataRule(int band) const override {
        std::string rule = "NaN, +-inf (counted)";
        if (const std::optional<double> noData = NoData(band); noData && !std::isnan(*noData))
            rule += " and the band's no-data value " + Number(*noData) + " exactly";
        if (IsSurfer()) rule += " and 1.70141e38 and above (Surfer's blank)";
        return rule;
    }
    std::int64_t NonFiniteCells(int band) const override { return nonFinite_[std::size_t(band - 1)]; }
    int PreferredRowCount() const override {
        int width = 0;
        int height = 0;
        GDALGetBlockSize(GDALGetRasterBand(dataset_, 1), &width, &height);
        return std::clamp(height, 1, 1024);
    }

  private:
    bool IsSurfer() const { return Format().rfind("GS", 0) == 0; }
    // Each strip is counted the first time it is read, however often a method reads it.
    void CountNonFinite(int band, int first, int count, std::int64_t cells) const {
        auto& counted = counted_[std::size_t(band - 1)];
        const auto key = std::pair{first, count};
        if (std::find(counted.begin(), counted.end(), key) != counted.end()) return;
        counted.push_back(key);
        nonFinite_[std::size_t(band - 1)] += cells;
    }

    GDALDatasetH dataset_;
    mutable std::vector<std::vector<std::pair<int, int>>> counted_;
    mutable std::vector<std::int64_t> nonFinite_;
};

std::unique_ptr<RasterSource> OpenWithGdal(const std::string& path) {
    InitialiseGdal();
    CPLErrorReset();
    GDALDatasetH dataset = Pending().Take(path);
    if (dataset == nullptr) dataset = OpenDataset(path);
    if (dataset == nullptr) {
        const std::string why = CPLGetLastErrorMsg();
        throw GeoError(path + ": not a raster GDAL can open" + (why.empty() ? "" : " (" + why + ")"));
    }
    auto source = std::make_unique<GdalSource>(dataset);
    source->frame.rows = GDALGetRasterYSize(dataset);
    source->frame.cols = GDALGetRasterXSize(dataset);
    if (GDALGetRasterCount(dataset) < 1) throw GeoError(path + ": holds no raster band");
    double transform[6];
    if (GDALGetGeoTransform(dataset, transform) == CE_None)
        std::copy_n(transform, 6, source->frame.geoTransform.begin());
    else
        source->frame.geoTransform = {0, 1, 0, double(source->frame.rows), 0, -1};
    const char* wkt = GDALGetProjectionRef(dataset);
    source->frame.crsWkt = wkt != nullptr ? wkt : "";
    return source;
}

enum class DesignKind { none, dsaa, kvsgdb01, kvsgda01, hxf };

DesignKind DetectDesignKind(const std::string& path) {
    if (DetectGridKind(path.c_str()) == GridFileKind::kvsgdb01) return DesignKind::kvsgdb01;
    if (StartsAsDsaa(path.c_str())) return DesignKind::dsaa;
    std::ifstream file(path, std::ios::binary);
    char head[9] = {};
    file.read(head, 8);
    std::string word(head, std::size_t(file.gcount()));
    std::transform(word.begin(), word.end(), word.begin(), [](char c) { return char(std::toupper(c)); });
    if (word == "KVSGDA01") return DesignKind::kvsgda01;
    if (HxfFile(path.c_str()).IsOpen()) return DesignKind::hxf;
    return DesignKind::none;
}

}  // namespace

bool IsDesignGrid(const std::string& path) {
    return DetectDesignKind(path) != DesignKind::none;
}

void RefuseSpecialFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_directory(status))
        throw GeoError(path + ": not a regular file");
}

bool IsGdalRaster(const std::string& path) {
    try {
        RefuseUnsafeSource(path, {}, 0);
    } catch (const GeoError&) {
        return true;  // the GDAL door refuses it, naming the cause
    }
    // Identification alone is not enough: some drivers claim files by their size. The dataset is
    // kept for the Raster::Open that follows.
    GDALDatasetH dataset = OpenDataset(path);
    if (dataset == nullptr) return false;
    Pending().Keep(path, dataset);
    return true;
}

Raster Raster::Open(const std::string& path) {
    RefuseUnsafeSource(path, {}, 0);
    switch (DetectDesignKind(path)) {
        case DesignKind::dsaa:
            return Raster(path, OpenDsaa(path));
        case DesignKind::kvsgdb01:
            return Raster(path, OpenKvsgdb(path));
        case DesignKind::kvsgda01:
            return Raster(path, OpenKvsgda(path));
        case DesignKind::hxf:
            return Raster(path, OpenHxf(path));
        case DesignKind::none:
            break;
    }
    return Raster(path, OpenWithGdal(path));
}

Raster::Raster(std::string path, std::unique_ptr<RasterSource> source)
    : path_(std::move(path)), source_(std::move(source)) {}
Raster::Raster(Raster&&) noexcept = default;
Raster& Raster::operator=(Raster&&) noexcept = default;
Raster::~Raster() = default;

const GridFrame& Raster::frame() const {
    return source_->frame;
}
int Raster::BandCount() const {
    return source_->BandCount();
}
std::string Raster::Format() const {
    return source_->Format();
}
std::string Raster::BandName(int band) const {
    return source_->BandName(band);
}
std::optional<double> Raster::NoData(int band) const {
    return source_->NoData(band);
}
int Raster::PreferredRowCount() const {
    return source_->PreferredRowCount();
}
std::string Raster::NoDataRule(int band) const {
    return source_->NoDataRule(band);
}
std::int64_t Raster::NonFiniteCells(int band) const {
    return source_->NonFiniteCells(band);
}

void Raster::RequireRows(int band, int first, int count) const {
    if (band < 1 || band > BandCount()) throw GeoError(path_ + ": has no band " + std::to_string(band));
    if (first < 0 || count < 0 || first + count > frame().rows)
        throw GeoError(path_ + ": rows " + std::to_string(first) + "+" + std::to_string(count) +
                       " lie outside");
}
void Raster::ReadRows(int band, int first, int count, double* out, double noDataAs) const {
    RequireRows(band, first, count);
    source_->ReadRows(band, first, count, out, noDataAs);
}
bool Raster::HoldsInt32(int band) const {
    return band >= 1 && band <= BandCount() && source_->HoldsInt32(band);
}
std::optional<std::int32_t> Raster::Int32NoData(int band) const {
    const std::optional<double> value = NoData(band);
    if (!value || !(*value >= std::numeric_limits<std::int32_t>::min()) ||
        !(*value <= std::numeric_limits<std::int32_t>::max()) || *value != std::floor(*value))
        return std::nullopt;
    return std::int32_t(*value);
}
void Raster::ReadInt32Rows(int band, int first, int count, std::int32_t* out) const {
    RequireRows(band, first, count);
    if (!source_->HoldsInt32(band))
        throw GeoError(path_ + ": band " + std::to_string(band) + " holds no integers");
    source_->ReadInt32Rows(band, first, count, out);
}

RasterData ReadRaster(const std::string& path, int band) {
    const Raster raster = Raster::Open(path);
    RasterData data;
    data.frame = raster.frame();
    data.noData = raster.NoData(band);
    data.values.resize(std::size_t(data.frame.rows) * std::size_t(data.frame.cols));
    raster.ReadRows(band, 0, data.frame.rows, data.values.data());
    return data;
}

}  // namespace quarnel::geo
