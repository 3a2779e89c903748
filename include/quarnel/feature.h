#pragma once
// Feature analysis (characteristic analysis) over values held in memory: each evidence value is
// coded +1, -1 or 0 against its variable's bounds, the codes of the cells used are summed into a
// product matrix, the matrix gives one weight per variable (vector lengths, or the first
// principal component of the normalised matrix), and a cell's score is the weighted sum of its
// codes. Arithmetic is float32 with the rounding points and summation orders of the method; the
// caller owns every array (n values, or n x n row-major), so a host can stream its grids a cell
// at a time and allocate as it pleases. Nothing here reads or writes files.
#include <cstdint>
#include <span>
#include <vector>

namespace quarnel::feature {

struct CodeBounds {
    float lower;
    float upper;
};

// +1 at or above upper, otherwise -1 at or below lower, otherwise 0. The upper test comes first,
// so with lower >= upper no value codes 0. Written without branches: the codes of neighbouring
// cells follow no pattern a branch predictor could learn.
inline float CodeValue(float x, float lower, float upper) {
    const int up = x >= upper;
    const int down = static_cast<int>(x <= lower) & static_cast<int>(x < upper);
    return static_cast<float>(up - down);
}

// A cell is blank when any variable's value equals the blank value exactly.
bool IsBlankCell(std::span<const float> values, float blankValue);

// Product matrix, accumulated a cell at a time: Clear, then AddCell for every cell used (its
// values are replaced by their codes, and the outer product of the codes is added to the lower
// triangle), then MirrorLowerTriangle. p is n x n with n = bounds.size().
void ClearProductMatrix(std::span<float> p);
void AddCellCodes(std::span<const CodeBounds> bounds, std::span<float> values, std::span<float> p);
void MirrorLowerTriangle(std::span<float> p, int n);

// Vector-length weights: lengths[i] = |row i of p| (squares summed in column order in float32),
// weights[i] = 100 * lengths[i] / the sum of the lengths. Not formed (weights left alone) when
// n is 0 or every length is 0.
struct VectorLengthResult {
    bool formed = false;
};
VectorLengthResult VectorLengthWeights(std::span<const float> p, int n, std::span<float> lengths,
                                       std::span<float> weights);

// Divides every off-diagonal element of p by the root of its two diagonal elements as built and
// sets the diagonal to 1. False, p partly divided, when a diagonal product is 0: a variable that
// never codes non-zero has no correlation with anything.
bool NormaliseProductMatrix(std::span<float> p, int n);

// Threshold Jacobi on the symmetric a (diagonalised in place): vectors gets the eigenvectors as
// columns, values the eigenvalues in descending order (the first largest keeps its place).
// sweeps counts the passes over the pairs, the last of each threshold level included.
struct EigenResult {
    int sweeps = 0;
};
EigenResult JacobiEigen(std::span<float> a, int n, std::span<float> vectors, std::span<float> values);

// Principal-component weights of the normalised p (diagonalised in place): component = the
// first eigenvector, weights = component scaled to absolute sum 100. Not formed when n is 0 or
// the component sums to 0; then weights are left alone. vectors and values are working space
// (n x n and n).
struct PrincipalComponentResult {
    bool formed = false;
    int sweeps = 0;
};
PrincipalComponentResult PrincipalComponentWeights(std::span<float> p, int n, std::span<float> vectors,
                                                   std::span<float> values, std::span<float> component,
                                                   std::span<float> weights);

// Score of one cell: the sum of weight times code in variable order; blank (score = blankValue)
// when any value is blank. Blankness is a flag of its own, so a partial sum that happens to
// equal the blank value does not blank the cell.
struct CellScore {
    float score;
    bool blank;
};
CellScore ScoreCell(std::span<const CodeBounds> bounds, std::span<const float> weights,
                    std::span<const float> values, float blankValue);

// Running statistics of a score grid: extremes and mean (summed in double, in cell order) of
// the non-blank scores, and the count of blank cells.
struct ScoreStatistics {
    std::int64_t scored = 0;
    std::int64_t blank = 0;
    float min = 0.0f;
    float max = 0.0f;
    double sum = 0.0;
    void Add(const CellScore& cell);
    double Mean() const { return scored > 0 ? sum / static_cast<double>(scored) : 0.0; }
};

// A known model unit met while scoring: its cell, deposit size and score.
struct UnitJudgement {
    std::int32_t row;
    std::int32_t col;
    std::int32_t size;
    float score;
};

// What one analysis found, for a host to show: the weights of the method used (method 0 with
// the vector lengths, method 1 with the first component and its Jacobi sweeps), the product
// matrix as built, the score statistics and the back-judged model units.
struct AnalysisResults {
    int method = 0;
    int variables = 0;
    std::vector<float> productMatrix;  // variables x variables, row-major
    std::vector<float> lengths;        // method 0
    std::vector<float> component;      // method 1
    int sweeps = 0;                    // method 1
    std::vector<float> weights;
    ScoreStatistics scores;
    std::vector<UnitJudgement> units;
};

}  // namespace quarnel::feature
