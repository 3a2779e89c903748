#pragma once
// Rasters written through the GDAL door, whole or not at all: rows go to a temporary dataset
// beside the final path, which Commit renames into place (with its side files) after setting
// each band's statistics; destruction without Commit removes it.
//
// The format: `format` when given (any GDAL driver that can create or copy a raster; "DSAA",
// "KVSGDA01" or "HXF" for the design's files), otherwise by the extension: the design's HXF for
// .hxf, its DSAA text for .grd, .txt, .dat or none, else the first GDAL driver whose own
// metadata lists the extension (DMD_EXTENSIONS) and that can create or copy a raster; any other
// extension is refused, named. A driver that cannot hold Float32 (Float64) values (PNG, JPEG:
// Byte) is refused unless `convert` is asked for. GeoTIFF is tiled (256 x 256) and
// DEFLATE-compressed. Values are Float32 (Float64 on request) at full precision; NaN is written
// as the no-data value, which is the one the caller gives (the user's --no-data) or else NaN;
// nothing of an input's encoding, scale, offset or statistics is carried.
//
// The path's symbolic links are followed (the link's target is written, as the design's outputs
// do). The temporary is ".NAME.partPID-N.EXT"; one left by a run that was killed is removed by
// the next run writing the same path, and a failed write or close removes its own. A DSAA grid gets map
// coordinates in its ranges, rows south to north, 99999 for no-data and each value as the shortest text that
// reads back to it. The design's other files are written through their own writers, rows south to north,
// 99999 for no-data: KVSGDA01 (one band) as the feature job writes its score grid, values "%8.2f", with the x
// of the first and last column centres as its two reals and the y of the first and last row centres, the
// smallest and the largest value as its four; HXF every band as a float grid named by the band's name (cut to
// 31 characters; bandN when it has none or shares it), without map coordinates. A value the file would hold
// as its no-data value is refused.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geo/raster.h"

namespace quarnel::geo {

struct WriteOptions {
    std::string format;    // a GDAL driver's short name, "DSAA", "KVSGDA01" or "HXF"; empty: by extension
    bool float64 = false;  // Float64 values instead of Float32
    std::optional<double> noData;  // the no-data value written for NaN; none: NaN itself
    bool convert = false;          // let a driver that cannot hold the values convert them (lossy)
};

enum class OutputKind { gdal, dsaa, kvsgda, hxf };
OutputKind OutputKindOf(const std::string& path, const WriteOptions& options);

// True when path (or format) asks for a GDAL raster rather than a design file.
bool IsGdalOutput(const std::string& path, const WriteOptions& options);

// Throws GeoError, before anything is written, when an output is one of the inputs (one file by
// device and inode, whatever the spelling, links or "..") or two outputs are one file.
void RefuseOutputsOverInputs(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs);

class RasterSink;

class RasterWriter {
  public:
    // Throws GeoError naming the path when the output cannot be started.
    RasterWriter(const std::string& path, const GridFrame& frame, int bands, std::optional<double> noData,
                 const WriteOptions& options);
    ~RasterWriter();
    RasterWriter(const RasterWriter&) = delete;
    RasterWriter& operator=(const RasterWriter&) = delete;

    const std::string& path() const { return path_; }
    void SetBandName(int band, const std::string& name);
    // Rows [first, first + count) of band, count x cols values, NaN for no data. A value equal to
    // the no-data value is refused (it would read back as no data).
    void WriteRows(int band, int first, int count, const double* values);
    // Sets statistics, closes and puts the raster in place; throws GeoError on failure.
    void Commit();

  private:
    std::string path_;
    std::unique_ptr<RasterSink> sink_;
};

}  // namespace quarnel::geo
