// samples, model-units and anomaly-table on generated rasters, with points in a GeoPackage of
// another CRS and in CSV files.
#include "geo/point_files.h"

#include <gdal.h>
#include <gdal_utils.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <cmath>
#include <set>
#include <sstream>

#include "geo/points.h"
#include "geo_fixtures.h"
#include "tests/testkit/testkit.h"

namespace quarnel::testing {

using testkit::CliResult;
using testkit::RunCliLine;
namespace {

constexpr int kRows = 8;
constexpr int kCols = 10;
constexpr double kWest = 500000;
constexpr double kNorth = 7000800;

// The centre of a cell (row from the north) in EPSG:28354.
std::array<double, 2> Centre(int row, int col) {
    return {kWest + 100 * col + 50, kNorth - 100 * row - 50};
}

// Layer a holds each cell's index (row * 10 + col), no data at row 2, column 3; layer b
// 5 + column % 3.
class PointFiles : public ::testing::Test {
  protected:
    PointFiles() {
        TiffFixture tiff;
        tiff.rows = kRows;
        tiff.cols = kCols;
        tiff.geoTransform = {kWest, 100, 0, kNorth, 0, -100};
        tiff.epsg = 28354;
        tiff.noData = -1;
        std::vector<double> a;
        std::vector<double> b;
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < kCols; ++c) {
                a.push_back(r == 2 && c == 3 ? -1.0 : r * kCols + c);
                b.push_back(5 + c % 3);
            }
        tiff.bands = {a};
        WriteTiff(dir_ / "layerA.tif", tiff);
        tiff.bands = {b};
        WriteTiff(dir_ / "layerB.tif", tiff);
        // Two deposits in cell (0, 0), one each in (4, 5) and (7, 9), one on no data, one outside.
        std::vector<TestPoint> points;
        const std::pair<int, int> cells[] = {{0, 0}, {0, 0}, {4, 5}, {7, 9}, {2, 3}};
        int size = 2;
        for (const auto& [row, col] : cells) {
            const auto centre = Centre(row, col);
            const auto [lon, lat] = Reproject(centre[0] + 10, centre[1] - 10, 28354, 4326);
            points.push_back({lon, lat, "dep " + std::to_string(size), size});
            ++size;
        }
        const auto [lon, lat] = Reproject(kWest - 500, kNorth, 28354, 4326);
        points.push_back({lon, lat, "far", 1});
        WriteGeoPackage(dir_ / "deposits.gpkg", 4326, points);
    }

    std::vector<std::string> Layers() const { return {dir_ / "layerA.tif", dir_ / "layerB.tif"}; }

