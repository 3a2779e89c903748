// Fuzzy overlay on numpy arrays: a grid's memberships by a membership rule as the host spells it,
// and a stack of memberships combined, each cell by the core's own functions. No data is NaN
// both ways; an as-is value outside 0..1 is a ValueError naming its cell. Both run without the
// GIL and hear a progress callback once per row (progress.h).
#include <cmath>
#include <stdexcept>
#include <string>

#include "arrays.h"
#include "bindings.h"
#include "progress.h"
#include "quarnel/fuzzy.h"

namespace quarnel::python {
namespace {

Array<double> Membership(const Array<double>& values, const std::string& rule, py::object callback) {
    fuzzy::Membership membership;
    try {
        membership = fuzzy::ParseMembership(rule);
    } catch (const std::invalid_argument& error) {
        throw py::value_error(error.what());
    }
    const std::vector<int> shape = ShapeOf(values, 2, "values");
    Array<double> result = NewArray<double>({shape[0], shape[1]});
    const double* in = values.data();
    double* out = result.mutable_data();
    RunStoppable(std::move(callback), [&](const Progress& progress) {
        for (int row = 0; row < shape[0]; ++row) {
            for (py::ssize_t i = py::ssize_t(row) * shape[1]; i < py::ssize_t(row + 1) * shape[1]; ++i) {
                out[i] = fuzzy::MembershipOf(membership, in[i]);
                if (membership.kind == fuzzy::Kind::asIs && std::isnan(out[i]) && !std::isnan(in[i]))
                    throw py::value_error("row " + std::to_string(row) + ", column " +
                                          std::to_string(i % shape[1]) + " holds " + std::to_string(in[i]) +
                                          ", outside 0..1, which membership as-is refuses");
            }
            ReportProgress(progress, {"row", row + 1, shape[0], 0});
        }
    });
    return result;
}

Array<double> Overlay(const Array<double>& memberships, const std::string& op, double gamma,
                      py::object callback) {
    fuzzy::Operator which = fuzzy::Operator::fuzzyAnd;
    bool known = false;
    for (std::size_t i = 0; i < std::size(fuzzy::kOperatorNames); ++i)
        if (fuzzy::kOperatorNames[i] == op) which = fuzzy::Operator(i), known = true;
    if (!known) throw py::value_error("no fuzzy operator '" + op + "' (and, or, product, sum or gamma)");
    if (const std::string why = fuzzy::CheckGamma(gamma); !why.empty()) throw py::value_error(why);
    const std::vector<int> shape = ShapeOf(memberships, 3, "memberships");
    const std::size_t layers = std::size_t(shape[0]);
    const std::size_t cells = std::size_t(shape[1]) * std::size_t(shape[2]);
    Array<double> result = NewArray<double>({shape[1], shape[2]});
    const double* in = memberships.data();
    double* out = result.mutable_data();
    const std::size_t columns = std::size_t(shape[2]);
    std::vector<double> cell(layers);
    RunStoppable(std::move(callback), [&](const Progress& progress) {
        for (int row = 0; row < shape[1]; ++row) {
            for (std::size_t c = std::size_t(row) * columns; c < std::size_t(row + 1) * columns; ++c) {
                for (std::size_t k = 0; k < layers; ++k) cell[k] = in[k * cells + c];
                out[c] = fuzzy::Combine(which, gamma, cell);
            }
            ReportProgress(progress, {"row", row + 1, shape[1], 0});
        }
    });
    return result;
}

}  // namespace

void BindFuzzy(py::module_& m) {
    m.def("fuzzy_membership", &Membership, py::arg("values"), py::arg("rule"),
          py::arg("progress") = py::none());
    m.def("fuzzy_overlay", &Overlay, py::arg("memberships"), py::arg("operator"), py::arg("gamma"),
          py::arg("progress") = py::none());
}

}  // namespace quarnel::python
