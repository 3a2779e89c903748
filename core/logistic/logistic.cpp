#include "quarnel/logistic.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quarnel::logistic {

namespace {

using Eigen::MatrixXd;
using Eigen::VectorXd;

// ln(1 + e^eta) without overflow.
double Softplus(double eta) {
    return eta > 0 ? eta + std::log1p(std::exp(-eta)) : std::log1p(std::exp(eta));
}

double Sigmoid(double eta) {
    return eta >= 0 ? 1 / (1 + std::exp(-eta)) : std::exp(eta) / (1 + std::exp(eta));
}

// The table's sizes agree with its inputs.
void RefuseBadSizes(const Table& table, std::size_t inputs) {
    const std::size_t rows = table.Rows();
    if (rows == 0 || table.zeros.size() != rows || table.x.size() != rows * inputs)
        throw std::invalid_argument(std::to_string(table.x.size()) + " input values for " +
                                    std::to_string(rows) + " samples of " + std::to_string(inputs) +
                                    " inputs");
}

// What the first pass learns of the rows besides its sums: whether they can be fitted, and each
// input's range over every row, over the rows with 1s and over the rows with 0s.
class Survey {
  public:
    explicit Survey(Eigen::Index inputs) {
        for (int set = 0; set < 3; ++set) {
            low_[set] = VectorXd::Constant(inputs, INFINITY);
            high_[set] = VectorXd::Constant(inputs, -INFINITY);
        }
    }

    void Add(const Rows& rows) {
        const Eigen::Index inputs = low_[kEvery].size();
        rows_ += rows.count;
        for (std::size_t i = 0; i < rows.count; ++i) {
            const double one = rows.ones[i], zero = rows.zeros[i];
            counted_ = counted_ && std::isfinite(one) && std::isfinite(zero) && one >= 0 && zero >= 0;
            ones_ += one;
            samples_ += one + zero;
            const double* x = rows.x + i * std::size_t(inputs);
            for (Eigen::Index j = 0; j < inputs; ++j) {
                finite_ = finite_ && std::isfinite(x[j]);
                Widen(kEvery, j, x[j]);
                if (one > 0) Widen(kOnes, j, x[j]);
                if (zero > 0) Widen(kZeros, j, x[j]);
            }
        }
    }

    // Throws for rows that cannot be fitted and, when asked (separation), for an input whose
    // values for the 1s and for the 0s do not overlap: it separates them on its own.
    void Refuse(const std::vector<std::string>& names, bool separation) const {
        if (rows_ == 0) throw std::invalid_argument("no samples to fit");
        if (!finite_) throw std::invalid_argument("an input value is not finite");
        if (!counted_) throw std::invalid_argument("a count of samples is negative or not finite");
        if (ones_ == 0 || ones_ == samples_)
            throw std::invalid_argument("every sample is of one class (" +
                                        std::to_string(std::int64_t(ones_)) + " of " +
                                        std::to_string(std::int64_t(samples_)) + " are 1)");
        if (!separation) return;
        for (Eigen::Index j = 0; j < low_[kEvery].size(); ++j)
            if (low_[kOnes](j) > high_[kZeros](j) || high_[kOnes](j) < low_[kZeros](j))
                throw std::domain_error("complete separation: " + names[std::size_t(j)] +
                                        " separates the deposits from the background (its values for the "
                                        "two do not overlap), so no finite estimate exists; leave it out or "
                                        "give an l2 penalty");
    }

    double Samples() const { return samples_; }
    double Spread(Eigen::Index input) const { return high_[kEvery](input) - low_[kEvery](input); }

