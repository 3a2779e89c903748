// Logistic regression on numpy samples: the fit's coefficients, errors and covariance as a dict
// (with each layer's classes where layers of classes became indicator inputs), and the
// probabilities and their standard errors of a stack of the layers. The fit hears a progress
// callback once per iteration, the prediction once per row, each without the GIL (progress.h).
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "progress.h"
#include "quarnel/logistic.h"

namespace quarnel::python {
namespace {

struct Fitted {
    logistic::Columns columns;
    logistic::Fit fit;
    std::size_t conditions = 0;  // rows of the fitted table
};

// The samples one row each, or pooled by condition.
logistic::Table TableOf(const Array<double>& x, const Array<int>& y, std::size_t inputs, bool pooled) {
    const std::size_t rows = std::size_t(y.size());
    if (!pooled) {
        logistic::Table table;
        table.x.assign(x.data(), x.data() + x.size());
        for (std::size_t i = 0; i < rows; ++i) {
            const int t = y.data()[i];
            if (t != 0 && t != 1) throw py::value_error("a target is neither 0 nor 1");
            table.ones.push_back(t);
            table.zeros.push_back(1 - t);
        }
        return table;
    }
    logistic::Pool pool(inputs, rows);
    for (std::size_t i = 0; i < rows; ++i) {
        const int t = y.data()[i];
        if (t != 0 && t != 1) throw py::value_error("a target is neither 0 nor 1");
        pool.Add(x.data() + i * inputs, t == 1);
    }
    return std::move(pool).Take();
}

Fitted FitOf(const Array<double>& x, const Array<int>& y, const std::vector<std::string>& names, double l2,
             int maxIterations, const std::vector<std::string>& categorical, bool pooled,
             py::object callback) {
    const std::vector<int> shape = ShapeOf(x, 2, "x");
    if (std::size_t(shape[1]) != names.size())
        throw py::value_error(std::to_string(names.size()) + " names for " + std::to_string(shape[1]) +
                              " inputs");
    if (ShapeOf(y, 1, "y")[0] != shape[0])
        throw py::value_error("y has " + std::to_string(y.size()) + " targets for " +
                              std::to_string(shape[0]) + " samples");
    try {
        const logistic::Table table = TableOf(x, y, names.size(), pooled);
        logistic::Columns columns(table.x, names, categorical);
        logistic::Fit fit;
        RunStoppable(std::move(callback), [&](const Progress& progress) {
            fit = logistic::FitLogisticTable(columns.Expanded(table), columns.Names(),
                                             {l2, maxIterations, logistic::FitOptions{}.tolerance}, progress);
        });
        return {std::move(columns), std::move(fit), table.Rows()};
    } catch (const std::invalid_argument& error) {
        throw py::value_error(error.what());
    } catch (const std::domain_error& error) {
        throw py::value_error(error.what());
    }
}

py::dict Fit(const Array<double>& x, const Array<int>& y, const std::vector<std::string>& names, double l2,
             int maxIterations, const std::vector<std::string>& categorical, bool pooled,
             py::object callback) {
    const Fitted fitted = FitOf(x, y, names, l2, maxIterations, categorical, pooled, std::move(callback));
    const logistic::Fit& fit = fitted.fit;
    py::list coefficients;
    for (const logistic::Coefficient& c : fit.coefficients)
        coefficients.append(py::dict(py::arg("name") = c.name, py::arg("estimate") = c.estimate,
                                     py::arg("std_error") = c.stdError, py::arg("z") = c.z,
                                     py::arg("p") = c.p));
    const py::ssize_t k = py::ssize_t(fit.coefficients.size());
    Array<double> covariance = NewArray<double>({k, k});
    std::copy(fit.covariance.begin(), fit.covariance.end(), covariance.mutable_data());
    py::list classes;
    for (const std::vector<double>& layer : fitted.columns.Classes()) classes.append(py::cast(layer));
    return py::dict(py::arg("coefficients") = coefficients, py::arg("covariance") = covariance,
                    py::arg("log_likelihood") = fit.logLikelihood, py::arg("deviance") = fit.deviance,
                    py::arg("aic") = fit.aic, py::arg("iterations") = fit.iterations,
                    py::arg("converged") = fit.converged, py::arg("conditions") = fitted.conditions,
                    py::arg("layers") = names, py::arg("classes") = classes);
}

// The probability and its standard error at every cell of a stack (inputs x rows x cols); NaN
// where any input is NaN.
py::tuple Predict(const Array<double>& estimates, const Array<double>& covariance, const Array<double>& stack,
                  double interceptShift, std::vector<std::vector<double>> classes, py::object callback) {
    const std::vector<int> shape = ShapeOf(stack, 3, "stack");
    const std::size_t layers = std::size_t(shape[0]);
    if (classes.empty()) classes.resize(layers);
    std::optional<logistic::Columns> made;
    try {
        made.emplace(std::vector<std::string>(layers), std::move(classes));
    } catch (const std::invalid_argument& error) {
        throw py::value_error(std::string("the stack: ") + error.what());
    }
    const logistic::Columns& columns = *made;
    const std::size_t k = std::size_t(ShapeOf(estimates, 1, "estimates")[0]);
    const std::vector<int> square = ShapeOf(covariance, 2, "covariance");
    if (k != columns.Inputs() + 1 || square[0] != int(k) || square[1] != int(k))
        throw py::value_error("the fit has " + std::to_string(k) + " coefficients for " +
                              std::to_string(columns.Inputs()) + " inputs of " + std::to_string(layers) +
                              " layers (and a covariance of " + std::to_string(square[0]) + " x " +
                              std::to_string(square[1]) + ")");
    logistic::Fit fit;
    for (std::size_t j = 0; j < k; ++j) fit.coefficients.push_back({"", estimates.data()[j], 0, 0, 0});
    fit.covariance.assign(covariance.data(), covariance.data() + k * k);
    const std::size_t cells = std::size_t(shape[1]) * std::size_t(shape[2]);
    Array<double> probability = NewArray<double>({shape[1], shape[2]});
    Array<double> stdError = NewArray<double>({shape[1], shape[2]});
    const double* in = stack.data();
    double* p = probability.mutable_data();
    double* s = stdError.mutable_data();
    const std::size_t columnCount = std::size_t(shape[2]);
    std::vector<double> values(layers), inputs(k - 1);
    RunStoppable(std::move(callback), [&](const Progress& progress) {
        for (int row = 0; row < shape[1]; ++row) {
            for (std::size_t c = std::size_t(row) * columnCount; c < std::size_t(row + 1) * columnCount;
                 ++c) {
                bool blank = false;
                for (std::size_t j = 0; j < layers; ++j) {
                    values[j] = in[j * cells + c];
                    blank = blank || std::isnan(values[j]);
                }
                // A class the fit never met is blank too.
                blank = blank || !columns.Expand(values.data(), inputs.data());
                const logistic::Prediction found =
                    blank ? logistic::Prediction{NAN, NAN}
                          : logistic::Predict(fit, inputs.data(), interceptShift);
                p[c] = found.probability;
                s[c] = found.stdError;
            }
            ReportProgress(progress, {"row", row + 1, shape[1], 0});
        }
    });
    return py::make_tuple(probability, stdError);
}

}  // namespace

void BindLogistic(py::module_& m) {
    m.def("logistic_fit", &Fit, py::arg("x"), py::arg("y"), py::arg("names"), py::arg("l2"),
          py::arg("max_iterations"), py::arg("categorical"), py::arg("pooled"),
          py::arg("progress") = py::none());
    m.def("logistic_predict", &Predict, py::arg("estimates"), py::arg("covariance"), py::arg("stack"),
          py::arg("intercept_shift"), py::arg("classes"), py::arg("progress") = py::none());
}

}  // namespace quarnel::python
