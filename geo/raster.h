#pragma once
// Rasters through the GDAL door: any raster GDAL opens (GeoTIFF, ERDAS, ENVI, Surfer, NetCDF,
// VRT...) and the design's own grid files (DSAA, KVSGDB01, KVSGDA01, HXF), read row by row as
// doubles in north-up order, no-data as NaN.
//
// The design's files are read through formats/grid/ and formats/hxf/ (the jobs' own readers, whole into memory);
// their text rows run south to north (the first row of values is the lowest), so they are turned
// over. Their map coordinates come from the header where it has them: DSAA's x and y ranges, and
// KVSGDA01's first two reals (x of the first and last column centre) and next two (y of the
// first and last row centre); KVSGDB01 and HXF carry none (unit cells from 0, no CRS).
//
// No data is decided here, once, for every method of the door: a GDAL raster's NaN, +-inf
// (counted: NonFiniteCells) and a value equal to the band's no-data value exactly (Surfer's
// grids also 1.70141e38 and above). The design's grids by the design's own rule, so they mean
// the same through either door: DSAA and HXF a value within 1 of 99999 (and Surfer's blank,
// 1.70141e38 and above), KVSGDB01 within 1 of its header's blank value, KVSGDA01 its header's
// blank value exactly (as the jobs reading it compare). The "within 1" rule never applies to a
// GDAL raster's no-data value. NoDataRule says which rule a band was read by.
//
// Sources are opened once (IsGdalRaster keeps the dataset it opened for the Raster::Open that
// follows; GdalDatasetOpens counts) with GDAL's local drivers only. A source that is not a local
// regular file or folder (a FIFO, a device, a /vsi or remote name), or a VRT any of whose
// sources is not, is refused before GDAL opens it, so nothing blocks or reaches a network.
//
// Everything else goes through GDAL, block by block through its block cache (capped at 64 MB
// unless GDAL_CACHEMAX is set), so reading a large raster takes memory for the rows asked for.
#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarnel::geo {

// A failure of the GDAL door; the text names the file and what is wrong.
class GeoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Where a raster's cells lie: x = t[0] + col t[1] + row t[2], y = t[3] + col t[4] + row t[5]
// at a cell's top-left corner (GDAL's geotransform), the CRS as WKT (empty: none).
struct GridFrame {
    int rows = 0;
    int cols = 0;
    std::array<double, 6> geoTransform{0, 1, 0, 0, 0, 1};
    std::string crsWkt;

    double CellWidth() const { return geoTransform[1]; }
    double CellHeight() const { return -geoTransform[5]; }
};

// True when the two CRS (WKT) are one, or both are none.
bool SameCrs(const std::string& a, const std::string& b);

// How b differs from a (size, cell origin or size, CRS), or empty when they are one grid.
// Coordinates agree within a thousandth of a cell.
std::string FrameDifference(const GridFrame& a, const GridFrame& b);

// Throws GeoError "B: DIFFERENCE, but A has ..." naming both files when they differ.
void RequireSameFrame(const std::string& pathA, const GridFrame& a, const std::string& pathB,
                      const GridFrame& b);

class RasterSource;

class Raster {
  public:
    // Opens path for reading; throws GeoError naming the path and the cause.
    static Raster Open(const std::string& path);
    Raster(Raster&&) noexcept;
    Raster& operator=(Raster&&) noexcept;
    ~Raster();

    const std::string& path() const { return path_; }
    const GridFrame& frame() const;
    int BandCount() const;
    // The format's short name: a GDAL driver ("GTiff") or "DSAA", "KVSGDB01", "KVSGDA01", "HXF".
    std::string Format() const;
    // A band's name (HXF grid id, GDAL band description), or empty.
    std::string BandName(int band) const;
    // The band's no-data value as its file states it, if any.
    std::optional<double> NoData(int band) const;
    // Rows [first, first + count) of band (from 1) into out, count x cols values, no data as
    // noDataAs (NaN unless a kernel wants its own blank value).
    void ReadRows(int band, int first, int count, double* out,
                  double noDataAs = std::numeric_limits<double>::quiet_NaN()) const;
    // Whether band is a GDAL band of integers Int32 holds exactly (Byte, Int16, UInt16, Int32): class rasters
    // read that way skip the conversion to double.
    bool HoldsInt32(int band) const;
    // Rows [first, first + count) of such a band as stored. A cell is no data when it equals
    // Int32NoData(band) (the band's no-data value when it is an integer Int32 holds; none
    // otherwise), as ReadRows decides for the same band.
    void ReadInt32Rows(int band, int first, int count, std::int32_t* out) const;
    std::optional<std::int32_t> Int32NoData(int band) const;
    // Rows GDAL reads in one block; reading that many at a time wastes nothing.
    int PreferredRowCount() const;
    // What no data is in band, in words ("NaN, +-inf (counted) and ...").
    std::string NoDataRule(int band) const;
    // Cells of band holding +-inf among the rows read so far, each counted once.
    std::int64_t NonFiniteCells(int band) const;

  private:
    Raster(std::string path, std::unique_ptr<RasterSource> source);
    void RequireRows(int band, int first, int count) const;
    std::string path_;
    std::unique_ptr<RasterSource> source_;
};

// A whole band in memory, row-major, north-up, no-data as NaN.
struct RasterData {
    GridFrame frame;
    std::vector<double> values;
    std::optional<double> noData;
};
RasterData ReadRaster(const std::string& path, int band = 1);

// True when path names a file of the design's own formats (DSAA, KVSGDB01, KVSGDA01, HXF).
bool IsDesignGrid(const std::string& path);

// True when GDAL would fetch name over a network (a URL, /vsicurl/, /vsis3/ ...); the door
// refuses such sources.
bool NamesRemoteSource(const std::string& name);

// True when one of GDAL's raster drivers opens the file at path.
bool IsGdalRaster(const std::string& path);

// Throws GeoError for a FIFO, device or socket, which would block or never end; a missing path
// or one of GDAL's virtual paths (/vsi...) passes, to be judged by whatever opens it.
void RefuseSpecialFile(const std::string& path);

// Registers GDAL's drivers once and caps its block cache; every entry point calls it.
void InitialiseGdal();

// A GDAL dataset (GDALDatasetH) of path for GDAL's own algorithms (the warper), opened as
// Raster::Open opens one: refused (GeoError) when unsafe, local drivers only, counted. Null when
// no driver opens it; the caller closes it.
void* OpenGdalDataset(const std::string& path);

// How many times this process has asked GDAL to open a dataset.
long GdalDatasetOpens();

}  // namespace quarnel::geo
