// convert, align and the frame check, with GDAL reading the results back as the oracle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "geo/align.h"
#include "geo/convert.h"
#include "geo/raster.h"
#include "geo_fixtures.h"
#include "formats/hxf/hxf_file.h"
#include "tests/testkit/testkit.h"

namespace quarnel::testing {
namespace {

constexpr double kNoData = -9999;

// 4 rows x 3 columns of 10 m cells from (1000, 2000), values r * 3 + c + 0.125, one no-data cell.
TiffFixture SmallGrid() {
    TiffFixture tiff;
    tiff.rows = 4;
    tiff.cols = 3;
    tiff.geoTransform = {1000, 10, 0, 2000, 0, -10};
    tiff.epsg = 28354;
    tiff.noData = kNoData;
    std::vector<double> values;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) values.push_back(r * 3 + c + 0.125);
    values[4] = kNoData;
    tiff.bands = {values};
    return tiff;
}

geo::WriteOptions Options(const std::string& format, bool float64 = false) {
    geo::WriteOptions options;
    options.format = format;
    options.float64 = float64;
    return options;
}

bool SameValues(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i])))) return false;
    return true;
}

std::vector<std::string> Tokens(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;) tokens.push_back(token);
    return tokens;
}

TEST(Convert, DsaaKeepsTheGridAsGdalReadsIt) {
    testkit::TempFolder dir;
    WriteTiff(dir / "in.tif", SmallGrid());
    geo::ConvertRaster(dir / "in.tif", dir / "out.grd", {});
    const GdalBand out = ReadWithGdal(dir / "out.grd");
    const GdalBand in = ReadWithGdal(dir / "in.tif");
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(out.geoTransform[std::size_t(i)], in.geoTransform[std::size_t(i)], 1e-9);
    for (std::size_t i = 0; i < in.values.size(); ++i)
        EXPECT_EQ(out.values[i], i == 4 ? 99999.0 : in.values[i]) << "cell " << i;
}

TEST(Convert, KvsgdaHeaderHoldsCellCentresAndRange) {
    testkit::TempFolder dir;
    WriteTiff(dir / "in.tif", SmallGrid());
    geo::ConvertRaster(dir / "in.tif", dir / "out.txt", Options("KVSGDA01"));
    const std::vector<std::string> t = Tokens(ReadText(dir / "out.txt"));
    ASSERT_EQ(t.size(), 10u + 12u);
    EXPECT_EQ(std::vector<std::string>(t.begin(), t.begin() + 12),
              (std::vector<std::string>{"KVSGDA01", "4", "3", "1005.00", "1025.00", "1965.00", "1995.00",
                                        "0.12", "11.12", "99999.00", "9.12", "10.12"}));
    EXPECT_EQ(t[12], "11.12");     // the south row comes first
    EXPECT_EQ(t[17], "99999.00");  // no data
    const geo::Raster back = geo::Raster::Open(dir / "out.txt");
    geo::GridFrame expected = back.frame();
    expected.geoTransform = SmallGrid().geoTransform;
    EXPECT_EQ(geo::FrameDifference(expected, back.frame()), "");
    double row[3];
    back.ReadRows(1, 1, 1, row);
    EXPECT_FLOAT_EQ(float(row[0]), 3.12f);
    EXPECT_TRUE(std::isnan(row[1]));
}

TEST(Convert, HxfHoldsEveryBandSouthFirstByName) {
    testkit::TempFolder dir;
    TiffFixture tiff = SmallGrid();
    tiff.bands.push_back(std::vector<double>(12, 7.5));
    tiff.names = {"alpha", ""};
    WriteTiff(dir / "in.tif", tiff);
    const geo::ConvertResult result = geo::ConvertRaster(dir / "in.tif", dir / "out.hxf", {});
    EXPECT_EQ(result.bands, 2);
    HxfFile file((dir / "out.hxf").c_str());
    ASSERT_TRUE(file.IsOpen());
    ASSERT_EQ(file.GridCount(), 2);
    EXPECT_EQ(file.GridId(1), "alpha");
    EXPECT_EQ(file.GridId(2), "band2");
    CxArray<float> values(0, 0, ZT_STOR_ROWMAJOR);
    ASSERT_EQ(file.Load("alpha", HXF_FLOAT, values), HXF_OK);
    EXPECT_EQ(values.GetAt(0, 0), 9.125f);    // the south row first
    EXPECT_EQ(values.GetAt(2, 1), 99999.0f);  // no data
    EXPECT_EQ(values.GetAt(3, 2), 2.125f);
}