  private:
    enum Set { kZeros, kOnes, kEvery };
    void Widen(Set set, Eigen::Index j, double v) {
        low_[set](j) = std::min(low_[set](j), v);
        high_[set](j) = std::max(high_[set](j), v);
    }
    std::size_t rows_ = 0;
    bool finite_ = true;
    bool counted_ = true;
    double ones_ = 0;
    double samples_ = 0;
    VectorXd low_[3], high_[3];  // by Set
};

// One pass's sums at the coefficients beta: X'WX (its lower triangle), the score
// X'(ones - counts p) and the log-likelihood.
struct Sums {
    MatrixXd xwx;
    VectorXd score;
    double logLikelihood = 0;
};

// A pass's buffers, kept from batch to batch and pass to pass: allocated anew, buffers of a
// table's size are the pages of memory the system hands out and takes back every time, which
// cost more than the sums.
struct Workspace {
    // The rows of (1, inputs) times sqrt(w), row after row as the inputs lie, so that filling it
    // runs through memory once rather than once a column.
    Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor> weighted;
    VectorXd eta, w, residual;
};

// likelihood: whether to sum the log-likelihood too (a logarithm a row, which a step does not need:
// only the last pass sums it). The inputs are read where they lie, never copied beside a column of
// 1s: the intercept's sums are taken apart.
void AddRows(const Rows& rows, const VectorXd& beta, bool likelihood, Workspace& work, Sums& sums) {
    const Eigen::Index n = Eigen::Index(rows.count);
    const Eigen::Index k = beta.size();
    const Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>> x(
        rows.x, n, k - 1);
    work.eta.noalias() = x * beta.tail(k - 1);
    work.w.resize(n);
    work.residual.resize(n);
    for (Eigen::Index i = 0; i < n; ++i) {
        const double eta = work.eta(i) + beta(0);
        const double one = rows.ones[std::size_t(i)];
        const double count = one + rows.zeros[std::size_t(i)];
        const double p = Sigmoid(eta);
        work.w(i) = std::sqrt(count * p * (1 - p));
        work.residual(i) = one - count * p;
        if (likelihood) sums.logLikelihood += one * eta - count * Softplus(eta);
    }
    work.weighted.resize(n, k);
    work.weighted.col(0) = work.w;
    work.weighted.rightCols(k - 1) = x.array().colwise() * work.w.array();
    sums.xwx.selfadjointView<Eigen::Lower>().rankUpdate(work.weighted.transpose());
    sums.score(0) += work.residual.sum();
    sums.score.tail(k - 1).noalias() += x.transpose() * work.residual;
}

// Every row of the source once, at beta; survey (when given) hears of every row too.
Sums Pass(const RowSource& source, const VectorXd& beta, bool likelihood, Survey* survey, Workspace& work) {
    const Eigen::Index k = beta.size();
    Sums sums{MatrixXd::Zero(k, k), VectorXd::Zero(k), 0};
    source([&](const Rows& rows) {
        if (rows.count == 0) return;
        if (survey) survey->Add(rows);
        AddRows(rows, beta, likelihood, work, sums);
    });
    return sums;
}

// X'WX plus the penalty on the diagonal, mirrored from its lower triangle.
MatrixXd Hessian(const Sums& sums, const VectorXd& penalty) {
    MatrixXd hessian = sums.xwx;
    hessian.diagonal() += penalty;
    return hessian.selfadjointView<Eigen::Lower>();
}

// A diverging fit: the input of the largest weight on its own scale drives it.
[[noreturn]] void RefuseDivergence(const VectorXd& beta, const Survey& survey,
                                   const std::vector<std::string>& names) {
    Eigen::Index worst = 1;
    for (Eigen::Index j = 1; j < beta.size(); ++j)
        if (std::fabs(beta(j)) * survey.Spread(j - 1) > std::fabs(beta(worst)) * survey.Spread(worst - 1))
            worst = j;
    throw std::domain_error("complete separation: " + names[std::size_t(worst - 1)] +
                            " with the other inputs separates the deposits from the background, so no "
                            "finite estimate exists; leave it out or give an l2 penalty");
}

double TwoSidedP(double z) {
    return std::erfc(std::fabs(z) / std::sqrt(2.0));
}

}  // namespace

Fit FitLogistic(const std::vector<double>& x, const std::vector<int>& y,
                const std::vector<std::string>& names, const FitOptions& options, const Progress& progress) {
    Table table;
    table.x = x;
    for (const int t : y) {
        if (t != 0 && t != 1) throw std::invalid_argument("a target is neither 0 nor 1");
        table.ones.push_back(t);
        table.zeros.push_back(1 - t);
    }
    return FitLogisticTable(table, names, options, progress);
}

