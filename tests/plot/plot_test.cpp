// Map and curve pictures: the PNG read back with cairo (size, transparent no-data, the ramp's or
// palette's colour at a known cell, deposit markers on their cells), SVG output, refusals.
#include "plot/plot.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace quarnel::plot {
namespace {

struct Pixel {
    int r, g, b, a;
};

class Picture {
  public:
    explicit Picture(const std::string& path) : surface_(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Picture() { cairo_surface_destroy(surface_); }
    bool Decoded() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
    int Width() const { return cairo_image_surface_get_width(surface_); }
    int Height() const { return cairo_image_surface_get_height(surface_); }
    Pixel At(double x, double y) const {
        const unsigned char* data = cairo_image_surface_get_data(surface_);
        const int stride = cairo_image_surface_get_stride(surface_);
        const auto row = static_cast<std::ptrdiff_t>(std::floor(y)) * stride;
        const std::uint32_t p =
            reinterpret_cast<const std::uint32_t*>(data + row)[static_cast<int>(std::floor(x))];
        return {static_cast<int>(p >> 16 & 0xff), static_cast<int>(p >> 8 & 0xff), static_cast<int>(p & 0xff),
                static_cast<int>(p >> 24)};
    }

  private:
    cairo_surface_t* surface_;
};

void ExpectColour(const Pixel& pixel, Rgb colour) {
    EXPECT_EQ(pixel.a, 255);
    EXPECT_EQ(pixel.r, colour.r);
    EXPECT_EQ(pixel.g, colour.g);
    EXPECT_EQ(pixel.b, colour.b);
}

class PlotFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("quarnel_plot_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    // 10 rows x 20 columns of 50 m cells, value row * 20 + col; no-data at (2, 3), NaN at (5, 5).
    MapRaster Raster() {
        values_.resize(200);
        for (std::size_t i = 0; i < 200; ++i) values_[i] = static_cast<double>(i);
        values_[2 * 20 + 3] = -9999;
        values_[5 * 20 + 5] = std::numeric_limits<double>::quiet_NaN();
        return {10, 20, values_, {1000, 50, 0, 5000, 0, -50}, -9999.0};
    }

    std::filesystem::path folder_;
    std::vector<double> values_;
};

// The centre of a cell in the picture: 20 pixels a cell at 400 pixels for 20 columns.
double CellX(int col) {
    return kMarginLeft + 20 * col + 10;
}
double CellY(int row) {
    return kMarginTop + 20 * row + 10;
}

TEST_F(PlotFiles, ScoreMapHasItsSizeRampColoursTransparentNoDataAndDepositsOnTheirCells) {
    MapOptions options;
    options.title = "scores";
    options.units = "metre";
    options.mapPixels = 400;
    // Deposits at the centres of cells (4, 6) and (9, 0), one outside the map.
    options.deposits = {{1000 + 6.5 * 50, 5000 - 4.5 * 50}, {1000 + 0.5 * 50, 5000 - 9.5 * 50}, {-1e9, 1e9}};
    const PlotOutcome outcome = PlotMap(Raster(), options, Path("map.png"));
    ASSERT_TRUE(outcome.ok) << outcome.cause;
    const Picture picture(Path("map.png"));
    ASSERT_TRUE(picture.Decoded());
    // 96 + 400 + 200 wide; the legend (334 pixels) is taller than the 200-pixel map.
    EXPECT_EQ(picture.Width(), 696);
    EXPECT_EQ(picture.Height(), 48 + 334 + 44);
    EXPECT_EQ(outcome.width, picture.Width());
    EXPECT_EQ(picture.At(CellX(3), CellY(2)).a, 0);
    EXPECT_EQ(picture.At(CellX(5), CellY(5)).a, 0);
    // Lowest value 0, highest 199.
    ExpectColour(picture.At(CellX(11), CellY(7)), ViridisColour((7 * 20 + 11) / 199.0));
    ExpectColour(picture.At(CellX(0) - 8, CellY(0) - 8), ViridisColour(0));
    ExpectColour(picture.At(CellX(19) + 8, CellY(9) + 8), ViridisColour(1));
    ExpectColour(picture.At(CellX(6), CellY(4)), kDepositColour);
    ExpectColour(picture.At(CellX(0), CellY(9)), kDepositColour);
    ExpectColour(picture.At(CellX(7), CellY(4)), ViridisColour((4 * 20 + 7) / 199.0));
    // The margins are white.
    ExpectColour(picture.At(4, 4), {255, 255, 255});
}

TEST_F(PlotFiles, RampEndsAreMatplotlibsViridis) {
    EXPECT_EQ(ViridisColour(0), (Rgb{0x44, 0x01, 0x54}));
    EXPECT_EQ(ViridisColour(1), (Rgb{0xfd, 0xe7, 0x25}));
    EXPECT_EQ(ViridisColour(0.5), (Rgb{0x21, 0x91, 0x8c}));
    EXPECT_EQ(ViridisColour(-3), ViridisColour(0));
    EXPECT_EQ(ViridisColour(std::numeric_limits<double>::quiet_NaN()), ViridisColour(0));
}

TEST_F(PlotFiles, ClassMapColoursEachValueByItsPlaceAmongTheClasses) {
    MapRaster raster = Raster();
    for (std::size_t i = 0; i < 200; ++i) values_[i] = i % 3 == 0 ? 5 : i % 3 == 1 ? 1 : 2;
    values_[2 * 20 + 3] = -9999;
    MapOptions options;
    options.classes = true;
    options.classNames = {{1, "low", std::nullopt}, {5, "high", std::nullopt}};
    options.mapPixels = 400;
    ASSERT_TRUE(PlotMap(raster, options, Path("classes.png")).ok);
    const Picture picture(Path("classes.png"));
    ASSERT_TRUE(picture.Decoded());
    ExpectColour(picture.At(CellX(0), CellY(0)), ClassColour(2, 3));  // value 5, the third class
    ExpectColour(picture.At(CellX(1), CellY(0)), ClassColour(0, 3));  // value 1
    ExpectColour(picture.At(CellX(2), CellY(0)), ClassColour(1, 3));  // value 2
    EXPECT_EQ(picture.At(CellX(3), CellY(2)).a, 0);
}

// A map reader's marks: the north arrow filled along its shaft in the top right corner and
// blank beside it, training deposits red and held-out ones white on their cells, each named in
// the legend; classes given a colour take it on the map and in the legend.
TEST_F(PlotFiles, NorthArrowHeldOutTrianglesAndNamedColours) {
    MapRaster raster = Raster();
    for (std::size_t i = 0; i < 200; ++i) values_[i] = i % 2 == 0 ? 1 : -1;
    MapOptions options;
    options.classes = true;
    options.classNames = {{1, "favourable", Rgb{253, 174, 97}}, {-1, "unfavourable", std::nullopt}};
    options.mapPixels = 400;
    options.deposits = {{1000 + 6.5 * 50, 5000 - 4.5 * 50}};
    options.heldOut = {{1000 + 12.5 * 50, 5000 - 7.5 * 50}, {1000 + 2.5 * 50, 5000 - 1.5 * 50}};
    const PlotOutcome drawn = PlotMap(raster, options, Path("marks.png"));
    ASSERT_TRUE(drawn.ok) << drawn.cause;
    const Picture picture(Path("marks.png"));
    ASSERT_TRUE(picture.Decoded());
    const double arrow = picture.Width() - kNorthArrowRight;
    for (const double y : {kNorthArrowTop + 8.0, 24.0, kMarginTop - 14.0})
        ExpectColour(picture.At(arrow, y), {0, 0, 0});
    ExpectColour(picture.At(arrow, kMarginTop - 2.0), {255, 255, 255});  // the notch below the head
    ExpectColour(picture.At(arrow + 12, kNorthArrowTop + 4.0), {255, 255, 255});
    ExpectColour(picture.At(CellX(6), CellY(4)), kDepositColour);
    ExpectColour(picture.At(CellX(12), CellY(7)), kHeldOutColour);
    ExpectColour(picture.At(CellX(2), CellY(1)), kHeldOutColour);
    ExpectColour(picture.At(CellX(0), CellY(0)), {253, 174, 97});     // value 1, its own colour
    ExpectColour(picture.At(CellX(1), CellY(0)), ClassColour(0, 2));  // value -1, the palette's
    // The legend: the class swatches (value -1 first), then a circle and a triangle row.
    const double swatch = kMarginLeft + 400 + 24 + 7, firstRow = kMarginTop + 26 + 10;
    ExpectColour(picture.At(swatch, firstRow), ClassColour(0, 2));
    ExpectColour(picture.At(swatch, firstRow + 22), {253, 174, 97});
    const double markers = firstRow + 2 * 22 + 8;
    ExpectColour(picture.At(swatch, markers), kDepositColour);
    ExpectColour(picture.At(swatch, markers + 22), kHeldOutColour);
    // One legend row more than without held-out deposits.
    options.heldOut.clear();
    EXPECT_EQ(drawn.height - PlotMap(raster, options, Path("without.png")).height, 22);
}

// Up to 20 classes each get a colour of their own (one more and the map is refused); curves the
// same.
TEST_F(PlotFiles, EveryClassHasItsOwnColourOrTheMapIsRefused) {
    MapRaster raster = Raster();
    MapOptions options;
    options.classes = true;
    options.mapPixels = 400;
    for (const std::size_t count : {std::size_t{10}, std::size_t{14}, kMostClasses}) {
        SCOPED_TRACE(count);
        for (std::size_t i = 0; i < 200; ++i) values_[i] = static_cast<double>(i % 20 % count);
        ASSERT_TRUE(PlotMap(raster, options, Path("classes.png")).ok);
        const Picture picture(Path("classes.png"));
        std::set<std::tuple<int, int, int>> colours;
        for (int col = 0; col < 20; ++col) {
            const Pixel pixel = picture.At(CellX(col), CellY(0));
            colours.insert({pixel.r, pixel.g, pixel.b});
        }
        EXPECT_EQ(colours.size(), count);
        ExpectColour(picture.At(CellX(int(count) - 1), CellY(1)), ClassColour(count - 1, count));
    }
    for (std::size_t i = 0; i < 200; ++i) values_[i] = static_cast<double>(i % 21);
    std::filesystem::remove(Path("classes.png"));
    const PlotOutcome refused = PlotMap(raster, options, Path("classes.png"));
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.cause.find("more than 20 class values"), std::string::npos) << refused.cause;
    EXPECT_FALSE(std::filesystem::exists(Path("classes.png")));
    const std::vector<CurveSeries> many(21, CurveSeries{"c", {{0, 0}, {1, 1}}, 0.5});
    EXPECT_FALSE(PlotCurves(many, CurveKind::Roc, "", Path("many.png")).ok);
    EXPECT_FALSE(std::filesystem::exists(Path("many.png")));
}

// A title that is not UTF-8 (a GBK file name) is drawn with "?" for its bad bytes.
TEST_F(PlotFiles, SvgIsWrittenWholeUnderItsName) {
    MapOptions options;
    options.title = "svg \xb5\xd8\xcd\xbc \xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82";  // GBK, a surrogate, past
                                                                                    // U+10FFFF, cut
    ASSERT_TRUE(PlotMap(Raster(), options, Path("map.SVG")).ok);
    std::ifstream in(Path("map.SVG"));
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(text.find("<svg"), std::string::npos);
    EXPECT_NE(text.find("</svg>"), std::string::npos);
    EXPECT_GT(text.size(), 10000u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(PlotFiles, RefusalsNameTheirCauseAndLeaveNoFile) {
    MapRaster rotated = Raster();
    rotated.geoTransform[2] = 0.5;
    MapRaster southUp = Raster();
    southUp.geoTransform[5] = 50;
    MapRaster short_ = Raster();
    short_.rows = 11;
    const struct {
        const char* what;
        MapRaster raster;
        std::string path;
        const char* cause;
    } cases[] = {
        {"rotated", rotated, Path("a.png"), "rotated"},
        {"south-up", southUp, Path("a.png"), "north-up"},
        {"short", short_, Path("a.png"), "do not fill"},
        {"extension", Raster(), Path("a.tif"), ".png or .svg"},
        {"folder", Raster(), Path("none/a.png"), "cannot create"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PlotOutcome outcome = PlotMap(c.raster, MapOptions{}, c.path);
        EXPECT_FALSE(outcome.ok);
        EXPECT_NE(outcome.cause.find(c.cause), std::string::npos) << outcome.cause;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder_));
}

TEST_F(PlotFiles, CurvesOfSeveralMethodsShareOnePlot) {
    const std::vector<CurveSeries> series = {{"weights", {{0, 0}, {0.5, 1}, {1, 1}}, 0.75},
                                             {"network", {{0, 0}, {1, 0.5}, {1, 1}}, 0.25}};
    const PlotOutcome outcome = PlotCurves(series, CurveKind::Roc, "ROC", Path("roc.png"));
    ASSERT_TRUE(outcome.ok) << outcome.cause;
    const Picture picture(Path("roc.png"));
    ASSERT_TRUE(picture.Decoded());
    EXPECT_EQ(picture.Width(), kCurvePlotWidth);
    EXPECT_EQ(picture.Height(), kCurvePlotHeight + 40);
    // The plot area is 400 pixels square at (72, 44): the first curve passes (0.25, 0.5), the
    // second runs up the right-hand side at y 0.25.
    const Pixel first = picture.At(72 + 100, 44 + 200);
    EXPECT_NEAR(first.r, ClassColour(0, 2).r, 40);
    EXPECT_NEAR(first.b, ClassColour(0, 2).b, 40);
    EXPECT_TRUE(PlotCurves(series, CurveKind::SuccessRate, "success", Path("rate.svg")).ok);
    EXPECT_TRUE(PlotCurves(series, CurveKind::PrecisionRecall, "precision-recall", Path("pr.png")).ok);
}

TEST_F(PlotFiles, PredictionAreaMarksTheCrossingOnTheThresholdAxis) {
    // Thresholds 2 .. 6 span the plot's width. The marker goes where it is told: at threshold 4
    // (the middle) and rate 0.9, away from both curves, which meet at rate 0.6 there.
    const std::vector<PredictionAreaSeries> series = {
        {"weights", {{6, 0.2, 0.1}, {4, 0.6, 0.4}, {2, 1, 1}}, {4, 0.9, 0.1}}};
    const PlotOutcome outcome = PlotPredictionArea(series, "P-A", Path("pa.png"));
    ASSERT_TRUE(outcome.ok) << outcome.cause;
    const Picture picture(Path("pa.png"));
    ASSERT_TRUE(picture.Decoded());
    EXPECT_EQ(picture.Width(), outcome.width);
    const Pixel marker = picture.At(72 + 200, 44 + 40);
    EXPECT_NEAR(marker.r, ClassColour(0, 1).r, 40);
    EXPECT_NEAR(marker.b, ClassColour(0, 1).b, 40);
    const std::vector<PredictionAreaSeries> many(kMostClasses + 1, series[0]);
    EXPECT_FALSE(PlotPredictionArea(many, "", Path("many.png")).ok);
    EXPECT_FALSE(std::filesystem::exists(Path("many.png")));
}

}  // namespace
}  // namespace quarnel::plot