    testkit::TempFolder dir_;
};

TEST_F(PointFiles, ModelUnitsCountRowsFromTheSouth) {
    const geo::ModelUnitResult result =
        geo::WriteModelUnits(dir_ / "layerA.tif", dir_ / "deposits.gpkg", {}, dir_ / "units.txt", "deps");
    EXPECT_EQ(ReadText(dir_ / "units.txt"), "deps 3\n1 0 9 1\n2 3 5 1\n3 7 0 2\n");
    EXPECT_EQ(result.deposits.read, 6);
    EXPECT_EQ(result.deposits.outside, 1);
    EXPECT_EQ(result.deposits.onNoData, 1);
    EXPECT_EQ(result.size, 4);

    geo::PointOptions sized;
    sized.valueField = "size";
    geo::WriteModelUnits(dir_ / "layerA.tif", dir_ / "deposits.gpkg", sized, dir_ / "sized.txt", "");
    EXPECT_EQ(ReadText(dir_ / "sized.txt"), "deposits 3\n1 0 9 5\n2 3 5 4\n3 7 0 5\n");
    EXPECT_THROW(
        geo::WriteModelUnits(dir_ / "layerA.tif", dir_ / "deposits.gpkg", {}, dir_ / "x.txt", "two words"),
        geo::GeoError);
}

// The deposit on layer a's no-data cell is no model unit, though layer b (named first) has data.
TEST_F(PointFiles, ModelUnitsNeedDataOnEveryLayer) {
    const std::vector<geo::Point> deposits =
        geo::ReadPoints(dir_ / "deposits.gpkg", ReadWithGdal(dir_ / "layerA.tif").crsWkt);
    geo::PointCount count;
    const std::vector<geo::ModelUnit> units =
        geo::ModelUnitsOf({dir_ / "layerB.tif", dir_ / "layerA.tif"}, deposits, count);
    EXPECT_EQ(units.size(), 3u);
    EXPECT_EQ(count.onNoData, 1);
    EXPECT_EQ(count.cells, 3);
    for (const geo::ModelUnit& unit : units) EXPECT_FALSE(unit.cell.row == 2 && unit.cell.col == 3);
}

TEST_F(PointFiles, CsvInAnotherCrsPlacesAsTheGeoPackage) {
    std::string csv = "lon_deg,lat_deg\n";
    for (const auto& [row, col] : {std::pair{7, 0}, std::pair{3, 4}}) {
        const auto centre = Centre(row, col);
        const auto [lon, lat] = Reproject(centre[0], centre[1], 28354, 4326);
        std::ostringstream line;
        line.precision(17);
        line << lon << "," << lat << "\n";
        csv += line.str();
    }
    WriteText(dir_ / "points.csv", csv);
    geo::PointOptions options;
    options.xColumn = "lon_deg";
    options.yColumn = "lat_deg";
    options.crs = "EPSG:4326";
    geo::WriteModelUnits(dir_ / "layerA.tif", dir_ / "points.csv", options, dir_ / "units.txt", "t");
    EXPECT_EQ(ReadText(dir_ / "units.txt"), "t 2\n1 0 0 1\n2 4 4 1\n");
}

// The cell a sample line stands for, from layer a's rescaled value (its cell index over 0..79).
struct SampleLine {
    int cell;
    double b;
    int target;
};

std::vector<SampleLine> ReadSamples(const std::string& text) {
    std::istringstream in(text);
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, "BP Training Sample File !!!");
    std::vector<SampleLine> lines;
    for (double a, b; in >> a >> b;) {
        SampleLine line{int(std::lround(a * 79)), b, -1};
        in >> line.target;
        lines.push_back(line);
    }
    return lines;
}

TEST_F(PointFiles, SamplesHoldDepositCellsAndDistantBackground) {
    geo::SampleOptions options;
    options.minDistance = 250;
    options.seed = 7;
    const geo::SampleResult result =
        geo::WriteBpSamples(Layers(), dir_ / "deposits.gpkg", {}, dir_ / "samples.txt", options);
    EXPECT_EQ(result.deposits.cells, 3);
    EXPECT_EQ(result.deposits.outside, 1);
    EXPECT_EQ(result.deposits.onNoData, 1);
    EXPECT_EQ(result.background, 3);
    EXPECT_EQ(result.inputs, 2);
    const std::vector<SampleLine> lines = ReadSamples(ReadText(dir_ / "samples.txt"));
    ASSERT_EQ(lines.size(), 6u);
    std::set<int> cells;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SampleLine& line = lines[i];
        EXPECT_EQ(line.target, i % 2 == 0 ? 1 : 0) << "deposit and background alternate";
        // Layer b is scaled by the running range 0..79 of both layers, as bp-classify does.
        EXPECT_DOUBLE_EQ(line.b, (5 + line.cell % kCols % 3) / 79.0) << "line " << i;
        EXPECT_TRUE(cells.insert(line.cell).second) << "cell " << line.cell << " twice";
        if (line.target == 1) continue;
        EXPECT_NE(line.cell, 23) << "background on no data";
        for (const auto& [row, col] : {std::pair{0, 0}, std::pair{4, 5}, std::pair{7, 9}, std::pair{2, 3}}) {
            const auto at = Centre(line.cell / kCols, line.cell % kCols);
            const auto deposit = Centre(row, col);
            EXPECT_GE(std::hypot(at[0] - deposit[0] - 10, at[1] - deposit[1] + 10), 250)
                << "cell " << line.cell;
        }
    }
    EXPECT_EQ((std::set<int>{lines[0].cell, lines[2].cell, lines[4].cell}), (std::set<int>{0, 45, 79}));

    const std::string first = ReadText(dir_ / "samples.txt");
    geo::WriteBpSamples(Layers(), dir_ / "deposits.gpkg", {}, dir_ / "again.txt", options);
    EXPECT_EQ(ReadText(dir_ / "again.txt"), first);
    options.seed = 8;
    options.background = 20;
    geo::WriteBpSamples(Layers(), dir_ / "deposits.gpkg", {}, dir_ / "other.txt", options);
    EXPECT_EQ(ReadSamples(ReadText(dir_ / "other.txt")).size(), 23u);
    options.background = 80;
    EXPECT_THROW(geo::WriteBpSamples(Layers(), dir_ / "deposits.gpkg", {}, dir_ / "many.txt", options),
                 geo::GeoError);
}

