#include "cli/geo_points.h"

namespace quarnel::cli {

void AddPointOptions(CLI::App* command, geo::PointOptions& options) {
    command->add_option("--x-column", options.xColumn,
                        "CSV column of the x (default: x, easting, lon, longitude)");
    command->add_option("--y-column", options.yColumn,
                        "CSV column of the y (default: y, northing, lat, latitude)");
    command->add_option("--points-crs", options.crs,
                        "CRS of CSV coordinates (EPSG:code, WKT or PROJ; default: the rasters')");
    command->add_option("--layer", options.layer,
                        "the point layer of a multi-layer file (default: the first)");
}

}  // namespace quarnel::cli
