// samples, model-units and anomaly-table on generated rasters, with points in a GeoPackage of
// another CRS and in CSV files.
#include "geo/point_files.h"

#include <gtest/gtest.h>

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
    // The status line says what the README's table says.
    const std::string status = "quarnel convert: status 1: ";
    const std::size_t at = refused.output.find(status);
    ASSERT_NE(at, std::string::npos) << refused.output;
    const std::size_t end = refused.output.find('\n', at);
    const std::string meaning = refused.output.substr(at + status.size(), end - at - status.size());
    EXPECT_NE(ReadText(std::string(QUARNEL_SOURCE_DIR) + "/README.md").find("| 1 | " + meaning + " |\n"),
              std::string::npos)
        << meaning;
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
