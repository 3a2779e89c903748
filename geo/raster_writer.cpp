#include "geo/raster_writer.h"

#include <cpl_string.h>
#include <gdal.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <span>
#include <sstream>
#include <vector>

#include "formats/grid/dsaa_reader.h"
#include "formats/grid/kvsgda.h"
#include "formats/grid/same_file.h"
#include "formats/grid/text_sink.h"
#include "formats/hxf/ihxf.h"

namespace quarnel::geo {

namespace {

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    return extension;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    return std::equal(a.begin(), a.end(), b, b + std::strlen(b),
                      [](char x, char y) { return std::toupper(static_cast<unsigned char>(x)) == y; });
}

constexpr const char* kPart = ".part";

// Where a file is put in place: a hidden name beside the final path, unique to this process and
// to each writer in it (two writers of one process must not share a temporary).
std::string TemporaryPathBeside(const std::filesystem::path& final) {
    static std::atomic<unsigned> writers{0};
    std::string name = ".";
    name.append(final.filename().string()).append(kPart).append(std::to_string(getpid()));
    name.append("-").append(std::to_string(++writers)).append(final.extension().string());
    return (final.parent_path() / name).string();
}

// A run killed while writing leaves its temporary (and GDAL's side files of it); the next run
// writing the same path removes those of processes that no longer exist.
void SweepAbandonedParts(const std::filesystem::path& final) {
    std::string prefix = ".";
    prefix.append(final.filename().string()).append(kPart);
    const std::filesystem::path folder = final.parent_path().empty() ? "." : final.parent_path();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const char* digits = name.c_str() + prefix.size();
        char* end = nullptr;
        const unsigned long pid = std::strtoul(digits, &end, 10);
        if (end == digits || *end != '-' || pid == 0) continue;
        if (kill(pid_t(pid), 0) != 0 && errno == ESRCH) std::filesystem::remove(entry.path(), error);
    }
}

// The file a write to path lands on: its links followed, as the design's outputs do.
std::filesystem::path WrittenPath(const std::string& path) {
    return FollowLinks(std::filesystem::path(path));
}

bool IsDesignExtension(const std::string& extension) {
    return extension.empty() || extension == ".grd" || extension == ".txt" || extension == ".dat";
}

