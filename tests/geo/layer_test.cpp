// One raster layer model for the GDAL door: no data decided once at opening, results Float32 with
// NaN, the output format from GDAL's own driver metadata, sources opened once, and sources that
// would block or reach a network refused before GDAL opens them. GDAL's C API is the oracle.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gdal.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <limits>

#include "geo/align.h"
#include "geo/convert.h"
#include "geo/prep.h"
#include "geo/raster.h"
#include "geo_fixtures.h"
#include "tests/testkit/testkit.h"

namespace quarnel::testing {
namespace {

using testkit::CliResult;
using testkit::RunCli;
constexpr double kInf = std::numeric_limits<double>::infinity();

// Equal cell by cell, NaN to NaN, within Float32's precision.
bool SameCells(const std::vector<double>& got, const std::vector<double>& want) {
    if (got.size() != want.size()) return false;
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (std::isnan(got[i]) != std::isnan(want[i])) return false;
        if (!std::isnan(want[i]) && std::fabs(got[i] - want[i]) > 1e-6 * std::max(1.0, std::fabs(want[i])))
            return false;
    }
    return true;
}

// A 2 x 4 Byte GeoTIFF with no-data 0, classes 1..7 and a scale and offset the results must not
// inherit.
void WriteClasses(const std::string& path) {
    geo::InitialiseGdal();
    GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), path.c_str(), 4, 2, 1, GDT_Byte, nullptr);
    double transform[6] = {0, 10, 0, 20, 0, -10};
    GDALSetGeoTransform(dataset, transform);
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    GDALSetRasterNoDataValue(band, 0);
    GDALSetRasterScale(band, 0.5);
    GDALSetRasterOffset(band, 10);
    unsigned char values[8] = {0, 1, 2, 3, 7, 1, 0, 5};
    EXPECT_EQ(GDALRasterIO(band, GF_Write, 0, 0, 4, 2, values, 4, 2, GDT_Byte, 0, 0), CE_None);
    GDALClose(dataset);
}

TiffFixture Row(std::vector<double> values) {
    TiffFixture tiff;
    tiff.rows = 1;
    tiff.cols = int(values.size());
    tiff.geoTransform = {0, 10, 0, 10, 0, -10};
    tiff.bands = {std::move(values)};
    return tiff;
}

struct DriverInfo {
    std::string driver;
    std::string type;
    bool scaled = false;
};

DriverInfo DriverOf(const std::string& path) {
    GDALDatasetH dataset = GDALOpen(path.c_str(), GA_ReadOnly);
    if (dataset == nullptr) return {};
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    int hasScale = 0;
    int hasOffset = 0;
    GDALGetRasterScale(band, &hasScale);
    GDALGetRasterOffset(band, &hasOffset);
    DriverInfo info{GDALGetDriverShortName(GDALGetDatasetDriver(dataset)),
                    GDALGetDataTypeName(GDALGetRasterDataType(band)), hasScale != 0 || hasOffset != 0};
    GDALClose(dataset);
    return info;
}

std::string Refusal(const std::function<void()>& run) {
    try {
        run();
    } catch (const geo::GeoError& e) {
        return e.what();
    }
    return "(not refused)";
}

// No data: a GDAL raster's own value exactly (never "within 1"), NaN, and +-inf, which are counted.
TEST(Layer, NoDataIsTheBandsValueExactlyAndNonFiniteCells) {
    testkit::TempFolder dir;
    WriteClasses(dir / "classes.tif");
    const geo::RasterData classes = geo::ReadRaster(dir / "classes.tif");
    EXPECT_TRUE(SameCells(classes.values, {std::nan(""), 1, 2, 3, 7, 1, std::nan(""), 5}));

    WriteTiff(dir / "inf.tif", Row({1, -kInf, 3, kInf, std::nan(""), 6}));
    const geo::Raster raster = geo::Raster::Open(dir / "inf.tif");
    std::vector<double> values(6);
    for (int pass = 0; pass < 2; ++pass) raster.ReadRows(1, 0, 1, values.data());
    EXPECT_TRUE(SameCells(values, {1, std::nan(""), 3, std::nan(""), std::nan(""), 6}));
    EXPECT_EQ(raster.NonFiniteCells(1), 2);  // read twice, counted once
    const geo::NormalizeResult result = geo::NormalizeRaster(dir / "inf.tif", dir / "n.tif", {});
    EXPECT_EQ(result.nonFinite, 2);
    EXPECT_EQ(result.blanks, 3);
    EXPECT_TRUE(SameCells(ReadWithGdal(dir / "n.tif").values, {0, NAN, 0.4, NAN, NAN, 1}));
}