TEST_F(PointFiles, AnomalyTableRowsNamedByField) {
    std::string csv = "label,x,y\n";
    const auto add = [&](const std::string& label, double x, double y) {
        std::ostringstream line;
        line.precision(17);
        line << label << "," << x << "," << y << "\n";
        csv += line.str();
    };
    add("Hill One", Centre(1, 2)[0], Centre(1, 2)[1]);
    add("a_very_long_candidate_name", Centre(6, 7)[0], Centre(6, 7)[1]);
    add("blank", Centre(2, 3)[0], Centre(2, 3)[1]);
    add("out", kWest - 1, kNorth);
    WriteText(dir_ / "candidates.csv", csv);
    geo::PointOptions options;
    options.nameField = "label";
    const geo::AnomalyTableResult result =
        geo::WriteAnomalyTable(Layers(), dir_ / "candidates.csv", options, dir_ / "table.txt");
    EXPECT_EQ(ReadText(dir_ / "table.txt"),
              "AnmLvl 2 2\nAnomaly layerA layerB\nHill_One 12 7\na_very_long_candida 67 6\n");
    EXPECT_EQ(result.candidates.outside, 1);
    EXPECT_EQ(result.candidates.onNoData, 1);
}

TEST_F(PointFiles, CommandsReportPointsLeftOut) {
    const CliResult samples = RunCliLine("samples " + Layers()[0] + " " + Layers()[1] + " --deposits " +
                                         (dir_ / "deposits.gpkg") + " -o " + (dir_ / "s.txt") + " --json");
    EXPECT_EQ(samples.exitCode, 0) << samples.output;
    for (const char* key :
         {"\"outside\": 1", "\"on_no_data\": 1", "\"deposit_cells\": 3", "\"background_cells\": 3"})
        EXPECT_NE(samples.output.find(key), std::string::npos) << key << "\n" << samples.output;
    const CliResult units = RunCliLine("model-units " + Layers()[0] + " --deposits " +
                                       (dir_ / "deposits.gpkg") + " -o " + (dir_ / "u.txt"));
    EXPECT_EQ(units.exitCode, 0) << units.output;
    EXPECT_NE(units.output.find("left out: 1 outside the rasters, 1 on no data"), std::string::npos)
        << units.output;
    const CliResult info = RunCliLine("info " + Layers()[0]);
    EXPECT_NE(info.output.find("crs    GDA94 / MGA zone 54\ngeotransform 500000 100 0 7000800 0 -100"),
              std::string::npos)
        << info.output;
    EXPECT_NE(info.output.find("range  0 .. 79\nblanks 1"), std::string::npos) << info.output;
    const CliResult refused = RunCliLine("convert " + Layers()[0] + " " + Layers()[0]);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find("it is not overwritten"), std::string::npos) << refused.output;
    // The status line says what the status table (docs/statuses.md) says.
    const std::string status = "quarnel convert: status 1: ";
    const std::size_t at = refused.output.find(status);
    ASSERT_NE(at, std::string::npos) << refused.output;
    const std::size_t end = refused.output.find('\n', at);
    const std::string meaning = refused.output.substr(at + status.size(), end - at - status.size());
    EXPECT_NE(
        ReadText(std::string(QUARNEL_SOURCE_DIR) + "/docs/statuses.md").find("| 1 | " + meaning + " |\n"),
        std::string::npos)
        << meaning;
}

