#pragma once
// Logistic regression of a 0/1 target on inputs by iteratively reweighted least squares (Newton
// steps on the log-likelihood, an optional L2 penalty on the slopes), with the coefficients'
// standard errors from the inverse of X'WX (+ the penalty) at the estimate. Results as data.
// One fit reads its rows from a source it replays once per step, so rows too many to hold (every
// cell of a raster) are fitted a batch at a time; a table in memory is the source of one batch.
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "quarnel/progress.h"

namespace quarnel::logistic {

struct FitOptions {
    double l2 = 0;  // penalty l2/2 |slopes|^2; the intercept is never penalised
    int maxIterations = 100;
    double tolerance = 1e-10;  // a step whose largest change is below it ends the fit
};

struct Coefficient {
    std::string name;  // "intercept", then the inputs' names
    double estimate = 0;
    double stdError = 0;
    double z = 0;
    double p = 0;  // two-sided, of the normal distribution
};

struct Fit {
    std::vector<Coefficient> coefficients;  // the intercept first
    std::vector<double> covariance;         // (inputs + 1)^2, row-major, the same order
    double logLikelihood = 0;
    double deviance = 0;
    double aic = 0;
    int iterations = 0;
    bool converged = false;
};

// x: samples x names.size() values row after row, y: one 0 or 1 per sample. Throws
// std::invalid_argument for sizes that disagree, a non-finite value, a target other than 0 or 1,
// or a target of one class only; std::domain_error "complete separation: NAME ..." when an input
// (alone, or the largest weight of a diverging fit) separates the two classes, so that no finite
// estimate exists. Progress hears of every iteration ("iteration", with its largest change of a coefficient).
Fit FitLogistic(const std::vector<double>& x, const std::vector<int>& y,
                const std::vector<std::string>& names, const FitOptions& options = {},
                const Progress& progress = {});

struct Prediction {
    double probability = 0;
    double stdError = 0;  // P(1-P) sqrt(x' Sigma x), x with its leading 1
};

// Samples as a table of conditions: rows of input values, each with how many of its samples are
// 1 and how many 0 (one sample a row: 1 and 0, or 0 and 1).
struct Table {
    std::vector<double> x;  // rows x inputs, row after row
    std::vector<double> ones;
    std::vector<double> zeros;
    std::size_t Rows() const { return ones.size(); }
};

// The same fit of a table of conditions, each row weighted by its counts: every row with ones
// is a 1 and every row with zeros a 0 for the separation checks. Throws as FitLogistic does (a
// count that is negative or not finite, a row of none, are refused as bad samples).
Fit FitLogisticTable(const Table& table, const std::vector<std::string>& names,
                     const FitOptions& options = {}, const Progress& progress = {});

// A batch of rows of a table, as a source hands them to the fit (the pointers live for the call).
struct Rows {
    const double* x = nullptr;  // count x inputs, row after row
    const double* ones = nullptr;
    const double* zeros = nullptr;
    std::size_t count = 0;
};

// Rows the fit may read again: each call hands every row to take, in batches, the same rows in
// the same order every time (a pass). Whatever it throws (a read failure, Stopped) ends the fit.
using RowSource = std::function<void(const std::function<void(const Rows&)>& take)>;

// The fit of FitLogisticTable over the rows a source replays: one pass per Newton step (the first
// one also checks the rows) and one at the estimate for the log-likelihood and the errors, so
// memory holds a batch and the (inputs + 1)^2 sums, whatever the rows. Throws as FitLogisticTable
// does, and std::invalid_argument for a source of no rows.
Fit FitLogisticRows(const RowSource& rows, const std::vector<std::string>& names,
                    const FitOptions& options = {}, const Progress& progress = {});

// Samples pooled by their condition as they come: identical rows of values become one row of
// the table, with their counts, so the table grows with the distinct conditions, not with the
// samples. Throws std::length_error once more than maxRows distinct conditions are met.
class Pool {
  public:
    Pool(std::size_t inputs, std::size_t maxRows);
    ~Pool();
    Pool(const Pool&) = delete;  // its index knows it by address
    Pool& operator=(const Pool&) = delete;
    void Add(const double* values, bool one);
    std::size_t Rows() const;
    Table Take() &&;

  private:
    struct Index;
    std::size_t inputs_;
    std::size_t maxRows_;
    Table table_;
    std::unique_ptr<Index> index_;
};

// How layers become the fit's inputs: a layer of values is one input as it is; a layer of classes
// one 0/1 input per class but its first (smallest), named NAME=CLASS (so the first class is the
// reference the intercept stands for).
class Columns {
  public:
    // classes: the layers named in categorical take the classes met in x (rows x layers.size()).
    // Throws std::invalid_argument for a name in categorical that is no layer, or a class layer
    // of a single class or of more than kMaxClasses.
    Columns(const std::vector<double>& x, const std::vector<std::string>& layers,
            const std::vector<std::string>& categorical);
    // The columns of a fit made before: each layer's classes (empty for a layer of values).
    Columns(const std::vector<std::string>& layers, std::vector<std::vector<double>> classes);
    static constexpr std::size_t kMaxClasses = 1000;
    const std::vector<std::string>& Names() const { return names_; }
    std::size_t Inputs() const { return names_.size(); }
    std::size_t Layers() const { return classes_.size(); }
    // The inputs (Inputs() values) of one cell's layer values; false when a class layer holds a
    // class the columns were not made with.
    bool Expand(const double* layerValues, double* inputs) const;
    // Every row of a table of layer values as inputs (the counts kept); throws
    // std::invalid_argument for a class not among the columns'.
    Table Expanded(const Table& layerTable) const;
    // The classes of each layer (empty for a layer of values), smallest first.
    const std::vector<std::vector<double>>& Classes() const { return classes_; }

  private:
    static Columns Gathered(const std::vector<double>& x, const std::vector<std::string>& layers,
                            const std::vector<std::string>& categorical);
    std::vector<std::vector<double>> classes_;
    std::vector<std::string> names_;
};

// The classes of the layers named in categorical gathered row by row of layer values, for rows too
// many to hold; Columns(x, layers, categorical) gathers them so from its table.
class ClassGathering {
  public:
    // Throws std::invalid_argument for a name in categorical that is no layer.
    ClassGathering(std::vector<std::string> layers, const std::vector<std::string>& categorical);
    // layerValues: one row (layers values). Throws std::invalid_argument once a class layer holds
    // more than Columns::kMaxClasses.
    void Add(const double* layerValues);
    // Throws std::invalid_argument for a class layer of a single class.
    Columns Finish() &&;

  private:
    std::vector<std::string> layers_;
    std::vector<std::size_t> classLayers_;  // the categorical layers' places
    std::vector<std::set<double>> met_;     // beside them
};

// A class as it is named in NAME=CLASS: a whole number without a point, else the shortest
// decimal that reads back.
std::string ClassText(double value);

// The fit's probability at one cell of inputs (names.size() values), the intercept shifted by
// interceptShift (ln(sampled / total) for a sampled background).
Prediction Predict(const Fit& fit, const double* inputs, double interceptShift = 0);

}  // namespace quarnel::logistic
