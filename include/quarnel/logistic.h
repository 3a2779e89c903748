#pragma once
// Logistic regression of a 0/1 target on inputs by iteratively reweighted least squares (Newton
// steps on the log-likelihood, an optional L2 penalty on the slopes), with the coefficients'
// standard errors from the inverse of X'WX (+ the penalty) at the estimate. Results as data.
#include <cstdint>
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
// estimate exists. Progress hears of every iteration ("iteration", with the log-likelihood).
Fit FitLogistic(const std::vector<double>& x, const std::vector<int>& y,
                const std::vector<std::string>& names, const FitOptions& options = {},
                const Progress& progress = {});

struct Prediction {
    double probability = 0;
    double stdError = 0;  // P(1-P) sqrt(x' Sigma x), x with its leading 1
};

// The fit's probability at one cell of inputs (names.size() values), the intercept shifted by
// interceptShift (ln(sampled / total) for a sampled background).
Prediction Predict(const Fit& fit, const double* inputs, double interceptShift = 0);

}  // namespace quarnel::logistic
