#include "geo/raster_writer.h"

#include <cpl_string.h>
#include <gdal.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <span>
#include <vector>

#include "grid/dsaa_reader.h"
#include "grid/text_sink.h"

namespace quarnel::geo {

namespace {

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    return extension;
}

// Running statistics of the values written to one band, as the file stores them.
struct BandStatistics {
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    double sum = 0;
    double squares = 0;
    std::int64_t count = 0;

    void Add(double v) {
        min = std::min(min, v);
        max = std::max(max, v);
        sum += v;
        squares += v * v;
        ++count;
    }
};

}  // namespace

bool IsGdalOutput(const std::string& path, const WriteOptions& options) {
    if (!options.format.empty()) return options.format != "DSAA";
    const std::string extension = LowerExtension(path);
    return extension == ".tif" || extension == ".tiff";
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
        BandStatistics& statistics = statistics_[std::size_t(band - 1)];
        for (std::size_t i = 0; i < n; ++i) {
            double v = values[i];
            if (std::isnan(v)) {
                stored_[i] = noData_ ? *noData_ : v;
                continue;
            }
            if (!float64_) v = double(static_cast<float>(v));
            if (noData_ && v == *noData_)
                throw GeoError(path_ + ": a computed value equals the no-data value " +
                               std::to_string(*noData_) + " (row " +
                               std::to_string(first + int(i / std::size_t(frame_.cols)) + 1) + ")");
            statistics.Add(v);
            stored_[i] = v;
        }
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
// can only copy get an in-memory raster copied out at Commit.
class GdalSink final : public RasterSink {
  public:
    GdalSink(const std::string& path, const GridFrame& frame, int bands, std::optional<double> noData,
             const WriteOptions& options)
        : RasterSink(path, frame, bands, noData ? noData : std::optional<double>(std::nan("")),
                     options.float64) {
        InitialiseGdal();
        const std::string format = options.format.empty() ? "GTiff" : options.format;
        driver_ = GDALGetDriverByName(format.c_str());
        if (driver_ == nullptr || GDALGetMetadataItem(driver_, GDAL_DCAP_RASTER, nullptr) == nullptr)
            throw GeoError(path + ": no GDAL raster driver named \"" + format + "\"");
        const bool creates = GDALGetMetadataItem(driver_, GDAL_DCAP_CREATE, nullptr) != nullptr;
        if (!creates && GDALGetMetadataItem(driver_, GDAL_DCAP_CREATECOPY, nullptr) == nullptr)
            throw GeoError(path + ": GDAL's " + format + " driver cannot write rasters");
        const std::filesystem::path final(path);
        std::string name = ".";
        name.append(final.filename().string()).append(".part").append(std::to_string(getpid()));
        name.append(final.extension().string());
        temporary_ = (final.parent_path() / name).string();
        char** creation = nullptr;
        if (format == "GTiff") {
            creation = CSLSetNameValue(creation, "TILED", "YES");
            creation = CSLSetNameValue(creation, "COMPRESS", "DEFLATE");
            creation = CSLSetNameValue(creation, "BIGTIFF", "IF_SAFER");
        }
        const GDALDataType type = options.float64 ? GDT_Float64 : GDT_Float32;
        GDALDriverH target = creates ? driver_ : GDALGetDriverByName("MEM");
        CPLErrorReset();
        dataset_ = GDALCreate(target, creates ? temporary_.c_str() : "", frame.cols, frame.rows, bands, type,
                              creates ? creation : nullptr);
        creates_ = creates;
        copyCreation_ = creates ? nullptr : creation;
        if (creates) CSLDestroy(creation);
        if (dataset_ == nullptr)
            throw GeoError(path + ": cannot be created (" + std::string(CPLGetLastErrorMsg()) + ")");
        double transform[6];
        std::copy(frame.geoTransform.begin(), frame.geoTransform.end(), transform);
        GDALSetGeoTransform(dataset_, transform);
        if (!frame.crsWkt.empty()) GDALSetProjection(dataset_, frame.crsWkt.c_str());
        for (int b = 1; b <= bands; ++b) GDALSetRasterNoDataValue(GDALGetRasterBand(dataset_, b), *noData_);
    }
    ~GdalSink() override {
        CSLDestroy(copyCreation_);
        if (dataset_ != nullptr) GDALClose(dataset_);
        VSIStatBufL stat;
        if (!committed_ && VSIStatL(temporary_.c_str(), &stat) == 0)
            GDALDeleteDataset(driver_, temporary_.c_str());
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
        if (GDALRenameDataset(driver_, path_.c_str(), temporary_.c_str()) != CE_None)
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
    GDALDriverH driver_ = nullptr;
    GDALDatasetH dataset_ = nullptr;
    std::string temporary_;
    char** copyCreation_ = nullptr;  // options of the copy, for drivers that cannot create
    bool creates_ = true;
    bool committed_ = false;
};

// The design's DSAA text grid: held until Commit, which knows the z range and writes the rows
// south to north.
class DsaaSink final : public RasterSink {
  public:
    DsaaSink(const std::string& path, const GridFrame& frame, int bands, bool float64)
        : RasterSink(path, frame, bands, std::nullopt, float64),
          values_(std::size_t(frame.rows) * std::size_t(frame.cols), std::nan("")) {
        if (bands != 1) throw GeoError(path + ": a DSAA grid holds one band, not " + std::to_string(bands));
        if (frame.geoTransform[2] != 0 || frame.geoTransform[4] != 0)
            throw GeoError(path + ": a rotated raster has no DSAA ranges");
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
        for (int r = frame_.rows - 1; r >= 0; --r) {
            const double* stored = values_.data() + std::size_t(r) * cols;
            std::transform(stored, stored + cols, row.begin(),
                           [](double v) { return std::isnan(v) ? DSAA_BLANK : v; });
            PutNumbers(sink, {row.data(), cols});
        }
        if (!sink.Close()) throw GeoError(path_ + ": cannot be written");
    }

  protected:
    void Store(int, int first, int count, const double* values) override {
        std::copy_n(values, std::size_t(count) * std::size_t(frame_.cols),
                    values_.begin() + std::ptrdiff_t(std::size_t(first) * std::size_t(frame_.cols)));
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

    std::vector<double> values_;
};

}  // namespace

RasterWriter::RasterWriter(const std::string& path, const GridFrame& frame, int bands,
                           std::optional<double> noData, const WriteOptions& options)
    : path_(path) {
    if (IsGdalOutput(path, options))
        sink_ = std::make_unique<GdalSink>(path, frame, bands, noData, options);
    else
        sink_ = std::make_unique<DsaaSink>(path, frame, bands, options.float64);
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