// The design's grids keep the design's rule through the door, so both doors read one file alike.
TEST(Layer, DesignGridsKeepTheDesignsRule) {
    testkit::TempFolder dir;
    WriteText(dir / "d.grd", "DSAA\n4 1\n0 3\n0 1\n0 9\n1 99998.5 1.70141e38 99997.5\n");
    const geo::RasterData dsaa = geo::ReadRaster(dir / "d.grd");
    EXPECT_TRUE(SameCells(dsaa.values, {1, NAN, NAN, 99997.5}));
    EXPECT_NE(geo::Raster::Open(dir / "d.grd").NoDataRule(1).find("within 1 of 99999"), std::string::npos);
    const CliResult info = RunCli({"info", dir / "d.grd"});
    EXPECT_NE(info.output.find("blanks 1 (values within 1 of 99999)"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("surfer 1 values"), std::string::npos) << info.output;
}

// Results are Float32 (Float64 on request) with NaN as no data unless a value is asked for;
// nothing of the input's encoding is carried. No data 0 no longer clashes with a computed 0.
TEST(Layer, ResultsAreFloatWithNaNWhateverTheInput) {
    testkit::TempFolder dir;
    WriteClasses(dir / "classes.tif");
    geo::NormalizeRaster(dir / "classes.tif", dir / "n.tif", {});
    const GdalBand n = ReadWithGdal(dir / "n.tif");
    EXPECT_TRUE(SameCells(n.values, {NAN, 0, 1.0 / 6, 2.0 / 6, 1, 0, NAN, 4.0 / 6}));
    ASSERT_TRUE(n.noData.has_value());
    EXPECT_TRUE(std::isnan(*n.noData));
    EXPECT_EQ(DriverOf(dir / "n.tif").type, "Float32");
    EXPECT_FALSE(DriverOf(dir / "n.tif").scaled);

    geo::WriteOptions options;
    options.float64 = true;
    options.noData = -9999;
    geo::ConvertRaster(dir / "classes.tif", dir / "c.tif", options);
    EXPECT_EQ(DriverOf(dir / "c.tif").type, "Float64");
    EXPECT_EQ(ReadWithGdal(dir / "c.tif").noData, std::optional<double>(-9999));
    EXPECT_EQ(ReadWithGdal(dir / "c.tif").values[0], -9999);
}

// The output's driver is the one GDAL's metadata gives the extension; others are refused, named.
TEST(Layer, OutputFormatComesFromGdalsDriverMetadata) {
    testkit::TempFolder dir;
    WriteTiff(dir / "in.tif", Row({0.027, 0.05, 0.081}));
    std::vector<std::pair<std::string, std::string>> cases = {{"out.img", "HFA"}, {"out.tiff", "GTiff"}};
    if (GDALGetDriverByName("netCDF") != nullptr) cases.emplace_back("out.nc", "netCDF");
    for (const auto& [name, driver] : cases) {
        geo::ConvertRaster(dir / "in.tif", dir / name, {});
        EXPECT_EQ(DriverOf(dir / name).driver, driver) << name;
        EXPECT_EQ(ReadWithGdal(dir / name).values[2], double(0.081f)) << name;
    }
    EXPECT_NE(Refusal([&] { geo::ConvertRaster(dir / "in.tif", dir / "out.xyzq", {}); }).find("\".xyzq\""),
              std::string::npos);
    const std::string png = Refusal([&] { geo::ConvertRaster(dir / "in.tif", dir / "out.png", {}); });
    EXPECT_NE(png.find("PNG driver cannot hold Float32"), std::string::npos) << png;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
    geo::WriteOptions convert;
    convert.convert = true;
    geo::ConvertRaster(dir / "in.tif", dir / "out.png", convert);
    EXPECT_EQ(DriverOf(dir / "out.png").driver, "PNG");
}

TEST(Layer, SourceIsOpenedOnce) {
    testkit::TempFolder dir;
    WriteTiff(dir / "in.tif", Row({1, 2}));
    const long before = geo::GdalDatasetOpens();
    ASSERT_TRUE(geo::IsGdalRaster(dir / "in.tif"));  // as a command tells its door
    const geo::Raster raster = geo::Raster::Open(dir / "in.tif");
    EXPECT_EQ(geo::GdalDatasetOpens() - before, 1);
    EXPECT_EQ(raster.Format(), "GTiff");
    const long aligning = geo::GdalDatasetOpens();
    geo::AlignRaster(dir / "in.tif", raster.frame(), dir / "out.tif", geo::Resampling::nearest, {});
    EXPECT_EQ(geo::GdalDatasetOpens() - aligning, 1);
}

std::string VrtOver(const std::string& source, bool relative) {
    return std::string(
               "<VRTDataset rasterXSize=\"2\" rasterYSize=\"1\"><VRTRasterBand dataType=\"Float32\" "
               "band=\"1\"><SimpleSource><SourceFilename relativeToVRT=\"") +
           (relative ? "1" : "0") + "\">" + source +
           "</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>\n";
}

// A VRT over a FIFO would block every command that opens it; it is refused at once.
TEST(Layer, VrtOverAFifoIsRefusedWithoutBlocking) {
    testkit::TempFolder dir;
    ASSERT_EQ(mkfifo((dir / "pipe.tif").c_str(), 0600), 0);
    WriteText(dir / "pipe.vrt", VrtOver("pipe.tif", true));
    WriteText(dir / "outer.vrt", VrtOver("pipe.vrt", true));
    for (const std::string vrt : {"pipe.vrt", "outer.vrt"})
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"info", dir / vrt}, {"normalize", dir / vrt, dir / "n.tif"}}) {
            const std::time_t start = std::time(nullptr);
            const CliResult result = RunCli(arguments, {.killAfterMs = 20000});
            EXPECT_LE(std::time(nullptr) - start, 5);
            EXPECT_EQ(result.exitCode, 1) << result.output;
            EXPECT_NE(result.output.find("pipe.tif: not a regular file"), std::string::npos) << result.output;
        }
}

