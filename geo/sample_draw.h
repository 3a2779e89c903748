#pragma once
// The cells a training sample set is made of, found in one walk of every evidence layer strip by
// strip: the values at the deposit cells, a background drawn at random among the cells that
// qualify (data on every layer, no deposit, every deposit point at least minDistance from the
// cell's centre), each layer's range and the count of cells with data everywhere.
//
// The draw keeps the qualifying cells of the smallest keys, a cell's key being a bijective hash of
// the seed and the cell's index: a uniform draw without repeats, the same for a seed whatever the
// strip height, that does not need the number of qualifying cells beforehand. So one walk
// suffices, and memory holds a strip and the cells kept, whatever the size of the raster.
#include <cstdint>
#include <string>
#include <vector>

#include "geo/points.h"
#include "quarnel/progress.h"

namespace quarnel::geo {

struct CellDrawRequest {
    std::vector<Cell> deposits;  // distinct, in cell order; never background
    std::vector<Point> points;   // every deposit point, for minDistance
    std::size_t background = 0;  // the most background cells that may be asked for
    std::uint64_t seed = 1;
    double minDistance = 0;  // map units, whatever way the rows and columns run
};

struct DrawnCells {
    std::vector<double> depositValues;  // [deposit][layer], NaN where a layer has no data
    std::vector<Cell> background;       // the request's background count, smallest keys first
    std::vector<double> backgroundValues;
    std::uint64_t qualifying = 0;  // cells that qualified as background
    std::int64_t cellsWithData = 0;
    std::vector<double> low, high;  // per layer, over the cells where it holds data
};

// Walks the layers of evidence (opened as LayerStrips opens them); progress hears of every strip
// ("draw", rows done, rows).
DrawnCells DrawCells(const std::vector<std::string>& evidence, const CellDrawRequest& request,
                     const Progress& progress);

}  // namespace quarnel::geo