TEST(Convert, GeoTiffKeepsValuesAndCrsWithNaNAsNoData) {
    testkit::TempFolder dir;
    WriteTiff(dir / "in.tif", SmallGrid());
    geo::ConvertRaster(dir / "in.tif", dir / "out.tif", Options("GTiff", true));
    GdalBand in = ReadWithGdal(dir / "in.tif");
    const GdalBand out = ReadWithGdal(dir / "out.tif");
    in.values[4] = std::nan("");  // the input's no-data value is not carried
    EXPECT_TRUE(SameValues(out.values, in.values));
    ASSERT_TRUE(out.noData.has_value());
    EXPECT_TRUE(std::isnan(*out.noData));
    EXPECT_TRUE(geo::SameCrs(out.crsWkt, CrsWkt(28354)));
    EXPECT_EQ(out.geoTransform, in.geoTransform);
}

TEST(Convert, SurferBlankInDsaaIsNoData) {
    testkit::TempFolder dir;
    WriteText(dir / "in.grd", "DSAA\n2 2\n0 1\n0 1\n1 4\n1 1.70141e38\n3 4\n");
    EXPECT_TRUE(std::isnan(geo::ReadRaster(dir / "in.grd").values[3]));  // south row first in the file
    geo::ConvertRaster(dir / "in.grd", dir / "out.tif", {});
    const GdalBand out = ReadWithGdal(dir / "out.tif");
    EXPECT_TRUE(SameValues(out.values, {3, 4, 1, std::nan("")}));
}

TEST(Convert, RefusesWhatTheOutputCannotHold) {
    testkit::TempFolder dir;
    TiffFixture tiff = SmallGrid();
    tiff.bands.push_back(std::vector<double>(12, 99998.999));
    WriteTiff(dir / "in.tif", tiff);
    try {
        geo::ConvertRaster(dir / "in.tif", dir / "out.grd", {});
        FAIL() << "two bands went into a DSAA grid";
    } catch (const geo::GeoError& e) {
        EXPECT_NE(std::string(e.what()).find("--band"), std::string::npos) << e.what();
    }
    // 99998.999 written with two decimals would read back as the blank value.
    EXPECT_THROW(geo::ConvertRaster(dir / "in.tif", dir / "out.txt", Options("KVSGDA01"), 2), geo::GeoError);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
    EXPECT_THROW(geo::ConvertRaster(dir / "in.tif", dir / "out.grd", {}, 3), geo::GeoError);
}

struct FrameCase {
    const char* what;
    void (*change)(geo::GridFrame&);
    const char* named;  // in the message
};

TEST(RequireSameFrame, NamesBothFilesAndTheDifference) {
    const FrameCase cases[] = {
        {"size", [](geo::GridFrame& f) { f.rows = 5; }, "5 x 3 cells, but a.tif has 4 x 3"},
        {"cell size", [](geo::GridFrame& f) { f.geoTransform[1] = 20; },
         "cells of 20 x 10, but a.tif has 10 x 10"},
        {"origin", [](geo::GridFrame& f) { f.geoTransform[0] = 1005; },
         "origin 1005, 2000, but a.tif has 1000, 2000"},
        {"crs", [](geo::GridFrame& f) { f.crsWkt = CrsWkt(4326); },
         "CRS \"WGS 84\", but a.tif has CRS \"GDA94 / MGA zone 54\""},
    };
    geo::GridFrame a{4, 3, {1000, 10, 0, 2000, 0, -10}, CrsWkt(28354)};
    EXPECT_NO_THROW(geo::RequireSameFrame("a.tif", a, "b.tif", a));
    for (const FrameCase& c : cases) {
        geo::GridFrame b = a;
        c.change(b);
        try {
            geo::RequireSameFrame("a.tif", a, "b.tif", b);
            ADD_FAILURE() << c.what << ": not refused";
        } catch (const geo::GeoError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("b.tif: ", 0), 0u) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << c.what << ": " << e.what();
        }
    }
}