// A GeoPackage layer of any geometry in EPSG:28354, one feature per WKT (empty: no geometry),
// with a text field size.
void WriteFeatures(const std::string& path,
                   const std::vector<std::pair<std::string, std::string>>& features) {
    GDALDatasetH dataset =
        GDALCreate(GDALGetDriverByName("GPKG"), path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    ASSERT_NE(dataset, nullptr);
    OGRSpatialReferenceH srs = OSRNewSpatialReference(CrsWkt(28354).c_str());
    OGRLayerH layer = GDALDatasetCreateLayer(dataset, "features", srs, wkbUnknown, nullptr);
    OSRDestroySpatialReference(srs);
    OGRFieldDefnH size = OGR_Fld_Create("size", OFTString);
    OGR_L_CreateField(layer, size, TRUE);
    OGR_Fld_Destroy(size);
    for (const auto& [wkt, value] : features) {
        OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
        OGR_F_SetFieldString(feature, 0, value.c_str());
        if (!wkt.empty()) {
            OGRGeometryH geometry = nullptr;
            char* text = const_cast<char*>(wkt.c_str());
            ASSERT_EQ(OGR_G_CreateFromWkt(&text, nullptr, &geometry), OGRERR_NONE) << wkt;
            OGR_F_SetGeometryDirectly(feature, geometry);
        }
        ASSERT_EQ(OGR_L_CreateFeature(layer, feature), OGRERR_NONE);
        OGR_F_Destroy(feature);
    }
    GDALClose(dataset);
}

std::string PointWkt(const char* kind, int row, int col) {
    const auto [x, y] = Centre(row, col);
    return std::string(kind) + " (" + std::to_string(x) + " " + std::to_string(y) + ")";
}

// Features that give no point are left out and counted by reason, wherever points are read;
// a feature at fault is named by its own id.
TEST_F(PointFiles, FeaturesWithoutAPointAreCountedByReason) {
    const auto [x, y] = Centre(1, 1);
    WriteFeatures(dir_ / "mixed.gpkg",
                  {{PointWkt("POINT", 0, 0), "1"},
                   {"LINESTRING (" + std::to_string(x) + " " + std::to_string(y) + ", 500500 7000500)", "1"},
                   {"", "1"},
                   {"POINT EMPTY", "1"},
                   {"MULTIPOINT ((" + std::to_string(x) + " " + std::to_string(y) + "))", "2"},
                   {"MULTIPOINT ((500150 7000150), (500250 7000250))", "1"},
                   {"POLYGON ((500000 7000000, 500100 7000000, 500100 7000100, 500000 7000000))", "1"}});
    geo::PointOptions sized;
    sized.valueField = "size";
    const geo::ModelUnitResult units =
        geo::WriteModelUnits(dir_ / "layerA.tif", dir_ / "mixed.gpkg", sized, dir_ / "units.txt", "t");
    EXPECT_EQ(ReadText(dir_ / "units.txt"), "t 2\n1 6 1 2\n2 7 0 1\n");
    EXPECT_EQ(units.deposits.read, 7);
    EXPECT_EQ(units.deposits.noGeometry, 2);
    EXPECT_EQ(units.deposits.notAPoint, 3);
    EXPECT_EQ(units.deposits.cells, 2);

    // CSV rows whose x or y is missing, text, NaN or infinite are bad rows; a blank line is none.
    const auto [x2, y2] = Centre(3, 4);
    WriteText(dir_ / "rows.csv", "name,x,y\nok," + std::to_string(x2) + "," + std::to_string(y2) +
                                     "\ntext,abc,1\nempty,,1\nshort,1\nnan,nan,1\n\nhuge,1e999," +
                                     std::to_string(y2) + "\n");
    const CliResult table = RunCliLine("anomaly-table " + Layers()[0] + " --points " + (dir_ / "rows.csv") +
                                       " -o " + (dir_ / "table.txt") + " --json");
    EXPECT_EQ(table.exitCode, 0) << table.output;
    for (const char* key : {"\"points\": 6", "\"bad_rows\": 5", "\"no_geometry\": 0", "\"rows\": 1"})
        EXPECT_NE(table.output.find(key), std::string::npos) << key << "\n" << table.output;
    const CliResult samples = RunCliLine("samples " + Layers()[0] + " --deposits " + (dir_ / "mixed.gpkg") +
                                         " -o " + (dir_ / "s.txt"));
    EXPECT_NE(samples.output.find("left out: 0 outside the rasters, 0 on no data, 2 without a geometry, 3 "
                                  "not points"),
              std::string::npos)
        << samples.output;

    // A size that is no number fails the file, naming the feature by its id (5), not its place
    // among the points kept.
    WriteFeatures(dir_ / "sizes.gpkg", {{"", "1"},
                                        {"LINESTRING (0 0, 1 1)", "1"},
                                        {PointWkt("POINT", 0, 0), "1"},
                                        {PointWkt("POINT", 1, 1), "1"},
                                        {PointWkt("POINT", 2, 2), "many"}});
    try {
        geo::WriteModelUnits(dir_ / "layerA.tif", dir_ / "sizes.gpkg", sized, dir_ / "x.txt", "t");
        ADD_FAILURE() << "a size that is no number was taken";
    } catch (const geo::GeoError& error) {
        EXPECT_EQ(std::string(error.what()),
                  (dir_ / "sizes.gpkg") + ": feature 5: field size holds no number");
    }
}

// On a raster whose rows run from the south, background cells keep their distance in map units
// and model units count rows from the south as on a north-up one.
TEST(PointFilesSouthUp, DistancesAndRowsFollowTheMapNotTheRowOrder) {
    testkit::TempFolder dir;
    TiffFixture tiff;
    tiff.rows = 30;
    tiff.cols = 30;
    tiff.geoTransform = {kWest, 100, 0, kNorth - 3000, 0, 100};
    tiff.epsg = 28354;
    std::vector<double> index(900);
    for (std::size_t i = 0; i < index.size(); ++i) index[i] = double(i);
    tiff.bands = {index};
    WriteTiff(dir / "south.tif", tiff);
    // Deposits at the centres of cells (row, col), rows counted from the south.
    const std::pair<int, int> cells[] = {{2, 3}, {15, 15}, {27, 8}, {9, 24}};
    std::string csv = "x,y\n";
    for (const auto& [row, col] : cells)
        csv += std::to_string(kWest + 100 * col + 50) + "," + std::to_string(kNorth - 3000 + 100 * row + 50) +
               "\n";
    WriteText(dir / "deposits.csv", csv);

    geo::SampleOptions options;
    options.minDistance = 600;
    options.background = 60;
    geo::WriteBpSamples({dir / "south.tif"}, dir / "deposits.csv", {}, dir / "samples.txt", options);
    // Each line: the cell's index rescaled over 0 .. 899, then the target.
    std::istringstream samples(ReadText(dir / "samples.txt"));
    std::string header;
    std::getline(samples, header);
    int background = 0;
    for (double a, target; samples >> a >> target;) {
        if (target == 1) continue;
        ++background;
        const int cell = int(std::lround(a * 899));
        for (const auto& [row, col] : cells)
            EXPECT_GE(std::hypot(cell / 30 - row, cell % 30 - col) * 100, 600) << "cell " << cell;
    }
    EXPECT_EQ(background, 60);
    geo::WriteModelUnits(dir / "south.tif", dir / "deposits.csv", {}, dir / "units.txt", "t");
    EXPECT_EQ(ReadText(dir / "units.txt"), "t 4\n1 2 3 1\n2 9 24 1\n3 15 15 1\n4 27 8 1\n");
}

// The background cells of every seed drawn from a 30 x 30 raster read in strips of one row and
// in 16 x 16 tiles: the same cells either way, each cell as often as the others (a chi-square of
// 300 seeds' counts well below its 1 in 10,000 bound), never the deposit's.
TEST(PointFilesDraw, SameCellsWhateverTheBlocksAndEvenlySpread) {
    testkit::TempFolder dir;
    TiffFixture tiff;
    tiff.rows = 30;
    tiff.cols = 30;
    tiff.geoTransform = {kWest, 100, 0, kNorth, 0, -100};
    tiff.epsg = 28354;
    std::vector<double> index(900);
    for (std::size_t i = 0; i < index.size(); ++i) index[i] = double(i);
    tiff.bands = {index};
    WriteTiff(dir / "rows.tif", tiff);
    GDALDatasetH source = GDALOpen((dir / "rows.tif").c_str(), GA_ReadOnly);
    char* arguments[] = {const_cast<char*>("-co"),
                         const_cast<char*>("TILED=YES"),
                         const_cast<char*>("-co"),
                         const_cast<char*>("BLOCKXSIZE=16"),
                         const_cast<char*>("-co"),
                         const_cast<char*>("BLOCKYSIZE=16"),
                         nullptr};
    GDALTranslateOptions* translate = GDALTranslateOptionsNew(arguments, nullptr);
    GDALClose(GDALTranslate((dir / "tiles.tif").c_str(), source, translate, nullptr));
    GDALTranslateOptionsFree(translate);
    GDALClose(source);

    const std::vector<geo::Point> deposit = {{kWest + 1550, kNorth - 1550, "d", 0}};  // cell 465
    std::vector<int> drawn(900);
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        geo::SampleOptions options;
        options.background = 30;
        options.seed = seed;
        const geo::BpSamples rows = geo::MakeBpSamples({dir / "rows.tif"}, deposit, options, "d", "b");
        const geo::BpSamples tiles = geo::MakeBpSamples({dir / "tiles.tif"}, deposit, options, "d", "b");
        ASSERT_EQ(rows.set.inputs, tiles.set.inputs) << "seed " << seed;
        for (std::size_t s = 0; s < rows.set.targets.size(); ++s)
            if (rows.set.targets[s] == 0) ++drawn[std::size_t(std::lround(rows.set.inputs[s] * 899))];
    }
    EXPECT_EQ(drawn[465], 0);
    const double expected = 300.0 * 30 / 899;
    double chiSquare = 0;
    for (std::size_t cell = 0; cell < drawn.size(); ++cell)
        if (cell != 465) chiSquare += (drawn[cell] - expected) * (drawn[cell] - expected) / expected;
    EXPECT_LT(chiSquare, 898 + 3.72 * std::sqrt(2 * 898.0)) << "898 degrees of freedom";
}

// The bundled model-unit file was made by hand from the deposits' cells; the command makes it
// again from their coordinates.
TEST(ModelUnits, CloncurryDepositsGiveTheBundledFile) {
    testkit::TempFolder dir;
    const std::string data = std::string(QUARNEL_SOURCE_DIR) + "/examples/cloncurry/";
    const geo::ModelUnitResult result =
        geo::WriteModelUnits(data + "StratNo_bin_1km.kvsgda01.txt", data + "IOCG_Deposits_cells_1km.csv", {},
                             dir / "units.txt", "IOCG_Cloncurry_1km");
    EXPECT_EQ(ReadText(dir / "units.txt"), ReadText(data + "IOCG_model_units_1km.txt"));
    EXPECT_EQ(result.deposits.read, 258);
    EXPECT_EQ(result.size, 258);
}

}  // namespace
}  // namespace quarnel::testing
