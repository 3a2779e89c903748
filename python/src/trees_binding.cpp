// Gradient-boosted trees and random forests on numpy samples: the model (XGBoost's JSON), its
// parameters, importances and scores as a dict, and the probability at every cell of a stack.
// Training hears a progress callback every round (the folds' and the model's, counted on), the
// prediction every row, each without the GIL (progress.h).
#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "progress.h"
#include "quarnel/trees.h"

namespace quarnel::python {
namespace {

py::dict ScoresDict(const trees::Scores& scores) {
    return py::dict(
        py::arg("samples") = scores.samples, py::arg("log_loss") = scores.logLoss,
        py::arg("auc") = scores.auc ? py::object(py::float_(*scores.auc)) : py::object(py::none()));
}

py::dict Fit(const Array<double>& x, const Array<int>& y, const std::vector<std::string>& names,
             const std::string& kind, int trees, int depth, double learningRate, double subsample,
             std::uint64_t seed, int folds, py::object callback) {
    const std::vector<int> shape = ShapeOf(x, 2, "x");
    if (std::size_t(shape[1]) != names.size())
        throw py::value_error(std::to_string(names.size()) + " names for " + std::to_string(shape[1]) +
                              " inputs");
    if (ShapeOf(y, 1, "y")[0] != shape[0])
        throw py::value_error("y has " + std::to_string(y.size()) + " targets for " +
                              std::to_string(shape[0]) + " samples");
    const trees::Options options{kind == "forest" ? trees::Kind::forest : trees::Kind::boosting,
                                 trees,
                                 depth,
                                 learningRate,
                                 subsample,
                                 seed};
    const std::vector<double> values(x.data(), x.data() + x.size());
    const std::vector<int> targets(y.data(), y.data() + y.size());
    try {
        std::optional<trees::Trained> trained;
        RunStoppable(std::move(callback), [&](const Progress& progress) {
            trained.emplace(trees::TrainWithFolds(values, targets, names, options, folds, progress));
        });
        const trees::Model& model = trained->model;
        py::list held;
        for (const trees::Scores& fold : trained->folds) held.append(ScoresDict(fold));
        const std::vector<float> cells(values.begin(), values.end());
        std::vector<double> p(targets.size());
        model.Predict(cells.data(), p.size(), p.data());
        py::dict parameters;
        for (const auto& [name, value] : model.parameters()) parameters[py::str(name)] = value;
        parameters["rounds"] = model.rounds();
        py::list importance;
        for (const trees::Importance& input : model.Importances())
            importance.append(py::dict(py::arg("name") = input.name, py::arg("gain") = input.gain,
                                       py::arg("cover") = input.cover));
        py::dict fitted(py::arg("model") = py::bytes(model.Save()), py::arg("names") = names,
                        py::arg("kind") = kind, py::arg("trees") = trees, py::arg("parameters") = parameters,
                        py::arg("importance") = importance,
                        py::arg("training") = ScoresDict(trees::Score(p, targets)));
        if (folds > 0) fitted["folds"] = held;
        return fitted;
    } catch (const std::invalid_argument& error) {
        throw py::value_error(error.what());
    }
}

// The probability at every cell of a stack (inputs x rows x cols), the log-odds shifted by
// interceptShift; NaN where any input is NaN.
Array<double> Predict(const py::bytes& model, const std::vector<std::string>& names,
                      const Array<double>& stack, double interceptShift, py::object callback) {
    const std::vector<int> shape = ShapeOf(stack, 3, "stack");
    if (std::size_t(shape[0]) != names.size())
        throw py::value_error("the model takes " + std::to_string(names.size()) + " inputs, not " +
                              std::to_string(shape[0]));
    trees::Model loaded = [&] {
        try {
            return trees::Model::Load(std::string(model), names);
        } catch (const std::invalid_argument& error) {
            throw py::value_error(error.what());
        }
    }();
    const std::size_t cells = std::size_t(shape[1]) * std::size_t(shape[2]);
    const std::size_t columns = std::size_t(shape[2]);
    Array<double> probability = NewArray<double>({shape[1], shape[2]});
    const double* in = stack.data();
    double* out = probability.mutable_data();
    std::fill(out, out + cells, NAN);
    // A row at a time: the cells with every input, predicted together.
    std::vector<float> values;
    std::vector<std::size_t> where;
    std::vector<double> found;
    RunStoppable(std::move(callback), [&](const Progress& progress) {
        for (int row = 0; row < shape[1]; ++row) {
            values.clear();
            where.clear();
            for (std::size_t c = std::size_t(row) * columns; c < std::size_t(row + 1) * columns; ++c) {
                bool blank = false;
                for (std::size_t j = 0; j < names.size(); ++j) blank = blank || std::isnan(in[j * cells + c]);
                if (blank) continue;
                for (std::size_t j = 0; j < names.size(); ++j) values.push_back(float(in[j * cells + c]));
                where.push_back(c);
            }
            found.resize(where.size());
            if (!where.empty()) loaded.Predict(values.data(), where.size(), found.data(), interceptShift);
            for (std::size_t i = 0; i < where.size(); ++i) out[where[i]] = found[i];
            ReportProgress(progress, {"row", row + 1, shape[1], 0});
        }
    });
    return probability;
}

}  // namespace

void BindTrees(py::module_& m) {
    m.def("trees_fit", &Fit, py::arg("x"), py::arg("y"), py::arg("names"), py::arg("kind"), py::arg("trees"),
          py::arg("depth"), py::arg("learning_rate"), py::arg("subsample"), py::arg("seed"), py::arg("folds"),
          py::arg("progress") = py::none());
    m.def("trees_predict", &Predict, py::arg("model"), py::arg("names"), py::arg("stack"),
          py::arg("intercept_shift") = 0.0, py::arg("progress") = py::none());
}

}  // namespace quarnel::python