bool ListsExtension(GDALDriverH driver, const std::string& extension) {
    const char* listed = GDALGetMetadataItem(driver, GDAL_DMD_EXTENSIONS, nullptr);
    if (listed == nullptr) return false;
    const std::string wanted = extension.substr(1);
    std::istringstream words(listed);
    for (std::string word; words >> word;) {
        std::transform(word.begin(), word.end(), word.begin(),
                       [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
        if (word == wanted) return true;
    }
    return false;
}

bool WritesRasters(GDALDriverH driver) {
    return GDALGetMetadataItem(driver, GDAL_DCAP_RASTER, nullptr) != nullptr &&
           (GDALGetMetadataItem(driver, GDAL_DCAP_CREATE, nullptr) != nullptr ||
            GDALGetMetadataItem(driver, GDAL_DCAP_CREATECOPY, nullptr) != nullptr);
}

// The GDAL driver that writes path: the one named, else the first by GDAL's registration order
// whose metadata lists the extension and that can create or copy a raster.
GDALDriverH GdalDriverFor(const std::string& path, const WriteOptions& options) {
    InitialiseGdal();
    if (!options.format.empty()) {
        GDALDriverH driver = GDALGetDriverByName(options.format.c_str());
        if (driver == nullptr || GDALGetMetadataItem(driver, GDAL_DCAP_RASTER, nullptr) == nullptr)
            throw GeoError(path + ": no GDAL raster driver named \"" + options.format + "\"");
        if (!WritesRasters(driver))
            throw GeoError(path + ": GDAL's " + options.format + " driver cannot write rasters");
        return driver;
    }
    const std::string extension = LowerExtension(path);
    for (int i = 0; i < GDALGetDriverCount(); ++i) {
        GDALDriverH driver = GDALGetDriver(i);
        if (WritesRasters(driver) && ListsExtension(driver, extension)) return driver;
    }
    throw GeoError(path + ": no raster format writes the extension \"" + extension +
                   "\" (name a GDAL driver with --format, or use .tif)");
}

// True when the driver lists the data type among those it creates (a driver listing none takes any).
bool HoldsType(GDALDriverH driver, GDALDataType type) {
    const char* listed = GDALGetMetadataItem(driver, GDAL_DMD_CREATIONDATATYPES, nullptr);
    if (listed == nullptr) return true;
    std::istringstream words(listed);
    for (std::string word; words >> word;)
        if (word == GDALGetDataTypeName(type)) return true;
    return false;
}

// Running statistics of the values written to one band, as the file stores them.
struct BandStatistics {
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    double sum = 0;
    double squares = 0;
    std::int64_t count = 0;

    void Add(double v) {
        min = v < min ? v : min;
        max = v > max ? v : max;
        sum += v;
        squares += v * v;
        ++count;
    }
};

}  // namespace

OutputKind OutputKindOf(const std::string& path, const WriteOptions& options) {
    if (!options.format.empty()) {
        for (const auto& [name, kind] :
             {std::pair{"DSAA", OutputKind::dsaa}, std::pair{"KVSGDA01", OutputKind::kvsgda},
              std::pair{"HXF", OutputKind::hxf}})
            if (EqualsIgnoringCase(options.format, name)) return kind;
        return OutputKind::gdal;
    }
    const std::string extension = LowerExtension(path);
    if (extension == ".hxf") return OutputKind::hxf;
    return IsDesignExtension(extension) ? OutputKind::dsaa : OutputKind::gdal;
}

bool IsGdalOutput(const std::string& path, const WriteOptions& options) {
    return OutputKindOf(path, options) == OutputKind::gdal;
}

void RefuseOutputsOverInputs(const std::vector<std::string>& outputs,
                             const std::vector<std::string>& inputs) {
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        for (const std::string& input : inputs)
            if (SameExistingFile(outputs[k].c_str(), input.c_str()))
                throw GeoError(outputs[k] + ": is the input " + input + "; it is not overwritten");
        for (std::size_t j = 0; j < k; ++j)
            if (SameOutputFile(outputs[j].c_str(), outputs[k].c_str()))
                throw GeoError(outputs[k] + ": is also the output " + outputs[j] +
                               "; two outputs cannot be one file");
    }
}

// Where a RasterWriter's rows go.
class RasterSink {
  public:
    RasterSink(std::string path, const GridFrame& frame, int bands, std::optional<double> noData,
               bool float64)
        : path_(std::move(path)),
          frame_(frame),
          statistics_(std::size_t(bands)),
          noData_(noData),
          float64_(float64) {}
    virtual ~RasterSink() = default;

    void WriteRows(int band, int first, int count, const double* values) {
        if (band < 1 || band > int(statistics_.size()) || first < 0 || count < 0 ||
            first + count > frame_.rows)
            throw GeoError(path_ + ": rows written outside the raster");
        const std::size_t n = std::size_t(count) * std::size_t(frame_.cols);
        stored_.resize(n);
        // Local running values: the compiler cannot keep members in registers across stores into
        // stored_, which it must assume may alias them.
        BandStatistics s = statistics_[std::size_t(band - 1)];
        const bool hasNoData = noData_.has_value();
        const double noData = hasNoData ? *noData_ : 0.0;
        double* stored = stored_.data();
        for (std::size_t i = 0; i < n; ++i) {
            double v = values[i];
            if (std::isnan(v)) {
                stored[i] = hasNoData ? noData : v;
                continue;
            }
            if (!float64_) v = double(static_cast<float>(v));
            if (hasNoData && v == noData)
                throw GeoError(path_ + ": a computed value equals the no-data value " +
                               std::to_string(noData) + " (row " +
                               std::to_string(first + int(i / std::size_t(frame_.cols)) + 1) + ")");
            s.Add(v);
            stored[i] = v;
        }
        statistics_[std::size_t(band - 1)] = s;
        Store(band, first, count, stored_.data());
    }
    virtual void SetBandName(int, const std::string&) {}
    virtual void Commit() = 0;

  protected:
    virtual void Store(int band, int first, int count, const double* values) = 0;

    std::string path_;
    GridFrame frame_;
    std::vector<BandStatistics> statistics_;
    std::optional<double> noData_;
    bool float64_;
    std::vector<double> stored_;
};