Fit FitLogisticTable(const Table& table, const std::vector<std::string>& names, const FitOptions& options,
                     const Progress& progress) {
    RefuseBadSizes(table, names.size());
    const Rows all{table.x.data(), table.ones.data(), table.zeros.data(), table.Rows()};
    return FitLogisticRows([&all](const std::function<void(const Rows&)>& take) { take(all); }, names,
                           options, progress);
}

Fit FitLogisticRows(const RowSource& rows, const std::vector<std::string>& names, const FitOptions& options,
                    const Progress& progress) {
    const Eigen::Index k = Eigen::Index(names.size()) + 1;
    VectorXd penalty = VectorXd::Constant(k, options.l2);
    penalty(0) = 0;
    Survey survey(k - 1);
    bool surveyed = false;
    Workspace work;
    // The first pass surveys the rows too, and refuses them before any step.
    const auto pass = [&](const VectorXd& beta, bool likelihood) {
        Sums sums = Pass(rows, beta, likelihood, surveyed ? nullptr : &survey, work);
        if (!surveyed) survey.Refuse(names, options.l2 == 0);
        surveyed = true;
        return sums;
    };

    Fit fit;
    VectorXd beta = VectorXd::Zero(k);
    for (fit.iterations = 1; fit.iterations <= options.maxIterations; ++fit.iterations) {
        const Sums sums = pass(beta, false);
        const VectorXd step = Hessian(sums, penalty).ldlt().solve(sums.score - penalty.cwiseProduct(beta));
        beta += step;
        ReportProgress(progress,
                       {"iteration", fit.iterations, options.maxIterations, step.cwiseAbs().maxCoeff()});
        if (!step.allFinite()) break;
        if (step.cwiseAbs().maxCoeff() < options.tolerance) {
            fit.converged = true;
            break;
        }
    }
    fit.iterations = std::min(fit.iterations, options.maxIterations);
    const Sums last = pass(beta, true);
    fit.logLikelihood = last.logLikelihood;
    if (!fit.converged && (!beta.allFinite() || fit.logLikelihood > -1e-6 * survey.Samples()))
        RefuseDivergence(beta, survey, names);
    const MatrixXd covariance = Hessian(last, penalty).ldlt().solve(MatrixXd::Identity(k, k));
    fit.covariance.assign(covariance.data(), covariance.data() + k * k);  // symmetric: order moot
    for (Eigen::Index j = 0; j < k; ++j) {
        Coefficient c;
        c.name = j == 0 ? "intercept" : names[std::size_t(j - 1)];
        c.estimate = beta(j);
        c.stdError = std::sqrt(covariance(j, j));
        c.z = c.estimate / c.stdError;
        c.p = TwoSidedP(c.z);
        fit.coefficients.push_back(c);
    }
    fit.deviance = -2 * fit.logLikelihood;
    fit.aic = fit.deviance + 2 * double(k);
    return fit;
}

Prediction Predict(const Fit& fit, const double* inputs, double interceptShift) {
    const std::size_t k = fit.coefficients.size();
    double eta = fit.coefficients[0].estimate + interceptShift;
    for (std::size_t j = 1; j < k; ++j) eta += fit.coefficients[j].estimate * inputs[j - 1];
    // x' S x with x = (1, inputs) over S's upper triangle (S is symmetric): half the products.
    const double* s = fit.covariance.data();
    double quadratic = s[0];
    for (std::size_t b = 1; b < k; ++b) quadratic += 2 * s[b] * inputs[b - 1];
    for (std::size_t a = 1; a < k; ++a) {
        const double* row = s + a * k;
        double sum = row[a] * inputs[a - 1];
        for (std::size_t b = a + 1; b < k; ++b) sum += 2 * row[b] * inputs[b - 1];
        quadratic += inputs[a - 1] * sum;
    }
    const double p = Sigmoid(eta);
    return {p, p * (1 - p) * std::sqrt(std::max(quadratic, 0.0))};
}

}  // namespace quarnel::logistic
