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

struct FeatureDeleter {
    void operator()(OGRFeatureH feature) const { OGR_F_Destroy(feature); }
};
using Feature = std::unique_ptr<std::remove_pointer_t<OGRFeatureH>, FeatureDeleter>;

struct TransformDeleter {
    void operator()(OGRCoordinateTransformationH t) const { OCTDestroyCoordinateTransformation(t); }
};
using Transform = std::unique_ptr<std::remove_pointer_t<OGRCoordinateTransformationH>, TransformDeleter>;

// From the layer's CRS (or csvCrs, which a CSV file is said to be in) to crsWkt; none when
// either is unknown or they are one.
Transform TransformTo(OGRLayerH layer, const std::string& crsWkt, const std::string& csvCrs,
                      const std::string& path) {
    OGRSpatialReferenceH stored = OGR_L_GetSpatialRef(layer);
    Srs source;
    if (!csvCrs.empty())
        source = SrsFrom(csvCrs, path);
    else if (stored != nullptr) {
        source.reset(OSRClone(stored));
        OSRSetAxisMappingStrategy(source.get(), OAMS_TRADITIONAL_GIS_ORDER);
    }
    if (!source || crsWkt.empty()) return nullptr;
    const Srs target = SrsFrom(crsWkt, path);
    if (OSRIsSame(source.get(), target.get())) return nullptr;
    Transform transform(OCTNewCoordinateTransformation(source.get(), target.get()));
    if (!transform) throw GeoError(path + ": its points cannot be reprojected to the rasters' CRS");
    return transform;
}

enum class Shape { Point, None, NotAPoint, NotFinite };

// The point of a geometry, or what keeps it from being one.
Shape PointOf(OGRGeometryH geometry, Point& point) {
    if (geometry == nullptr || OGR_G_IsEmpty(geometry)) return Shape::None;
    if (wkbFlatten(OGR_G_GetGeometryType(geometry)) == wkbMultiPoint && OGR_G_GetGeometryCount(geometry) == 1)
        geometry = OGR_G_GetGeometryRef(geometry, 0);
    if (wkbFlatten(OGR_G_GetGeometryType(geometry)) != wkbPoint) return Shape::NotAPoint;
    point.x = OGR_G_GetX(geometry, 0);
    point.y = OGR_G_GetY(geometry, 0);
    return std::isfinite(point.x) && std::isfinite(point.y) ? Shape::Point : Shape::NotFinite;
}

}  // namespace

PointFile ReadPointFile(const std::string& path, const std::string& crsWkt, const PointOptions& options) {
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
    if (csv && OGR_L_GetGeomType(layer) == wkbNone)
        throw GeoError(path + ": no x and y columns (name them with --x-column and --y-column)");
    const Transform transform = TransformTo(layer, crsWkt, csv ? options.crs : "", path);

    const OGRFeatureDefnH definition = OGR_L_GetLayerDefn(layer);
    int nameField = options.nameField.empty() ? -1 : FieldNamed(definition, options.nameField, path);
    for (int i = 0; i < OGR_FD_GetFieldCount(definition) && nameField < 0; ++i)
        if (OGR_Fld_GetType(OGR_FD_GetFieldDefn(definition, i)) == OFTString) nameField = i;
    const int valueField = options.valueField.empty() ? -1 : FieldNamed(definition, options.valueField, path);

    PointFile file;
    PointCount& count = file.count;
    OGR_L_ResetReading(layer);
    for (Feature feature(OGR_L_GetNextFeature(layer)); feature; feature.reset(OGR_L_GetNextFeature(layer))) {
        ++count.read;
        const std::string id = std::to_string(OGR_F_GetFID(feature.get()));
        Point point;
        switch (PointOf(OGR_F_GetGeometryRef(feature.get()), point)) {
            case Shape::Point:
                break;
            case Shape::None:
                // A CSV row has its point in its x and y; GDAL gives none when either is not a number.
                ++(csv ? count.badRows : count.noGeometry);
                continue;
            case Shape::NotAPoint:
                ++count.notAPoint;
                continue;
            case Shape::NotFinite:
                ++count.badRows;
                continue;
        }
        if (transform && (!OCTTransform(transform.get(), 1, &point.x, &point.y, nullptr) ||
                          !std::isfinite(point.x) || !std::isfinite(point.y)))
            throw GeoError(path + ": feature " + id + " cannot be reprojected to the rasters' CRS");
        point.name = nameField >= 0 && OGR_F_IsFieldSetAndNotNull(feature.get(), nameField)
                         ? OGR_F_GetFieldAsString(feature.get(), nameField)
                         : id;
        if (valueField >= 0 && !NumberOf(feature.get(), valueField, point.value))
            throw GeoError(path + ": feature " + id + ": field " + options.valueField + " holds no number");
        file.points.push_back(std::move(point));
    }
    return file;
}

std::vector<Point> ReadPoints(const std::string& path, const std::string& crsWkt,
                              const PointOptions& options) {
    return ReadPointFile(path, crsWkt, options).points;
}

CellLocator::CellLocator(const GridFrame& frame) : frame_(frame) {
    double transform[6];
    std::copy(frame.geoTransform.begin(), frame.geoTransform.end(), transform);
    invertible_ = GDALInvGeoTransform(transform, inverse_.data()) != 0;
}

std::array<double, 2> CellLocator::Position(double x, double y) const {
    if (!invertible_) return {std::nan(""), std::nan("")};
    const auto& i = inverse_;
    return {i[3] + i[4] * x + i[5] * y, i[0] + i[1] * x + i[2] * y};
}

bool CellLocator::Locate(double x, double y, Cell& cell) const {
    const auto [row, col] = Position(x, y);
    if (!(col >= 0 && row >= 0 && col < frame_.cols && row < frame_.rows)) return false;
    cell = {static_cast<int>(std::floor(row)), static_cast<int>(std::floor(col))};
    return true;
}

std::int64_t CellLocator::Index(double x, double y) const {
    Cell cell;
    return Locate(x, y, cell) ? std::int64_t(cell.row) * frame_.cols + cell.col : -1;
}

std::array<double, 2> CellLocator::Centre(double row, double col) const {
    const auto& t = frame_.geoTransform;
    return {t[0] + (col + 0.5) * t[1] + (row + 0.5) * t[2], t[3] + (col + 0.5) * t[4] + (row + 0.5) * t[5]};
}

PlacedPoints PlacePoints(const std::vector<Point>& points, const GridFrame& frame) {
    const CellLocator locator(frame);
    PlacedPoints placed;
    for (const Point& point : points) {
        Cell cell;
        if (!locator.Locate(point.x, point.y, cell)) {
            ++placed.outside;
            continue;
        }
        placed.points.push_back(point);
        placed.cells.push_back(cell);
    }
    return placed;
}

std::vector<std::int64_t> CellIndices(const std::vector<Point>& points, const GridFrame& frame) {
    const CellLocator locator(frame);
    std::vector<std::int64_t> cells;
    cells.reserve(points.size());
    for (const Point& point : points) cells.push_back(locator.Index(point.x, point.y));
    return cells;
}

bool RowsRunNorth(const GridFrame& frame) {
    return frame.geoTransform[5] > 0;
}

}  // namespace quarnel::geo