// gdalwarp's own result for the reference grid, the oracle of align.
GdalBand Gdalwarp(const std::string& input, const std::string& output, const char* method) {
    const std::string command =
        "gdalwarp -q -overwrite -t_srs EPSG:28354 -te 500000 6999500 500600 7000000 "
        "-ts 6 5 -ot Float64 -dstnodata nan -r " +
        std::string(method) + " " + input + " " + output;
    if (std::system(command.c_str()) != 0) throw std::runtime_error("gdalwarp failed");
    return ReadWithGdal(output);
}

TEST(Align, ReprojectsOntoTheReferenceAsGdalwarpDoes) {
    testkit::TempFolder dir;
    TiffFixture reference;
    reference.rows = 5;
    reference.cols = 6;
    reference.geoTransform = {500000, 100, 0, 7000000, 0, -100};
    reference.epsg = 28354;
    reference.bands = {std::vector<double>(30, 1.0)};
    WriteTiff(dir / "ref.tif", reference);
    // A finer raster in geographic coordinates over the reference and beyond its west edge.
    const auto [west, north] = Reproject(499800, 7000100, 28354, 4326);
    const auto [east, south] = Reproject(500700, 6999400, 28354, 4326);
    TiffFixture input;
    input.rows = 40;
    input.cols = 40;
    input.geoTransform = {west, (east - west) / 40, 0, north, 0, (south - north) / 40};
    input.epsg = 4326;
    input.noData = -1;
    std::vector<double> values;
    for (int i = 0; i < 1600; ++i) values.push_back(i % 37 == 0 ? -1.0 : double(i % 5));
    input.bands = {values};
    WriteTiff(dir / "in.tif", input);

    const geo::GridFrame target = geo::Raster::Open(dir / "ref.tif").frame();
    for (const char* method : {"nearest", "bilinear", "mode"}) {
        const geo::AlignResult result = geo::AlignRaster(dir / "in.tif", target, dir / "out.tif",
                                                         geo::ResamplingNamed(method), Options("", true));
        EXPECT_TRUE(result.reprojected);
        const geo::RasterData ours = geo::ReadRaster(dir / "out.tif");
        EXPECT_EQ(geo::FrameDifference(target, ours.frame), "") << method;
        const GdalBand oracle =
            Gdalwarp(dir / "in.tif", dir / "oracle.tif", std::string(method) == "nearest" ? "near" : method);
        EXPECT_TRUE(SameValues(ours.values, oracle.values)) << method;
    }
}

TEST(Align, DesignGridKeepsItsBlanksAsNoData) {
    testkit::TempFolder dir;
    WriteText(dir / "in.grd", "DSAA\n3 2\n0.5 2.5\n0.5 1.5\n1 6\n1 2 99999\n4 5 6\n");
    const geo::GridFrame target = geo::Raster::Open(dir / "in.grd").frame();
    geo::AlignRaster(dir / "in.grd", target, dir / "out.tif", geo::Resampling::nearest, {});
    const GdalBand out = ReadWithGdal(dir / "out.tif");
    EXPECT_TRUE(SameValues(out.values, {4, 5, 6, 1, 2, std::nan("")}));
    EXPECT_THROW(geo::ResamplingNamed("cubic"), geo::GeoError);
}

TEST(Align, NamesOutputsByFormat) {
    const std::pair<const char*, const char*> cases[] = {{"", "d/x.tif"},
                                                         {"DSAA", "d/x.grd"},
                                                         {"kvsgda01", "d/x.txt"},
                                                         {"HXF", "d/x.hxf"},
                                                         {"HFA", "d/x.img"}};
    for (const auto& [format, path] : cases)
        EXPECT_EQ(geo::AlignedPath("d", "in/x.grd", Options(format)), path) << format;
}

}  // namespace
}  // namespace quarnel::testing
