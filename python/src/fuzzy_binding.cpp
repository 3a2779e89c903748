// Fuzzy overlay on numpy arrays: a grid's memberships by a membership rule as the host spells it,
// and a stack of memberships combined, each cell by the core's own functions. No data is NaN
// both ways; an as-is value outside 0..1 is a ValueError naming its cell.
#include <cmath>
#include <stdexcept>
#include <string>

#include "arrays.h"
#include "bindings.h"
#include "quarnel/fuzzy.h"

namespace quarnel::python {
namespace {

Array<double> Membership(const Array<double>& values, const std::string& rule) {
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
    for (py::ssize_t i = 0; i < values.size(); ++i) {
        out[i] = fuzzy::MembershipOf(membership, in[i]);
        if (membership.kind == fuzzy::Kind::asIs && std::isnan(out[i]) && !std::isnan(in[i]))
            throw py::value_error("row " + std::to_string(i / shape[1]) + ", column " +
                                  std::to_string(i % shape[1]) + " holds " + std::to_string(in[i]) +
                                  ", outside 0..1, which membership as-is refuses");
    }
    return result;
}

Array<double> Overlay(const Array<double>& memberships, const std::string& op, double gamma) {
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
    std::vector<double> cell(layers);
    for (std::size_t c = 0; c < cells; ++c) {
        for (std::size_t k = 0; k < layers; ++k) cell[k] = in[k * cells + c];
        out[c] = fuzzy::Combine(which, gamma, cell);
    }
    return result;
}

}  // namespace

void BindFuzzy(py::module_& m) {
    m.def("fuzzy_membership", &Membership, py::arg("values"), py::arg("rule"));
    m.def("fuzzy_overlay", &Overlay, py::arg("memberships"), py::arg("operator"), py::arg("gamma"));
}

}  // namespace quarnel::python
