#include "geo/align.h"

#include <gdal.h>
#include <gdal_utils.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace quarnel::geo {

namespace {

struct DatasetCloser {
    void operator()(void* dataset) const {
        if (dataset != nullptr) GDALClose(dataset);
    }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// A design grid as an in-memory GDAL raster (Float64, NaN for no data), since GDAL cannot read
// those files itself.
Dataset InMemory(const Raster& raster) {
    const GridFrame& frame = raster.frame();
    Dataset dataset(GDALCreate(GDALGetDriverByName("MEM"), "", frame.cols, frame.rows, raster.BandCount(),
                               GDT_Float64, nullptr));
    if (!dataset) throw GeoError(raster.path() + ": no memory to resample it");
    double transform[6];
    std::copy(frame.geoTransform.begin(), frame.geoTransform.end(), transform);
    GDALSetGeoTransform(dataset.get(), transform);
    std::vector<double> values(std::size_t(frame.rows) * std::size_t(frame.cols));
    for (int b = 1; b <= raster.BandCount(); ++b) {
        raster.ReadRows(b, 0, frame.rows, values.data());
        GDALRasterBandH band = GDALGetRasterBand(dataset.get(), b);
        GDALSetRasterNoDataValue(band, std::nan(""));
        GDALSetDescription(band, raster.BandName(b).c_str());
        if (GDALRasterIO(band, GF_Write, 0, 0, frame.cols, frame.rows, values.data(), frame.cols, frame.rows,
                         GDT_Float64, 0, 0) != CE_None)
            throw GeoError(raster.path() + ": cannot be held for resampling");
    }
    return dataset;
}

Dataset OpenSource(const std::string& input) {
    if (IsDesignGrid(input)) return InMemory(Raster::Open(input));
    Dataset dataset(OpenGdalDataset(input));
    if (!dataset) Raster::Open(input);  // throws, naming the cause in the door's words
    return dataset;
}

const char* MethodName(Resampling resampling) {
    switch (resampling) {
        case Resampling::bilinear:
            return "bilinear";
        case Resampling::average:
            return "average";
        case Resampling::mode:
            return "mode";
        case Resampling::nearest:
            break;
    }
    return "near";
}

// gdalwarp's arguments for a warped VRT over target: its extent, size and CRS, Float64 with NaN
// for no data.
std::vector<std::string> WarpArguments(const GridFrame& target, const std::string& sourceCrs,
                                       Resampling resampling) {
    const auto& t = target.geoTransform;
    std::vector<std::string> arguments = {"-of",
                                          "VRT",
                                          "-ot",
                                          "Float64",
                                          "-dstnodata",
                                          "nan",
                                          "-r",
                                          MethodName(resampling),
                                          "-te",
                                          Number(t[0]),
                                          Number(t[3] + t[5] * target.rows),
                                          Number(t[0] + t[1] * target.cols),
                                          Number(t[3]),
                                          "-ts",
                                          std::to_string(target.cols),
                                          std::to_string(target.rows)};
    if (!target.crsWkt.empty()) {
        if (sourceCrs.empty()) arguments.insert(arguments.end(), {"-s_srs", target.crsWkt});
        arguments.insert(arguments.end(), {"-t_srs", target.crsWkt});
    }
    return arguments;
}

Dataset Warp(const std::string& input, GDALDatasetH source, const GridFrame& target, Resampling resampling) {
    const char* crs = GDALGetProjectionRef(source);
    const std::vector<std::string> arguments = WarpArguments(target, crs != nullptr ? crs : "", resampling);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    GDALWarpAppOptions* options = GDALWarpAppOptionsNew(argv.data(), nullptr);
    if (options == nullptr)
        throw GeoError(input + ": the warp cannot be set up (" + CPLGetLastErrorMsg() + ")");
    CPLErrorReset();
    int usageError = 0;
    Dataset warped(GDALWarp("", nullptr, 1, &source, options, &usageError));
    GDALWarpAppOptionsFree(options);
    if (!warped) throw GeoError(input + ": cannot be resampled (" + std::string(CPLGetLastErrorMsg()) + ")");
    return warped;
}

}  // namespace

Resampling ResamplingNamed(const std::string& name) {
    for (Resampling r : {Resampling::nearest, Resampling::bilinear, Resampling::average, Resampling::mode})
        if (name == (r == Resampling::nearest ? std::string("nearest") : MethodName(r))) return r;
    throw GeoError("no resampling method \"" + name + "\" (nearest, bilinear, average, mode)");
}

AlignResult AlignRaster(const std::string& input, const GridFrame& target, const std::string& output,
                        Resampling resampling, const WriteOptions& options, const Progress& progress) {
    InitialiseGdal();
    RefuseOutputsOverInputs({output}, {input});
    if (target.geoTransform[2] != 0 || target.geoTransform[4] != 0)
        throw GeoError(input + ": the reference raster is rotated; align takes north-up grids only");
    const Dataset source = OpenSource(input);
    if (!source) throw GeoError(input + ": not a raster GDAL can open");
    const Dataset warped = Warp(input, source.get(), target, resampling);
    const char* crs = GDALGetProjectionRef(source.get());
    AlignResult result;
    result.bands = GDALGetRasterCount(warped.get());
    const std::string sourceCrs = crs != nullptr ? crs : "";
    result.reprojected = !sourceCrs.empty() && !target.crsWkt.empty() && !SameCrs(sourceCrs, target.crsWkt);

    RasterWriter writer(output, target, result.bands, options.noData, options);
    const int strip = 256;
    std::vector<double> values(std::size_t(strip) * std::size_t(target.cols));
    for (int b = 1; b <= result.bands; ++b) {
        GDALRasterBandH band = GDALGetRasterBand(warped.get(), b);
        writer.SetBandName(b, GDALGetDescription(GDALGetRasterBand(source.get(), b)));
        for (int first = 0; first < target.rows; first += strip) {
            const int count = std::min(strip, target.rows - first);
            if (GDALRasterIO(band, GF_Read, 0, first, target.cols, count, values.data(), target.cols, count,
                             GDT_Float64, 0, 0) != CE_None)
                throw GeoError(input + ": cannot be resampled (" + std::string(CPLGetLastErrorMsg()) + ")");
            // +-inf is no data through the door, also where the warper spread it.
            for (double& v : values)
                if (std::isinf(v)) v = std::nan("");
            writer.WriteRows(b, first, count, values.data());
            ReportProgress(progress, {"row", std::int64_t(b - 1) * target.rows + first + count,
                                      std::int64_t(result.bands) * target.rows, 0});
        }
    }
    writer.Commit();
    return result;
}

std::string AlignedPath(const std::string& folder, const std::string& input, const WriteOptions& options) {
    std::string extension = ".tif";
    switch (options.format.empty() ? OutputKind::gdal : OutputKindOf("", options)) {
        case OutputKind::dsaa:
            extension = ".grd";
            break;
        case OutputKind::kvsgda:
            extension = ".txt";
            break;
        case OutputKind::hxf:
            extension = ".hxf";
            break;
        case OutputKind::gdal: {
            InitialiseGdal();
            GDALDriverH driver =
                GDALGetDriverByName(options.format.empty() ? "GTiff" : options.format.c_str());
            const char* own =
                driver != nullptr ? GDALGetMetadataItem(driver, GDAL_DMD_EXTENSION, nullptr) : nullptr;
            if (own != nullptr && *own != '\0') extension = std::string(".") + own;
            break;
        }
    }
    return (std::filesystem::path(folder) / std::filesystem::path(input).stem()).string() + extension;
}

}  // namespace quarnel::geo