namespace {

// A raster of a GDAL driver, created under a temporary name beside the final path. Drivers that
// can only copy, or cannot hold the values and were allowed to convert them, get an in-memory
// raster copied out at Commit.
class GdalSink final : public RasterSink {
  public:
    GdalSink(const std::string& path, const GridFrame& frame, int bands, std::optional<double> noData,
             const WriteOptions& options)
        : RasterSink(path, frame, bands, noData ? noData : std::optional<double>(std::nan("")),
                     options.float64),
          driver_(GdalDriverFor(path, options)) {
        const std::string format = GDALGetDriverShortName(driver_);
        const GDALDataType type = options.float64 ? GDT_Float64 : GDT_Float32;
        if (!HoldsType(driver_, type) && !options.convert)
            throw GeoError(path + ": GDAL's " + format + " driver cannot hold " + GDALGetDataTypeName(type) +
                           " values (it writes " +
                           GDALGetMetadataItem(driver_, GDAL_DMD_CREATIONDATATYPES, nullptr) +
                           "); ask for the conversion with --convert, or write .tif");
        const bool creates =
            GDALGetMetadataItem(driver_, GDAL_DCAP_CREATE, nullptr) != nullptr && HoldsType(driver_, type);
        final_ = WrittenPath(path).string();
        SweepAbandonedParts(final_);
        temporary_ = TemporaryPathBeside(final_);
        char** creation = nullptr;
        if (format == "GTiff") {
            creation = CSLSetNameValue(creation, "TILED", "YES");
            creation = CSLSetNameValue(creation, "COMPRESS", "DEFLATE");
            // The floating-point predictor with the fastest level: on a 64-million-cell probability
            // map, 14 % smaller than level 6 without a predictor, and 40 % less compressing time.
            creation = CSLSetNameValue(creation, "PREDICTOR", "3");
            creation = CSLSetNameValue(creation, "ZLEVEL", "1");
            creation = CSLSetNameValue(creation, "BIGTIFF", "IF_SAFER");
        }
        GDALDriverH target = creates ? driver_ : GDALGetDriverByName("MEM");
        CPLErrorReset();
        dataset_ = GDALCreate(target, creates ? temporary_.c_str() : "", frame.cols, frame.rows, bands, type,
                              creates ? creation : nullptr);
        creates_ = creates;
        convert_ = !HoldsType(driver_, type);
        copyCreation_ = creates ? nullptr : creation;
        if (creates) CSLDestroy(creation);
        if (dataset_ == nullptr) {
            const std::string why = CPLGetLastErrorMsg();
            CSLDestroy(copyCreation_);
            RemoveTemporary();  // a creation cut short (a full disk) may have left part of it
            throw GeoError(path + ": cannot be created (" + why + ")");
        }
        double transform[6];
        std::copy(frame.geoTransform.begin(), frame.geoTransform.end(), transform);
        GDALSetGeoTransform(dataset_, transform);
        if (!frame.crsWkt.empty()) GDALSetProjection(dataset_, frame.crsWkt.c_str());
        for (int b = 1; b <= bands; ++b) GDALSetRasterNoDataValue(GDALGetRasterBand(dataset_, b), *noData_);
    }
    ~GdalSink() override {
        CSLDestroy(copyCreation_);
        if (dataset_ != nullptr) GDALClose(dataset_);
        if (!committed_) RemoveTemporary();
    }

    void SetBandName(int band, const std::string& name) override {
        GDALSetDescription(GDALGetRasterBand(dataset_, band), name.c_str());
    }