// A remote source (in a VRT or named directly) is refused before any connection: a loopback
// listener is never connected to.
TEST(Layer, RemoteSourcesMakeNoConnection) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x.tif";
    testkit::TempFolder dir;
    WriteText(dir / "remote.vrt", VrtOver("/vsicurl/" + url, false));
    for (const std::string& source : {std::string(dir / "remote.vrt"), "/vsicurl/" + url, url}) {
        const CliResult result = RunCli({"info", source}, {.killAfterMs = 20000});
        EXPECT_EQ(result.exitCode, 1) << result.output;
        EXPECT_NE(result.output.find("remote source"), std::string::npos) << result.output;
    }
    fcntl(listener, F_SETFL, O_NONBLOCK);
    EXPECT_LT(accept(listener, nullptr, nullptr), 0) << "a connection was made";
    close(listener);
}

// Outputs: the target of a symbolic link is written, and temporaries a killed run left beside
// the output are removed by the next run writing there (a living process's are not).
TEST(Layer, OutputsFollowLinksAndSweepAbandonedTemporaries) {
    testkit::TempFolder dir;
    WriteTiff(dir / "in.tif", Row({1, 2}));
    std::filesystem::create_symlink("target.tif", dir / "link.tif");
    ASSERT_EQ(RunCli({"normalize", dir / "in.tif", dir / "link.tif"}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.tif"));
    EXPECT_EQ(DriverOf(dir / "target.tif").driver, "GTiff");

    const std::string dead = dir / ".out.tif.part2147483646-1.tif";
    const std::string alive = dir / (".out.tif.part" + std::to_string(getppid()) + "-1.tif");
    for (const std::string& path : {dead, dead + ".aux.xml", alive}) WriteText(path, "left behind");
    ASSERT_EQ(RunCli({"normalize", dir / "in.tif", dir / "out.tif"}).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_FALSE(std::filesystem::exists(dead + ".aux.xml"));
    EXPECT_TRUE(std::filesystem::exists(alive));
}

// On a full disk (a 64 KB tmpfs) every output format fails and leaves nothing behind, also HFA,
// which does not report its own failed writes.
TEST(Layer, FullDiskFailsAndLeavesNoTemporary) {
    testkit::TempFolder dir;
    std::vector<double> values(300 * 300);
    std::uint64_t state = 88172645463325252ULL;  // xorshift: values no compression shrinks
    for (double& v : values) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        v = double(state % 1000003) / 7.0;
    }
    TiffFixture big = Row(values);
    big.rows = 300;
    big.cols = 300;
    WriteTiff(dir / "big.tif", big);
    std::filesystem::create_directory(dir / "full");
    const std::string mount = "mount -t tmpfs -o size=64k tmpfs " + dir / "full" + " 2>/dev/null";
    if (std::system(mount.c_str()) != 0) GTEST_SKIP() << "no tmpfs can be mounted here";
    for (const char* name : {"n.tif", "n.img", "n.grd", "n.hxf"}) {
        const CliResult result = RunCli({"normalize", dir / "big.tif", dir / (std::string("full/") + name)});
        EXPECT_EQ(result.exitCode, 1) << name << ": " << result.output;
        EXPECT_TRUE(std::filesystem::is_empty(dir / "full")) << name;
    }
    EXPECT_EQ(std::system(("umount " + dir / "full").c_str()), 0);
}

}  // namespace
}  // namespace quarnel::testing
