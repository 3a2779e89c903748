#include "cli/geo_points.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

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

void PutReadingCounts(nlohmann::ordered_json& results, const geo::PointCount& count) {
    results["no_geometry"] = count.noGeometry;
    results["not_a_point"] = count.notAPoint;
    results["bad_rows"] = count.badRows;
}

std::string ReadingLeftOut(const geo::PointCount& count) {
    std::string text;
    if (count.noGeometry > 0) text += ", " + std::to_string(count.noGeometry) + " without a geometry";
    if (count.notAPoint > 0)
        text +=
            ", " + std::to_string(count.notAPoint) + (count.notAPoint == 1 ? " not a point" : " not points");
    if (count.badRows > 0)
        text += ", " + std::to_string(count.badRows) + (count.badRows == 1 ? " bad row" : " bad rows") +
                " (x or y not a number)";
    return text;
}

void PutPointCount(JobOutput& out, const geo::PointCount& count, const char* what) {
    out.results["points"] = count.read;
    PutReadingCounts(out.results, count);
    out.results["outside"] = count.outside;
    out.results["on_no_data"] = count.onNoData;
    out.summary.push_back(std::to_string(count.read) + " " + what +
                          " read; left out: " + std::to_string(count.outside) + " outside the rasters, " +
                          std::to_string(count.onNoData) + " on no data" + ReadingLeftOut(count));
}

}  // namespace quarnel::cli
