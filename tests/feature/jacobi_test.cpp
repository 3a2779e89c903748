#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "jobs/feature/mine_feater.h"

namespace quarnel {
namespace {

struct Eigen {
    std::vector<float> values;
    std::vector<float> vectors;  // n by n, eigenvectors as columns
};

Eigen Solve(std::vector<float> a, int n) {
    Eigen out{std::vector<float>(n), std::vector<float>(n * n)};
    CMine_Feater job;
    EXPECT_EQ(job.JacobiEigen(a.data(), n, out.vectors.data(), out.values.data()), 0);
    return out;
}

// A random orthogonal matrix (rows orthonormal), by Gram-Schmidt in double.
std::vector<double> RandomRotation(int n, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<double> r(n * n);
    for (double& x : r) x = uniform(random);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < i; ++j) {
            double dot = 0;
            for (int k = 0; k < n; ++k) dot += r[i * n + k] * r[j * n + k];
            for (int k = 0; k < n; ++k) r[i * n + k] -= dot * r[j * n + k];
        }
        double norm = 0;
        for (int k = 0; k < n; ++k) norm += r[i * n + k] * r[i * n + k];
        for (int k = 0; k < n; ++k) r[i * n + k] /= std::sqrt(norm);
    }
    return r;
}

// M = R^T D R: row i of R is the eigenvector of d[i].
std::vector<float> Compose(const std::vector<double>& r, const std::vector<double>& d) {
    const int n = static_cast<int>(d.size());
    std::vector<float> m(n * n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            double sum = 0;
            for (int k = 0; k < n; ++k) sum += r[k * n + i] * d[k] * r[k * n + j];
            m[i * n + j] = static_cast<float>(sum);
        }
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < i; ++j) m[j * n + i] = m[i * n + j];
    }
    return m;
}

double Residual(const std::vector<float>& m, const Eigen& e, int n, int column) {
    double worst = 0;
    for (int i = 0; i < n; ++i) {
        double mv = 0;
        for (int k = 0; k < n; ++k) mv += static_cast<double>(m[i * n + k]) * e.vectors[k * n + column];
        worst = std::max(worst, std::fabs(mv - e.values[column] * e.vectors[i * n + column]));
    }
    return worst;
}

double WorstOrthonormality(const Eigen& e, int n) {
    double worst = 0;
    for (int a = 0; a < n; ++a) {
        for (int b = 0; b < n; ++b) {
            double dot = 0;
            for (int k = 0; k < n; ++k)
                dot += static_cast<double>(e.vectors[k * n + a]) * e.vectors[k * n + b];
            worst = std::max(worst, std::fabs(dot - (a == b ? 1.0 : 0.0)));
        }
    }
    return worst;
}

void ExpectKnownEigenpairs(const std::vector<double>& d, unsigned seed, bool distinct) {
    const int n = static_cast<int>(d.size());
    const std::vector<double> r = RandomRotation(n, seed);
    const std::vector<float> m = Compose(r, d);
    const Eigen e = Solve(m, n);
    std::vector<double> sorted = d;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    const double scale = std::max(std::fabs(sorted.front()), std::fabs(sorted.back()));
    SCOPED_TRACE(::testing::Message() << "seed " << seed << ", n " << n);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(e.values[i], sorted[i], 2e-5 * scale) << "eigenvalue " << i;
    EXPECT_LT(WorstOrthonormality(e, n), 1e-5);
    for (int col = 0; col < n; ++col) EXPECT_LT(Residual(m, e, n, col), 2e-5 * scale) << "column " << col;
    if (!distinct) return;
    for (int col = 0; col < n; ++col) {
        const int source = static_cast<int>(std::find(d.begin(), d.end(), sorted[col]) - d.begin());
        double dot = 0;
        for (int k = 0; k < n; ++k) dot += r[source * n + k] * e.vectors[k * n + col];
        EXPECT_NEAR(std::fabs(dot), 1.0, 1e-5) << "column " << col;
    }
}

