#include "geo_fixtures.h"

#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "geo/raster.h"

namespace quarnel::testing {

namespace {

OGRSpatialReferenceH Srs(int epsg) {
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, epsg);
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

}  // namespace

std::string CrsWkt(int epsg) {
    OGRSpatialReferenceH srs = Srs(epsg);
    char* wkt = nullptr;
    OSRExportToWkt(srs, &wkt);
    std::string text = wkt;
    CPLFree(wkt);
    OSRDestroySpatialReference(srs);
    return text;
}

void WriteTiff(const std::string& path, const TiffFixture& tiff) {
    geo::InitialiseGdal();
    GDALDatasetH dataset =
        GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), tiff.cols, tiff.rows, int(tiff.bands.size()),
                   tiff.float64 ? GDT_Float64 : GDT_Float32, nullptr);
    if (dataset == nullptr) throw std::runtime_error("cannot create " + path);
    double transform[6];
    std::copy(tiff.geoTransform.begin(), tiff.geoTransform.end(), transform);
    GDALSetGeoTransform(dataset, transform);
    if (tiff.epsg != 0) GDALSetProjection(dataset, CrsWkt(tiff.epsg).c_str());
    for (std::size_t b = 0; b < tiff.bands.size(); ++b) {
        GDALRasterBandH band = GDALGetRasterBand(dataset, int(b) + 1);
        if (tiff.noData) GDALSetRasterNoDataValue(band, *tiff.noData);
        if (b < tiff.names.size()) GDALSetDescription(band, tiff.names[b].c_str());
        std::vector<double> values = tiff.bands[b];
        if (GDALRasterIO(band, GF_Write, 0, 0, tiff.cols, tiff.rows, values.data(), tiff.cols, tiff.rows,
                         GDT_Float64, 0, 0) != CE_None)
            throw std::runtime_error("cannot write " + path);
    }
    GDALClose(dataset);
}

GdalBand ReadWithGdal(const std::string& path, int band) {
    geo::InitialiseGdal();
    GDALDatasetH dataset = GDALOpen(path.c_str(), GA_ReadOnly);
    if (dataset == nullptr) throw std::runtime_error("GDAL cannot open " + path);
    GdalBand read;
    read.rows = GDALGetRasterYSize(dataset);
    read.cols = GDALGetRasterXSize(dataset);
    double transform[6] = {0, 1, 0, 0, 0, 1};
    GDALGetGeoTransform(dataset, transform);
    std::copy(transform, transform + 6, read.geoTransform.begin());
    read.crsWkt = GDALGetProjectionRef(dataset);
    GDALRasterBandH handle = GDALGetRasterBand(dataset, band);
    int has = 0;
    const double noData = GDALGetRasterNoDataValue(handle, &has);
    if (has != 0) read.noData = noData;
    read.description = GDALGetDescription(handle);
    read.values.resize(std::size_t(read.rows) * std::size_t(read.cols));
    if (GDALRasterIO(handle, GF_Read, 0, 0, read.cols, read.rows, read.values.data(), read.cols, read.rows,
                     GDT_Float64, 0, 0) != CE_None)
        throw std::runtime_error("GDAL cannot read " + path);
    GDALClose(dataset);
    return read;
}

std::array<double, 2> Reproject(double x, double y, int fromEpsg, int toEpsg) {
    OGRSpatialReferenceH from = Srs(fromEpsg);
    OGRSpatialReferenceH to = Srs(toEpsg);
    OGRCoordinateTransformationH transform = OCTNewCoordinateTransformation(from, to);
    OCTTransform(transform, 1, &x, &y, nullptr);
    OCTDestroyCoordinateTransformation(transform);
    OSRDestroySpatialReference(from);
    OSRDestroySpatialReference(to);
    return {x, y};
}

void WriteGeoPackage(const std::string& path, int epsg, const std::vector<TestPoint>& points) {
    geo::InitialiseGdal();
    GDALDatasetH dataset =
        GDALCreate(GDALGetDriverByName("GPKG"), path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (dataset == nullptr) throw std::runtime_error("cannot create " + path);
    OGRSpatialReferenceH srs = Srs(epsg);
    OGRLayerH layer = GDALDatasetCreateLayer(dataset, "points", srs, wkbPoint, nullptr);
    OSRDestroySpatialReference(srs);
    OGRFieldDefnH name = OGR_Fld_Create("name", OFTString);
    OGRFieldDefnH size = OGR_Fld_Create("size", OFTInteger);
    OGR_L_CreateField(layer, name, TRUE);
    OGR_L_CreateField(layer, size, TRUE);
    OGR_Fld_Destroy(name);
    OGR_Fld_Destroy(size);
    for (const TestPoint& point : points) {
        OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
        OGR_F_SetFieldString(feature, 0, point.name.c_str());
        OGR_F_SetFieldInteger(feature, 1, point.size);
        OGRGeometryH geometry = OGR_G_CreateGeometry(wkbPoint);
        OGR_G_SetPoint_2D(geometry, 0, point.x, point.y);
        OGR_F_SetGeometryDirectly(feature, geometry);
        if (OGR_L_CreateFeature(layer, feature) != OGRERR_NONE)
            throw std::runtime_error("cannot write " + path);
        OGR_F_Destroy(feature);
    }
    GDALClose(dataset);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace quarnel::testing
