#include "geo/points.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace quarnel::geo {

namespace {

struct SrsDeleter {
    void operator()(OGRSpatialReferenceH srs) const { OSRDestroySpatialReference(srs); }
};
using Srs = std::unique_ptr<std::remove_pointer_t<OGRSpatialReferenceH>, SrsDeleter>;

Srs SrsFrom(const std::string& definition, const std::string& path) {
    Srs srs(OSRNewSpatialReference(nullptr));
    if (OSRSetFromUserInput(srs.get(), definition.c_str()) != OGRERR_NONE)
        throw GeoError(path + ": the CRS \"" + definition.substr(0, 80) + "\" is not one GDAL knows");
    OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

bool IsCsv(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); });
    return extension == ".csv" || extension == ".txt";
}

int FieldNamed(OGRFeatureDefnH definition, const std::string& name, const std::string& path) {
    const int field = OGR_FD_GetFieldIndex(definition, name.c_str());
    if (field < 0) throw GeoError(path + ": has no field " + name);
    return field;
}

// A field's value as a number: a numeric field, or text that is one number and nothing more.
bool NumberOf(OGRFeatureH feature, int field, double& value) {
    if (!OGR_F_IsFieldSetAndNotNull(feature, field)) return false;
    const char* text = OGR_F_GetFieldAsString(feature, field);
    char* end = nullptr;
    value = std::strtod(text, &end);
    while (end != text && std::isspace(static_cast<unsigned char>(*end))) ++end;
    return end != text && *end == '\0' && std::isfinite(value);
}

}  // namespace

std::vector<Point> ReadPoints(const std::string& path, const std::string& crsWkt,
                              const PointOptions& options) {
    InitialiseGdal();
    RefuseSpecialFile(path);
    const bool csv = IsCsv(path);
    const std::string xNames =
        "X_POSSIBLE_NAMES=" + (options.xColumn.empty() ? "x,easting,lon,longitude" : options.xColumn);
    const std::string yNames =
        "Y_POSSIBLE_NAMES=" + (options.yColumn.empty() ? "y,northing,lat,latitude" : options.yColumn);
    const char* openOptions[] = {xNames.c_str(), yNames.c_str(), "KEEP_GEOM_COLUMNS=NO", nullptr};
    const char* drivers[] = {"CSV", nullptr};
    CPLErrorReset();
    GDALDatasetH dataset = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY,
                                      csv ? drivers : nullptr, csv ? openOptions : nullptr, nullptr);
    if (dataset == nullptr)
        throw GeoError(path + ": not a point file GDAL can open (CSV, GeoPackage, shapefile...)");
    std::unique_ptr<void, void (*)(void*)> closer(dataset, [](void* d) { GDALClose(d); });
    OGRLayerH layer = options.layer.empty() ? GDALDatasetGetLayer(dataset, 0)
                                            : GDALDatasetGetLayerByName(dataset, options.layer.c_str());
    if (layer == nullptr)
        throw GeoError(path + ": has no layer" + (options.layer.empty() ? "" : " " + options.layer));

    OGRSpatialReferenceH stored = OGR_L_GetSpatialRef(layer);
    Srs source;
    if (csv && !options.crs.empty())
        source = SrsFrom(options.crs, path);
    else if (stored != nullptr) {
        source.reset(OSRClone(stored));
        OSRSetAxisMappingStrategy(source.get(), OAMS_TRADITIONAL_GIS_ORDER);
    }
    OGRCoordinateTransformationH transform = nullptr;
    if (source && !crsWkt.empty()) {
        const Srs target = SrsFrom(crsWkt, path);
        if (!OSRIsSame(source.get(), target.get())) {
            transform = OCTNewCoordinateTransformation(source.get(), target.get());
            if (transform == nullptr)
                throw GeoError(path + ": its points cannot be reprojected to the rasters' CRS");
        }
    }
    std::unique_ptr<void, void (*)(void*)> transformCloser(transform, [](void* t) {
        OCTDestroyCoordinateTransformation(static_cast<OGRCoordinateTransformationH>(t));
    });

    const OGRFeatureDefnH definition = OGR_L_GetLayerDefn(layer);
    int nameField = options.nameField.empty() ? -1 : FieldNamed(definition, options.nameField, path);
    for (int i = 0; i < OGR_FD_GetFieldCount(definition) && nameField < 0; ++i)
        if (OGR_Fld_GetType(OGR_FD_GetFieldDefn(definition, i)) == OFTString) nameField = i;
    const int valueField = options.valueField.empty() ? -1 : FieldNamed(definition, options.valueField, path);

    std::vector<Point> points;
    OGR_L_ResetReading(layer);
    for (OGRFeatureH feature; (feature = OGR_L_GetNextFeature(layer)) != nullptr; OGR_F_Destroy(feature)) {
        OGRGeometryH geometry = OGR_F_GetGeometryRef(feature);
        if (geometry == nullptr || OGR_G_IsEmpty(geometry)) continue;
        if (wkbFlatten(OGR_G_GetGeometryType(geometry)) != wkbPoint) {
            OGR_F_Destroy(feature);
            throw GeoError(path + ": feature " + std::to_string(OGR_F_GetFID(feature)) + " is not a point");
        }
        Point point{OGR_G_GetX(geometry, 0), OGR_G_GetY(geometry, 0), {}};
        if (transform != nullptr && !OCTTransform(transform, 1, &point.x, &point.y, nullptr)) {
            OGR_F_Destroy(feature);
            throw GeoError(path + ": point " + std::to_string(points.size() + 1) + " cannot be reprojected");
        }
        point.name = nameField >= 0 && OGR_F_IsFieldSetAndNotNull(feature, nameField)
                         ? OGR_F_GetFieldAsString(feature, nameField)
                         : std::to_string(OGR_F_GetFID(feature));
        if (valueField >= 0 && !NumberOf(feature, valueField, point.value)) {
            OGR_F_Destroy(feature);
            throw GeoError(path + ": point " + std::to_string(points.size() + 1) + ": field " +
                           options.valueField + " holds no number");
        }
        points.push_back(std::move(point));
    }
    if (csv && points.empty() && OGR_L_GetGeomType(layer) == wkbNone)
        throw GeoError(path + ": no x and y columns (name them with --x-column and --y-column)");
    return points;
}

bool CellOf(const GridFrame& frame, double x, double y, Cell& cell) {
    double inverse[6];
    double transform[6];
    std::copy(frame.geoTransform.begin(), frame.geoTransform.end(), transform);
    if (!GDALInvGeoTransform(transform, inverse)) return false;
    const double col = inverse[0] + inverse[1] * x + inverse[2] * y;
    const double row = inverse[3] + inverse[4] * x + inverse[5] * y;
    if (!(col >= 0 && row >= 0 && col < frame.cols && row < frame.rows)) return false;
    cell = {static_cast<int>(std::floor(row)), static_cast<int>(std::floor(col))};
    return true;
}

PlacedPoints PlacePoints(const std::vector<Point>& points, const GridFrame& frame) {
    PlacedPoints placed;
    for (const Point& point : points) {
        Cell cell;
        if (!CellOf(frame, point.x, point.y, cell)) {
            ++placed.outside;
            continue;
        }
        placed.points.push_back(point);
        placed.cells.push_back(cell);
    }
    return placed;
}

}  // namespace quarnel::geo