    void Commit() override {
        for (std::size_t b = 0; b < statistics_.size(); ++b) {
            const BandStatistics& s = statistics_[b];
            if (s.count == 0) continue;
            const double mean = s.sum / double(s.count);
            const double variance = std::max(0.0, s.squares / double(s.count) - mean * mean);
            GDALSetRasterStatistics(GDALGetRasterBand(dataset_, int(b) + 1), s.min, s.max, mean,
                                    std::sqrt(variance));
        }
        CPLErrorReset();
        if (!creates_) {
            GDALDatasetH copy =
                GDALCreateCopy(driver_, temporary_.c_str(), dataset_, FALSE, copyCreation_, nullptr, nullptr);
            GDALClose(dataset_);
            dataset_ = nullptr;
            if (copy == nullptr)
                throw GeoError(path_ + ": cannot be written (" + std::string(CPLGetLastErrorMsg()) + ")");
            GDALClose(copy);
        } else {
            GDALClose(dataset_);
            dataset_ = nullptr;
        }
        if (CPLGetLastErrorType() >= CE_Failure)
            throw GeoError(path_ + ": cannot be written (" + std::string(CPLGetLastErrorMsg()) + ")");
        if (!ReadsBackAsWritten())
            throw GeoError(path_ +
                           ": cannot be written (what was written does not read back: the disk may be "
                           "full)");
        if (GDALRenameDataset(driver_, final_.c_str(), temporary_.c_str()) != CE_None)
            throw GeoError(path_ + ": cannot be put in place (" + std::string(CPLGetLastErrorMsg()) + ")");
        committed_ = true;
    }

  protected:
    void Store(int band, int first, int count, const double* values) override {
        if (GDALRasterIO(GDALGetRasterBand(dataset_, band), GF_Write, 0, first, frame_.cols, count,
                         const_cast<double*>(values), frame_.cols, count, GDT_Float64, 0, 0) != CE_None)
            throw GeoError(path_ + ": cannot be written (" + std::string(CPLGetLastErrorMsg()) + ")");
    }

  private:
    // Some drivers (HFA among them) do not report a write that failed, as on a full disk, so the
    // raster is read back and its statistics compared with those of what was written. GeoTIFF
    // reports its failures, and values converted on request differ by design.
    bool ReadsBackAsWritten() const {
        if (convert_ || std::string(GDALGetDriverShortName(driver_)) == "GTiff") return true;
        GDALDatasetH dataset =
            GDALOpenEx(temporary_.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
        if (dataset == nullptr) return false;
        bool same = GDALGetRasterCount(dataset) == int(statistics_.size());
        std::vector<double> row(std::size_t(frame_.cols));
        for (int b = 1; same && b <= int(statistics_.size()); ++b) {
            BandStatistics back;
            GDALRasterBandH band = GDALGetRasterBand(dataset, b);
            for (int r = 0; same && r < frame_.rows; ++r) {
                same = GDALRasterIO(band, GF_Read, 0, r, frame_.cols, 1, row.data(), frame_.cols, 1,
                                    GDT_Float64, 0, 0) == CE_None;
                for (double v : row)
                    if (!std::isnan(v) && !(noData_ && v == *noData_)) back.Add(v);
            }
            const BandStatistics& written = statistics_[std::size_t(b - 1)];
            same = same && back.count == written.count && back.sum == written.sum &&
                   (back.count == 0 || (back.min == written.min && back.max == written.max));
        }
        GDALClose(dataset);
        return same;
    }

    // The temporary and its side files, also when the driver no longer opens what was written
    // (a close cut short on a full disk).
    void RemoveTemporary() const {
        VSIStatBufL stat;
        if (VSIStatL(temporary_.c_str(), &stat) == 0) GDALDeleteDataset(driver_, temporary_.c_str());
        VSIUnlink(temporary_.c_str());
        VSIUnlink((temporary_ + ".aux.xml").c_str());
    }

    GDALDriverH driver_ = nullptr;
    GDALDatasetH dataset_ = nullptr;
    std::string final_;  // the path with its links followed
    std::string temporary_;
    char** copyCreation_ = nullptr;  // options of the copy, for drivers that cannot create
    bool creates_ = true;
    bool convert_ = false;
    bool committed_ = false;
};

// Bands held whole until Commit, rows north-up, NaN for no data: the design's formats are written
// in one go and south first.
class HeldSink : public RasterSink {
  public:
    HeldSink(const std::string& path, const GridFrame& frame, int bands, std::optional<double> blank,
             bool float64)
        : RasterSink(path, frame, bands, blank, float64),
          bands_(std::size_t(bands),
                 std::vector<double>(std::size_t(frame.rows) * std::size_t(frame.cols), std::nan(""))) {}

  protected:
    void Store(int band, int first, int count, const double* values) override {
        std::copy_n(values, std::size_t(count) * std::size_t(frame_.cols),
                    bands_[std::size_t(band - 1)].begin() +
                        std::ptrdiff_t(std::size_t(first) * std::size_t(frame_.cols)));
    }
    // Row r counted from the south.
    const double* SouthRow(int band, int r) const {
        return bands_[std::size_t(band - 1)].data() +
               std::size_t(frame_.rows - 1 - r) * std::size_t(frame_.cols);
    }

