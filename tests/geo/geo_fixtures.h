#pragma once
// Small rasters and point files for the GDAL door's tests, written with GDAL's own C API into a
// fresh folder per test.
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quarnel::testing {

struct TiffFixture {
    int rows = 0;
    int cols = 0;
    std::array<double, 6> geoTransform{0, 1, 0, 0, 0, -1};
    int epsg = 0;                            // 0: no CRS
    std::vector<std::vector<double>> bands;  // each rows x cols, north-up
    std::optional<double> noData;
    std::vector<std::string> names;  // band descriptions
    bool float64 = false;
};

void WriteTiff(const std::string& path, const TiffFixture& tiff);

// A band as GDAL reads it (Float64), and its no-data value.
struct GdalBand {
    int rows = 0;
    int cols = 0;
    std::array<double, 6> geoTransform{};
    std::vector<double> values;
    std::optional<double> noData;
    std::string description;
    std::string crsWkt;
};
GdalBand ReadWithGdal(const std::string& path, int band = 1);

// The WKT of an EPSG code.
std::string CrsWkt(int epsg);

// (x, y) from one EPSG CRS to another, in x/y (east/north, lon/lat) order.
std::array<double, 2> Reproject(double x, double y, int fromEpsg, int toEpsg);

struct TestPoint {
    double x;
    double y;
    std::string name;
    int size = 1;
};
// A GeoPackage layer of points in EPSG epsg with fields name (text) and size (integer).
void WriteGeoPackage(const std::string& path, int epsg, const std::vector<TestPoint>& points);

std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);

}  // namespace quarnel::testing
