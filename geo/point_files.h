#pragma once
// The design's input files made from points on evidence rasters: the BP sample file, the feature
// analysis model-unit file and the hierarchy analysis anomaly table. Points are read with
// geo::ReadPointFile in the rasters' CRS; a feature that gives no point, a point outside the
// rasters, or one on a cell where a raster it is read from holds no data, is left out and
// counted by reason (PointCount). Each file is written whole through
// formats/grid/'s TextSink, numbers as the shortest text that reads back to the value.
#include <cstdint>
#include <string>
#include <vector>

#include "geo/analysis.h"
#include "geo/points.h"
#include "quarnel/bp.h"

namespace quarnel::geo {

struct SampleOptions {
    int background = -1;     // background samples; negative: as many as deposit cells
    std::uint64_t seed = 1;  // of the background draw
    double minDistance = 0;  // map units from every deposit point to a background cell's centre,
                             // whatever way the rasters' rows and columns run
    bool rescaled = true;    // inputs rescaled as bp-classify rescales grids; false: as the layers hold them
};

struct SampleResult {
    PointCount deposits;
    int background = 0;
    int inputs = 0;
};

struct BpSamples {
    SampleResult count;
    BPSampleSet set;                 // one output, the target bit
    std::int64_t cellsWithData = 0;  // cells where every layer holds data
};

// The BP samples of deposit points already read (in the rasters' CRS), in memory, as
// WriteBpSamples writes them, from one walk of the rasters (geo/sample_draw.h); progress hears of
// every strip. Throws GeoError naming depositsName when no deposit lies on data, or backgroundName
// when fewer cells qualify as background than are asked.
BpSamples MakeBpSamples(const std::vector<std::string>& evidence, const std::vector<Point>& deposits,
                        const SampleOptions& options, const std::string& depositsName,
                        const std::string& backgroundName, const Progress& progress = {});

// The samples as the design's sample file, written whole.
void WriteSampleFile(const BPSampleSet& samples, const std::string& output);

// The model units of deposit points already read: one per distinct cell where every evidence
// raster holds data (rows from the north), its size the number of points in it; count says what
// happened to the points.
std::vector<ModelUnit> ModelUnitsOf(const std::vector<std::string>& evidence,
                                    const std::vector<Point>& deposits, PointCount& count);

// "BP Training Sample File !!!", then one line per sample: every evidence layer's value at the
// cell, rescaled as bp-classify rescales its inputs (one running range over the layers in
// order: layer i by the range of layers 0..i over all their cells), then the target bit: 1 for
// each deposit cell (once), 0 for background cells drawn at random (seeded, without repeats)
// among the cells where every layer holds data, no deposit lies and every deposit point is at
// least minDistance away. Deposit and background samples alternate, so that on-line training
// sees both all through an epoch. Throws GeoError when fewer cells qualify than are asked.
SampleResult WriteBpSamples(const std::vector<std::string>& evidence, const std::string& deposits,
                            const PointOptions& pointOptions, const std::string& output,
                            const SampleOptions& options, const Progress& progress = {});

struct ModelUnitResult {
    PointCount deposits;
    std::int64_t size = 0;  // the sizes added up
};

// A title (one token of at most 51 characters; empty: the points file's name without extension,
// blanks turned to '_'), the unit count, then per distinct cell "sequence row column size",
// rows counted from the south (the design's file order) from 0 whichever way the raster's rows
// run, sorted by row then column;
// size the number of points in the cell, or the sum of their whole-number sizeField values.
ModelUnitResult WriteModelUnits(const std::string& evidence, const std::string& deposits,
                                const PointOptions& pointOptions, const std::string& output,
                                const std::string& title);

struct AnomalyTableResult {
    PointCount candidates;
    int variables = 0;
};

// "AnmLvl variables rows", the title "Anomaly" and one name per evidence layer, then per
// candidate its name and its value on every layer. Names are tokens of at most 19 characters:
// white space becomes '_', longer names are cut.
AnomalyTableResult WriteAnomalyTable(const std::vector<std::string>& evidence, const std::string& candidates,
                                     const PointOptions& pointOptions, const std::string& output);

}  // namespace quarnel::geo
