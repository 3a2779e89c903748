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

void RefuseBadTable(const Table& table, std::size_t inputs) {
    const std::size_t rows = table.Rows();
    if (rows == 0 || table.zeros.size() != rows || table.x.size() != rows * inputs)
        throw std::invalid_argument(std::to_string(table.x.size()) + " input values for " +
                                    std::to_string(rows) + " samples of " + std::to_string(inputs) +
                                    " inputs");
    for (const double v : table.x)
        if (!std::isfinite(v)) throw std::invalid_argument("an input value is not finite");
    double ones = 0, all = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        if (!std::isfinite(table.ones[r]) || !std::isfinite(table.zeros[r]) || table.ones[r] < 0 ||
            table.zeros[r] < 0)
            throw std::invalid_argument("a count of samples is negative or not finite");
        ones += table.ones[r];
        all += table.ones[r] + table.zeros[r];
    }
    if (ones == 0 || ones == all)
        throw std::invalid_argument("every sample is of one class (" + std::to_string(std::int64_t(ones)) +
                                    " of " + std::to_string(std::int64_t(all)) + " are 1)");
}

// An input whose values for the 1s and for the 0s do not overlap separates them on its own.
void RefuseSeparatingInput(const MatrixXd& design, const VectorXd& ones, const VectorXd& zeros,
                           const std::vector<std::string>& names) {
    for (Eigen::Index j = 1; j < design.cols(); ++j) {
        double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
        for (Eigen::Index i = 0; i < design.rows(); ++i)
            for (const int t : {0, 1})
                if ((t == 1 ? ones(i) : zeros(i)) > 0) {
                    low[t] = std::min(low[t], design(i, j));
                    high[t] = std::max(high[t], design(i, j));
                }
        if (low[1] > high[0] || high[1] < low[0])
            throw std::domain_error("complete separation: " + names[std::size_t(j - 1)] +
                                    " separates the deposits from the background (its values for the "
                                    "two do not overlap), so no finite estimate exists; leave it out or "
                                    "give an l2 penalty");
    }
}

// X'WX plus the penalty on the diagonal; only its lower triangle is formed, then mirrored.
MatrixXd Hessian(const MatrixXd& design, const VectorXd& w, const VectorXd& penalty) {
    const Eigen::Index k = design.cols();
    MatrixXd hessian = MatrixXd::Zero(k, k);
    hessian.selfadjointView<Eigen::Lower>().rankUpdate(design.transpose() * w.cwiseSqrt().asDiagonal());
    hessian.diagonal() += penalty;
    return hessian.selfadjointView<Eigen::Lower>();
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
    const std::size_t inputs = names.size();
    RefuseBadTable(table, inputs);
    const Eigen::Index n = Eigen::Index(table.Rows());
    const Eigen::Index k = Eigen::Index(inputs) + 1;
    MatrixXd design(n, k);
    design.col(0).setOnes();
    design.rightCols(k - 1) =
        Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(
            table.x.data(), n, k - 1);
    const VectorXd ones = Eigen::Map<const VectorXd>(table.ones.data(), n);
    const VectorXd zeros = Eigen::Map<const VectorXd>(table.zeros.data(), n);
    const VectorXd counts = ones + zeros;
    if (options.l2 == 0) RefuseSeparatingInput(design, ones, zeros, names);
    VectorXd penalty = VectorXd::Constant(k, options.l2);
    penalty(0) = 0;

    Fit fit;
    VectorXd beta = VectorXd::Zero(k);
    VectorXd p(n), w(n);
    for (fit.iterations = 1; fit.iterations <= options.maxIterations; ++fit.iterations) {
        const VectorXd eta = design * beta;
        for (Eigen::Index i = 0; i < n; ++i) {
            p(i) = Sigmoid(eta(i));
            w(i) = counts(i) * p(i) * (1 - p(i));
        }
        const VectorXd gradient = design.transpose() * (ones - counts.cwiseProduct(p)) - penalty.cwiseProduct(beta);
        const VectorXd step = Hessian(design, w, penalty).ldlt().solve(gradient);
        beta += step;
        ReportProgress(progress, {"iteration", fit.iterations, options.maxIterations, 0});
        if (!step.allFinite()) break;
        if (step.cwiseAbs().maxCoeff() < options.tolerance) {
            fit.converged = true;
            break;
        }
    }
    fit.iterations = std::min(fit.iterations, options.maxIterations);
    const VectorXd eta = design * beta;
    fit.logLikelihood = 0;
    for (Eigen::Index i = 0; i < n; ++i) {
        fit.logLikelihood += ones(i) * eta(i) - counts(i) * Softplus(eta(i));
        w(i) = counts(i) * Sigmoid(eta(i)) * (1 - Sigmoid(eta(i)));
    }
    if (!fit.converged && (!beta.allFinite() || fit.logLikelihood > -1e-6 * counts.sum())) {
        // A diverging fit: the input of the largest weight on its own scale drives it.
        Eigen::Index worst = 1;
        for (Eigen::Index j = 1; j < k; ++j) {
            const double spread = design.col(j).maxCoeff() - design.col(j).minCoeff();
            if (std::fabs(beta(j)) * spread >
                std::fabs(beta(worst)) * (design.col(worst).maxCoeff() - design.col(worst).minCoeff()))
                worst = j;
        }
        throw std::domain_error("complete separation: " + names[std::size_t(worst - 1)] +
                                " with the other inputs separates the deposits from the background, so no "
                                "finite estimate exists; leave it out or give an l2 penalty");
    }
    const MatrixXd covariance = Hessian(design, w, penalty).ldlt().solve(MatrixXd::Identity(k, k));
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
