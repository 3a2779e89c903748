#pragma once
// Deposit and candidate points through the GDAL door: a CSV file with x and y columns (named by
// the caller; by default the first of x, easting, lon, longitude in any letter case), or any
// vector file OGR opens (GeoPackage, shapefile...), reprojected to a raster's CRS when the file
// states another. A CSV file states none: its coordinates are taken in the CRS the caller names,
// or else in the raster's.
//
// A feature that gives no point is left out and counted by reason, never guessed at: one
// without a geometry (or an empty one), one that is not a point (a line, a polygon, several
// points; a multipoint of one point is that point), and a bad row (a CSV row whose x or y is
// missing or not a number; any point with an infinite or NaN coordinate).
#include <array>
#include <cstdint>
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

// What became of a point file's features: read counts them all, the others those left out, by
// reason, as each step (reading, placing on a raster, looking at its values) leaves them out.
struct PointCount {
    int read = 0;
    int noGeometry = 0;
    int notAPoint = 0;
    int badRows = 0;
    int outside = 0;   // outside the raster
    int onNoData = 0;  // on a cell without data
    int cells = 0;     // distinct cells of the points kept
    int LeftOut() const { return noGeometry + notAPoint + badRows + outside + onNoData; }
};

struct PointFile {
    std::vector<Point> points;  // in file order
    PointCount count;           // read and the reasons of reading filled
};

// Every point of path in crsWkt (empty: as stored). Throws GeoError naming the file (and the
// feature by its id where one is at fault: a point that cannot be reprojected, a value field
// without a number).
PointFile ReadPointFile(const std::string& path, const std::string& crsWkt, const PointOptions& options = {});
// The points alone, for callers that report no counts.
std::vector<Point> ReadPoints(const std::string& path, const std::string& crsWkt,
                              const PointOptions& options = {});

// A point's cell: row and column from the frame's first row and column.
struct Cell {
    int row = 0;
    int col = 0;
    bool operator==(const Cell&) const = default;
    bool operator<(const Cell& o) const { return row != o.row ? row < o.row : col < o.col; }
};

// Cells of map coordinates on one frame, whatever way its rows and columns run (north-up,
// south-up, rotated): the inverse geotransform is worked out once for every point.
class CellLocator {
  public:
    explicit CellLocator(const GridFrame& frame);
    // (x, y) in cell units, a cell's corner at whole numbers: [0] the row, [1] the column; NaN
    // when the geotransform has no inverse.
    std::array<double, 2> Position(double x, double y) const;
    // The cell holding (x, y), or false when it lies outside the frame.
    bool Locate(double x, double y, Cell& cell) const;
    // The row-major index of the cell holding (x, y), or -1 outside the frame.
    std::int64_t Index(double x, double y) const;
    // Map coordinates of a cell's centre.
    std::array<double, 2> Centre(double row, double col) const;

  private:
    GridFrame frame_;
    std::array<double, 6> inverse_{};
    bool invertible_ = false;
};

// Points placed on a raster's cells: those inside in point order, and how many fell outside.
struct PlacedPoints {
    std::vector<Point> points;
    std::vector<Cell> cells;  // one per point kept
    int outside = 0;
};
PlacedPoints PlacePoints(const std::vector<Point>& points, const GridFrame& frame);

// The row-major cell index of every point, -1 for one outside the frame.
std::vector<std::int64_t> CellIndices(const std::vector<Point>& points, const GridFrame& frame);

// True when the frame's rows run from south to north (geotransform[5] positive), so that row 0
// is the southernmost.
bool RowsRunNorth(const GridFrame& frame);

}  // namespace quarnel::geo