TEST(JacobiEigen, FindsChosenEigenpairs) {
    ExpectKnownEigenpairs({3.0, -1.0, 0.5}, 1, true);
    ExpectKnownEigenpairs({5.0, 4.0, 3.0, 2.0, 1.0}, 2, true);
    ExpectKnownEigenpairs({0.2, 1.7, -2.5, 4.1, 0.9, -0.6, 3.3, 2.2}, 3, true);
}

TEST(JacobiEigen, FindsAFiftyByFiftySpectrum) {
    std::vector<double> d;
    for (int i = 0; i < 50; ++i) d.push_back(1.0 + 0.37 * i);
    ExpectKnownEigenpairs(d, 4, true);
}

TEST(JacobiEigen, RepeatedEigenvaluesGiveAnOrthonormalBasis) {
    ExpectKnownEigenpairs({3.0, 3.0, 1.0, 1.0}, 5, false);
    ExpectKnownEigenpairs({2.0, 2.0, 2.0, -1.0, 6.0}, 6, false);
}

TEST(JacobiEigen, WideSpreads) {
    ExpectKnownEigenpairs({1e4, 1.0, 1e-3}, 7, false);
    ExpectKnownEigenpairs({1e6, -3e5, 2.0, 1e-2}, 8, false);
}

TEST(JacobiEigen, EqualDiagonalsRotateByFortyFiveDegrees) {
    const Eigen e = Solve({1.0f, 0.5f, 0.5f, 1.0f}, 2);
    EXPECT_NEAR(e.values[0], 1.5f, 1e-6);
    EXPECT_NEAR(e.values[1], 0.5f, 1e-6);
    // cn and sn: column 0 is (cn, -sn), column 1 is (sn, cn).
    EXPECT_EQ(e.vectors, (std::vector<float>{0.70710677f, -0.70710677f, 0.70710677f, 0.70710677f}));
}

TEST(JacobiEigen, OneByOneIsItsOwnEigenpair) {
    const Eigen e = Solve({5.0f}, 1);
    EXPECT_EQ(e.values, std::vector<float>{5.0f});
    EXPECT_EQ(e.vectors, std::vector<float>{1.0f});
}

// A diagonal matrix has a zero off-diagonal norm, hence a zero threshold that every element
// meets: without the guard the first level would sweep for ever.
TEST(JacobiEigen, DiagonalMatrixIsSortedWithoutRotating) {
    const Eigen e = Solve({1, 0, 0, 0, 3, 0, 0, 0, 2}, 3);
    EXPECT_EQ(e.values, (std::vector<float>{3, 2, 1}));
    EXPECT_EQ(e.vectors, (std::vector<float>{0, 0, 1, 1, 0, 0, 0, 1, 0}));
    const Eigen identity = Solve({1, 0, 0, 1}, 2);
    EXPECT_EQ(identity.vectors, (std::vector<float>{1, 0, 0, 1}));
}

// Off-diagonal elements whose squares underflow give a zero norm too.
TEST(JacobiEigen, UnderflowingOffDiagonalCountsAsDiagonal) {
    const Eigen e = Solve({1.0f, 1e-40f, 1e-40f, 2.0f}, 2);
    EXPECT_EQ(e.values, (std::vector<float>{2.0f, 1.0f}));
    EXPECT_EQ(e.vectors, (std::vector<float>{0, 1, 1, 0}));
}

// Here the diagonal difference squares to infinity, the rotation angle comes out 0 and the
// element stays at the threshold after every rotation: only the bound on sweeps ends a level.
TEST(JacobiEigen, RotationThatCannotMoveTheElementStillEnds) {
    const Eigen e = Solve({3e19f, 1.0f, 1.0f, -3e19f}, 2);
    EXPECT_EQ(e.values, (std::vector<float>{3e19f, -3e19f}));
    EXPECT_EQ(e.vectors, (std::vector<float>{1, 0, 0, 1}));
}

TEST(JacobiEigen, EqualEigenvaluesKeepTheFirstInPlace) {
    const Eigen e = Solve({2, 0, 0, 2}, 2);
    EXPECT_EQ(e.vectors, (std::vector<float>{1, 0, 0, 1}));
}

}  // namespace
}  // namespace quarnel
