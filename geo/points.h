#pragma once
// Deposit and candidate points through the GDAL door: a CSV file with x and y columns (named by
// the caller; by default the first of x, easting, lon, longitude in any letter case), or any
// vector file OGR opens (GeoPackage, shapefile...), reprojected to a raster's CRS when the file
// states another. A CSV file states none: its coordinates are taken in the CRS the caller names,
// or else in the raster's.
#include <string>
#include <vector>

#include "geo/raster.h"

namespace quarnel::geo {

struct PointOptions {
    std::string xColumn;     // CSV only; empty: x, easting, lon or longitude
    std::string yColumn;     // CSV only; empty: y, northing, lat or latitude
    std::string crs;         // CRS of CSV coordinates ("EPSG:28354", WKT, PROJ); empty: the raster's
    std::string layer;       // the layer of a multi-layer file; empty: the first
    std::string nameField;   // the field that names a point; empty: the first text field
    std::string valueField;  // a field of numbers read into Point::value; empty: none
};

struct Point {
    double x = 0;
    double y = 0;
    std::string name;  // the name field's value, or the feature id
    double value = 0;  // the value field's number
};

// Every point feature of path in crsWkt (empty: as stored); throws GeoError naming the file.
std::vector<Point> ReadPoints(const std::string& path, const std::string& crsWkt,
                              const PointOptions& options = {});

// A point's cell: row and column from the top-left, north-up.
struct Cell {
    int row = 0;
    int col = 0;
    bool operator==(const Cell&) const = default;
    bool operator<(const Cell& o) const { return row != o.row ? row < o.row : col < o.col; }
};

// The cell holding (x, y), or false when it lies outside the frame.
bool CellOf(const GridFrame& frame, double x, double y, Cell& cell);

// Points placed on a raster's cells: those inside in point order, and how many fell outside.
struct PlacedPoints {
    std::vector<Point> points;
    std::vector<Cell> cells;  // one per point kept
    int outside = 0;
};
PlacedPoints PlacePoints(const std::vector<Point>& points, const GridFrame& frame);

}  // namespace quarnel::geo
