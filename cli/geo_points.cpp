#include "cli/geo_points.h"

namespace quarnel::cli {

void AddPointOptions(CLI::App* command, geo::PointOptions& options) {
    command->add_option("--x-column", options.xColumn,
                        "CSV points: the x column (default x, easting, lon or "
                        "longitude)");
    command->add_option("--y-column", options.yColumn,
                        "CSV points: the y column (default y, northing, lat or "
                        "latitude)");
    command->add_option("--points-crs", options.crs,
                        "CSV points: their CRS (EPSG:code, WKT, PROJ); default "
                        "the raster's");
    command->add_option("--layer", options.layer,
                        "the point layer of a multi-layer file (default the first)");
}

}  // namespace quarnel::cli