    // The text grids hold one band and an x and y range, so no rotation.
    void RequireOneUprightBand(const char* format) const {
        if (bands_.size() != 1)
            throw GeoError(path_ + ": a " + format + " grid holds one band, not " +
                           std::to_string(bands_.size()));
        if (frame_.geoTransform[2] != 0 || frame_.geoTransform[4] != 0)
            throw GeoError(path_ + ": a rotated raster has no " + format + " coordinates");
    }

    std::vector<std::vector<double>> bands_;
};

// The design's DSAA text grid: held until Commit, which knows the z range and writes the rows
// south to north.
class DsaaSink final : public HeldSink {
  public:
    DsaaSink(const std::string& path, const GridFrame& frame, int bands, bool float64)
        : HeldSink(path, frame, bands, std::nullopt, float64) {
        RequireOneUprightBand("DSAA");
    }

    void Commit() override {
        TextSink sink;
        if (!sink.Open(path_.c_str(), kTextFileLineEnds)) throw GeoError(path_ + ": cannot be created");
        const auto& t = frame_.geoTransform;
        const BandStatistics& s = statistics_[0];
        sink.Put("DSAA\n");
        PutNumbers(sink, {double(frame_.cols), double(frame_.rows)});
        PutNumbers(sink, {t[0] + t[1] / 2, t[0] + t[1] * (frame_.cols - 0.5)});
        PutNumbers(sink, {t[3] + t[5] * (frame_.rows - 0.5), t[3] + t[5] / 2});
        PutNumbers(sink, {s.count > 0 ? s.min : 0.0, s.count > 0 ? s.max : 0.0});
        const std::size_t cols = std::size_t(frame_.cols);
        std::vector<double> row(cols);
        for (int r = 0; r < frame_.rows; ++r) {
            const double* stored = SouthRow(1, r);
            std::transform(stored, stored + cols, row.begin(),
                           [](double v) { return std::isnan(v) ? DSAA_BLANK : v; });
            PutNumbers(sink, {row.data(), cols});
        }
        if (!sink.Close()) throw GeoError(path_ + ": cannot be written");
    }

  private:
    // One line of values, each the shortest text that reads back to it, one blank apart.
    void PutNumbers(TextSink& sink, std::span<const double> numbers) const {
        char text[32];
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            const auto end = float64_
                                 ? std::to_chars(text, text + sizeof text, numbers[i])
                                 : std::to_chars(text, text + sizeof text, static_cast<float>(numbers[i]));
            if (i > 0) sink.Put(' ');
            sink.Put(std::string_view(text, std::size_t(end.ptr - text)));
        }
        sink.Put('\n');
    }
    void PutNumbers(TextSink& sink, std::initializer_list<double> numbers) const {
        PutNumbers(sink, std::span<const double>(numbers.begin(), numbers.size()));
    }
};

// The design's KVSGDA01 text grid, as the feature job writes its score grid: the first two reals
// the x of the first and last column centres, the next four the y of the first and last row
// centres (south first) and the smallest and largest value; blank 99999; values "%8.2f".
class KvsgdaSink final : public HeldSink {
  public:
    KvsgdaSink(const std::string& path, const GridFrame& frame, int bands)
        : HeldSink(path, frame, bands, DSAA_BLANK, false) {
        RequireOneUprightBand("KVSGDA01");
    }

