#pragma once
// Weights of evidence through the GDAL door (the arithmetic: include/quarnel/wofe.h). Band 1 of
// each evidence raster holds integer classes (or values classed by breaks: below the first
// break class 1, then 2, ...); every raster and the mask lie on one grid. The study area is the
// cells where every layer holds data and, with a mask, the mask holds a value other than 0.
//
// Two streamed passes, a strip of rows at a time: the first counts each layer's classes and the
// deposits on them and writes OUTPUT/weights/NAME.csv; the second writes OUTPUT/posterior.tif,
// posterior_std.tif and confidence.tif (P / std), no data outside the study area, and sums the
// conditions for the independence test. Progress hears of the strips ("count", "posterior").
// Outputs are refused before anything is written when one is an input.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "geo/points.h"
#include "geo/raster_writer.h"
#include "quarnel/progress.h"
#include "quarnel/wofe.h"

namespace quarnel::geo {

struct WofeEvidence {
    std::string name;  // empty: the raster's file name without the extension
    std::string raster;
    wofe::Type type = wofe::Type::categorical;
    std::vector<std::int64_t> missing;  // classes that mean unknown
    std::vector<double> breaks;         // ascending; empty: the values are the classes
    wofe::Generalization rule;
};

struct WofeRequest {
    std::vector<WofeEvidence> evidence;
    std::vector<Point> deposits;        // in the rasters' CRS
    std::string depositsFile;           // refused as an output
    std::optional<double> unitAreaKm2;  // none: one cell is the unit
    bool countCells = false;            // a cell's deposits count once
    std::string mask;
    std::string output;  // the folder
    bool weightsOnly = false;
};

struct WofeMap {
    std::string path;
    std::int64_t cells = 0;
    double min = 0;
    double max = 0;
};

struct WofeResult {
    std::optional<double> unitAreaKm2;  // the unit's area in km², when the CRS tells it
    double unitsPerCell = 1;
    std::int64_t studyCells = 0;
    std::int64_t depositsRead = 0;
    std::int64_t depositsOutside = 0;
    std::int64_t depositsOnNoData = 0;  // on a cell outside the study area
    wofe::Model model;
    std::vector<std::string> tables;  // weights/NAME.csv, in layer order
    std::vector<WofeMap> maps;        // posterior, posterior_std, confidence; empty with weightsOnly
    std::optional<wofe::Independence> independence;
    std::vector<wofe::PairTest> pairwise;
};

// Throws GeoError (or wofe::WofeError) naming the cause: an unreadable input, layers on other
// grids, a value that is no class, a geographic or unknown CRS with a unit area in km², a layer
// name given twice, an output that is an input. A layer no rule generalises throws after its
// tables are written, naming the layer and why.
WofeResult RunWofe(const WofeRequest& request, const WriteOptions& options, const Progress& progress = {});

// The layer's name: its raster's file name without the extension.
std::string WofeLayerName(const std::string& raster);

}  // namespace quarnel::geo
