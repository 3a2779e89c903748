// Logistic regression on every cell when the cells hold more conditions than may be pooled: the
// fit reads the rasters again at every Newton step and still gives scikit-learn's fit of the whole
// cell table (numpy's inverse of X'WX for the errors), the pooled fit on layers of classes, the
// refusal of a separating layer, and a stop within a strip.
#include "geo/logistic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "geo_fixtures.h"
#include "tests/testkit/testkit.h"

namespace quarnel::testing {
namespace {

// 75,000 cells: more than one batch of a pass.
constexpr int kRows = 300;
constexpr int kCols = 250;

struct Layers {
    std::string folder;  // ending in /
    std::vector<geo::Point> deposits;
    std::string depositCells;  // "row col" lines, for the oracle
    std::string Path(const std::string& name) const { return folder + name + ".tif"; }
};

// depth (continuous, one blank cell), grade (continuous), rock (classes 1 to 3) and coarse (depth
// to one decimal) on a 100 m grid; deposits drawn more often where depth and rock are high, or
// (separating) on every cell of depth above 2.
Layers WriteLayers(const testkit::TempFolder& folder, bool separating = false) {
    std::mt19937 random(7);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    std::vector<double> depth, grade, rock, coarse;
    Layers layers{folder / "", {}, {}};
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            depth.push_back(normal(random));
            grade.push_back(5 * uniform(random));
            rock.push_back(double(1 + random() % 3));
            coarse.push_back(std::round(depth.back() * 10) / 10);
            const double eta = -4 + 0.8 * depth.back() - 0.2 * grade.back() + 0.5 * rock.back();
            const bool deposit = separating ? depth.back() > 2 : uniform(random) < 1 / (1 + std::exp(-eta));
            if (!deposit || (r == 3 && c == 4)) continue;
            layers.deposits.push_back({500000 + 100.0 * c + 50, 7000700 - 100.0 * r - 50, "", 0});
            layers.depositCells += std::to_string(r) + " " + std::to_string(c) + "\n";
        }
    depth[3 * kCols + 4] = coarse[3 * kCols + 4] = NAN;
    for (const auto& [name, values] :
         {std::pair{"depth", &depth}, {"grade", &grade}, {"rock", &rock}, {"coarse", &coarse}}) {
        TiffFixture tiff;
        tiff.rows = kRows;
        tiff.cols = kCols;
        tiff.geoTransform = {500000, 100, 0, 7000700, 0, -100};
        tiff.epsg = 28354;
        tiff.bands = {*values};
        WriteTiff(layers.Path(name), tiff);
    }
    return layers;
}

geo::LogisticRasterRequest EveryCell(const Layers& layers, const std::vector<std::string>& names,
                                     std::size_t maxConditions) {
    geo::LogisticRasterRequest request;
    for (const std::string& name : names) request.evidence.push_back(layers.Path(name));
    request.deposits = layers.deposits;
    request.depositsName = "deposits";
    request.allCells = true;
    request.maxConditions = maxConditions;
    request.output = layers.Path("p");
    request.stdErrorOutput = layers.Path("p.std_error");
    return request;
}

// scikit-learn's unpenalised fit of every cell with data on depth and grade (read by GDAL's
// Python bindings), and the errors from numpy's inverse of X'WX at it: estimates, then errors.
std::vector<double> OracleFit(const testkit::TempFolder& folder, const Layers& layers) {
    WriteText(folder / "cells.txt", layers.depositCells);
    const std::string script =
        "import numpy as np\n"
        "from osgeo import gdal\n"
        "from sklearn.linear_model import LogisticRegression\n"
        "grids = [gdal.Open(f'" +
        layers.folder +
        "{name}.tif').ReadAsArray() for name in ('depth', 'grade')]\n"
        "x = np.column_stack([g.ravel().astype(float) for g in grids])\n"
        "y = np.zeros(len(x))\n"
        "for r, c in np.loadtxt('" +
        folder / "cells.txt" + "', dtype=int, ndmin=2): y[r * " + std::to_string(kCols) +
        " + c] = 1\n"
        "valid = ~np.isnan(x).any(axis=1)\n"
        "x, y = x[valid], y[valid]\n"
        "m = LogisticRegression(penalty=None, solver='newton-cg', tol=1e-12, max_iter=1000).fit(x, y)\n"
        "beta = np.concatenate([m.intercept_, m.coef_[0]])\n"
        "design = np.column_stack([np.ones(len(y)), x])\n"
        "p = 1 / (1 + np.exp(-design @ beta))\n"
        "errors = np.sqrt(np.diag(np.linalg.inv(design.T @ (design * (p * (1 - p))[:, None]))))\n"
        "print(' '.join('%.17g' % v for v in np.concatenate([beta, errors])))\n";
    WriteText(folder / "oracle.py", script);
    FILE* out = popen(("/usr/bin/python3 " + folder / "oracle.py").c_str(), "r");
    std::vector<double> found(6);
    int read = 0;
    if (out != nullptr) {
        for (double& v : found) read += std::fscanf(out, "%lf", &v);
        pclose(out);
    }
    EXPECT_EQ(read, 6);
    return found;
}

TEST(LogisticEveryCell, StreamedContinuousLayersGiveSklearnsFitOfEveryCell) {
    testkit::TempFolder folder;
    const Layers layers = WriteLayers(folder);
    std::vector<std::string> steps;
    const Progress progress = [&steps](const ProgressStep& step) {
        if (steps.empty() || steps.back() != step.what) steps.emplace_back(step.what);
        return true;
    };
    const geo::LogisticRasterResult found =
        geo::FitLogisticRasters(EveryCell(layers, {"depth", "grade"}, 1000), geo::WriteOptions{}, progress);
    const std::vector<double> oracle = OracleFit(folder, layers);
    ASSERT_TRUE(found.fit.converged);
    ASSERT_EQ(found.fit.coefficients.size(), 3u);
    for (std::size_t j = 0; j < 3; ++j) {
        EXPECT_NEAR(found.fit.coefficients[j].estimate, oracle[j], 1e-6) << j;
        EXPECT_NEAR(found.fit.coefficients[j].stdError, oracle[3 + j], 1e-6) << j;
    }
    EXPECT_EQ(found.conditions, kRows * kCols - 1);  // every cell a row of its own
    EXPECT_EQ(found.samples.deposits.cells + found.backgroundCells, kRows * kCols - 1);
    EXPECT_EQ(found.predicted, kRows * kCols - 1);
    // Rows read (the pool that gave up, the first pass), then each step and the next pass's
    // rows, the last pass's followed by the map's.
    ASSERT_EQ(steps.size(), 2 * std::size_t(found.fit.iterations) + 1);
    for (std::size_t k = 0; k < steps.size(); ++k) EXPECT_EQ(steps[k], k % 2 ? "iteration" : "row") << k;
}

TEST(LogisticEveryCell, StreamedLayersOfClassesGiveThePooledFit) {
    testkit::TempFolder folder;
    const Layers layers = WriteLayers(folder);
    geo::LogisticRasterRequest pooled = EveryCell(layers, {"coarse", "rock"}, geo::kMaxConditions);
    pooled.categorical = {"rock"};
    geo::LogisticRasterRequest streamed = pooled;
    streamed.maxConditions = 10;
    const geo::LogisticRasterResult a = geo::FitLogisticRasters(pooled, geo::WriteOptions{});
    const geo::LogisticRasterResult b = geo::FitLogisticRasters(streamed, geo::WriteOptions{});
    EXPECT_LT(a.conditions, 400);
    EXPECT_EQ(b.conditions, kRows * kCols - 1);
    ASSERT_EQ(b.fit.coefficients.size(), 4u);  // intercept, coarse, rock=2, rock=3
    EXPECT_EQ(b.fit.coefficients[3].name, "rock=3");
    for (std::size_t j = 0; j < 4; ++j) {
        EXPECT_NEAR(a.fit.coefficients[j].estimate, b.fit.coefficients[j].estimate, 1e-9) << j;
        EXPECT_NEAR(a.fit.coefficients[j].stdError, b.fit.coefficients[j].stdError, 1e-9) << j;
    }
    EXPECT_NEAR(a.fit.logLikelihood, b.fit.logLikelihood, 1e-9 * std::fabs(a.fit.logLikelihood));
    EXPECT_EQ(a.fit.iterations, b.fit.iterations);
    EXPECT_EQ(a.backgroundCells, b.backgroundCells);
    EXPECT_EQ(a.samples.background, b.samples.background);
}

// The refusal's cause, or "" when the fit went through.
std::string Refusal(const geo::LogisticRasterRequest& request) {
    try {
        geo::FitLogisticRasters(request, geo::WriteOptions{});
    } catch (const geo::GeoError& error) {
        return error.what();
    }
    return "";
}

TEST(LogisticEveryCell, StreamedFitRefusesAsThePooledOneAndStopsWithinAStrip) {
    testkit::TempFolder folder;
    const Layers separated = WriteLayers(folder, true);
    const std::string separation = Refusal(EveryCell(separated, {"depth", "grade"}, 1000));
    EXPECT_NE(separation.find("complete separation: depth separates"), std::string::npos) << separation;
    geo::LogisticRasterRequest classes = EveryCell(separated, {"depth", "grade"}, 1000);
    classes.categorical = {"grade"};
    const std::string tooMany = Refusal(classes);
    EXPECT_NE(tooMany.find("categorical: grade holds more than 1000 classes"), std::string::npos) << tooMany;
    const Layers layers = WriteLayers(folder);
    int rows = 0;
    bool stepped = false;
    // Stopped at the third strip of the second Newton step's pass.
    const Progress progress = [&](const ProgressStep& step) {
        stepped = stepped || step.what == "iteration";
        return !(stepped && step.what == "row" && ++rows == 3);
    };
    EXPECT_THROW(
        geo::FitLogisticRasters(EveryCell(layers, {"depth", "grade"}, 1000), geo::WriteOptions{}, progress),
        Stopped);
    EXPECT_EQ(rows, 3);
    EXPECT_FALSE(std::ifstream(layers.Path("p")).good());
}

}  // namespace
}  // namespace quarnel::testing