    void Commit() override {
        KvsgdaWriter writer;
        if (!writer.Open(path_.c_str(), KvsgdaLayout::feature)) throw GeoError(path_ + ": cannot be created");
        const auto& t = frame_.geoTransform;
        const BandStatistics& s = statistics_[0];
        KvsgdaHeader header;
        header.rows = frame_.rows;
        header.cols = frame_.cols;
        const double reals[6] = {
            t[0] + t[1] / 2, t[0] + t[1] * (frame_.cols - 0.5), t[3] + t[5] * (frame_.rows - 0.5),
            t[3] + t[5] / 2, s.count > 0 ? s.min : 0.0,         s.count > 0 ? s.max : 0.0};
        std::transform(reals, reals + 6, header.reals, [](double v) { return static_cast<float>(v); });
        header.blankValue = static_cast<float>(DSAA_BLANK);
        writer.WriteHeader(header);
        for (int r = 0; r < frame_.rows; ++r) {
            const double* row = SouthRow(1, r);
            for (int c = 0; c < frame_.cols; ++c) writer.Put(std::isnan(row[c]) ? DSAA_BLANK : row[c]);
        }
        if (!writer.Close()) throw GeoError(path_ + ": cannot be written");
    }
};

// The design's multi-grid file: every band a float grid, rows south first, 99999 for no data,
// each grid's id its band name (cut to 31 characters) or bandN.
class HxfSink final : public HeldSink {
  public:
    HxfSink(const std::string& path, const GridFrame& frame, int bands)
        : HeldSink(path, frame, bands, DSAA_BLANK, false), ids_(std::size_t(bands)) {}

    void SetBandName(int band, const std::string& name) override {
        ids_[std::size_t(band - 1)] = name.substr(0, kMaxGridId);
    }

    void Commit() override {
        const std::size_t cells = std::size_t(frame_.rows) * std::size_t(frame_.cols);
        std::vector<std::vector<float>> grids(bands_.size(), std::vector<float>(cells));
        std::vector<const void*> values;
        std::vector<const char*> ids;
        const std::vector<std::string> names = ids_;
        for (std::size_t b = 0; b < bands_.size(); ++b) {
            for (int r = 0; r < frame_.rows; ++r) {
                const double* row = SouthRow(int(b) + 1, r);
                float* out = grids[b].data() + std::size_t(r) * std::size_t(frame_.cols);
                for (int c = 0; c < frame_.cols; ++c)
                    out[c] = static_cast<float>(std::isnan(row[c]) ? DSAA_BLANK : row[c]);
            }
            if (names[b].empty() || std::count(names.begin(), names.end(), names[b]) > 1)
                ids_[b] = "band" + std::to_string(b + 1);
            values.push_back(grids[b].data());
        }
        for (const std::string& id : ids_) {
            if (std::count(ids_.begin(), ids_.end(), id) > 1)
                throw GeoError(path_ + ": two bands would both be grid \"" + id + "\"");
            ids.push_back(id.c_str());
        }
        const std::filesystem::path final = WrittenPath(path_);
        SweepAbandonedParts(final);
        const std::string temporary = TemporaryPathBeside(final);
        const int status = WriteHXFFile(temporary.c_str(), HXF_FLOAT, frame_.rows, frame_.cols,
                                        int(bands_.size()), ids.data(), values.data());
        std::error_code error;
        if (status != HXF_OK) {
            std::filesystem::remove(temporary, error);
            throw GeoError(path_ + ": cannot be written (HXF error " + std::to_string(status) + ")");
        }
        std::filesystem::rename(temporary, final, error);
        if (error) {
            std::filesystem::remove(temporary, error);
            throw GeoError(path_ + ": cannot be put in place");
        }
    }

  private:
    static constexpr std::size_t kMaxGridId = 31;
    std::vector<std::string> ids_;
};

}  // namespace

RasterWriter::RasterWriter(const std::string& path, const GridFrame& frame, int bands,
                           std::optional<double> noData, const WriteOptions& options)
    : path_(path) {
    switch (OutputKindOf(path, options)) {
        case OutputKind::gdal:
            sink_ = std::make_unique<GdalSink>(path, frame, bands, noData, options);
            break;
        case OutputKind::dsaa:
            sink_ = std::make_unique<DsaaSink>(path, frame, bands, options.float64);
            break;
        case OutputKind::kvsgda:
            sink_ = std::make_unique<KvsgdaSink>(path, frame, bands);
            break;
        case OutputKind::hxf:
            sink_ = std::make_unique<HxfSink>(path, frame, bands);
            break;
    }
}

RasterWriter::~RasterWriter() = default;

void RasterWriter::SetBandName(int band, const std::string& name) {
    sink_->SetBandName(band, name);
}

void RasterWriter::WriteRows(int band, int first, int count, const double* values) {
    sink_->WriteRows(band, first, count, values);
}

void RasterWriter::Commit() {
    sink_->Commit();
}

}  // namespace quarnel::geo
