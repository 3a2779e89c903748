// Feature analysis for Python: coding, the product matrix (over every cell or the cells a mask
// marks), the weights of both methods, scores with their statistics and the back-judgement of
// model units, each a call of the feature core on float32 arrays. Model units are sorted and
// matched as the job matches them while it visits the cells in row order.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "jobs/feature/mine_feater.h"
#include "jobs/feature/model_units.h"
#include "quarnel/feature.h"

namespace quarnel::python {
namespace {

using feature::CodeBounds;

std::vector<CodeBounds> BoundsOf(const Array<float>& lower, const Array<float>& upper, int n) {
    if (lower.ndim() != 1 || upper.ndim() != 1 || lower.size() != n || upper.size() != n)
        throw py::value_error("one lower and one upper bound per variable are needed (" + std::to_string(n) +
                              ")");
    std::vector<CodeBounds> bounds(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < bounds.size(); ++i) bounds[i] = {lower.data()[i], upper.data()[i]};
    return bounds;
}

// The stack's values of one cell into values, variable by variable.
void GatherCell(const float* stack, std::size_t cells, std::size_t s, std::span<float> values) {
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = stack[i * cells + s];
}

Array<float> Code(const Array<float>& stack, const Array<float>& lower, const Array<float>& upper) {
    const std::vector<int> shape = ShapeOf(stack, 3, "stack");
    const std::vector<CodeBounds> bounds = BoundsOf(lower, upper, shape[0]);
    Array<float> out = NewArray<float>({shape[0], shape[1], shape[2]});
    const std::size_t cells = std::size_t(shape[1]) * std::size_t(shape[2]);
    const float* in = stack.data();
    float* codes = out.mutable_data();
    py::gil_scoped_release release;
    for (std::size_t i = 0; i < bounds.size(); ++i)
        for (std::size_t s = 0; s < cells; ++s)
            codes[i * cells + s] = feature::CodeValue(in[i * cells + s], bounds[i].lower, bounds[i].upper);
    return out;
}

py::tuple ProductMatrix(const Array<float>& stack, const Array<float>& lower, const Array<float>& upper,
                        float blank, std::optional<Array<std::uint8_t>> used) {
    const std::vector<int> shape = ShapeOf(stack, 3, "stack");
    const std::vector<CodeBounds> bounds = BoundsOf(lower, upper, shape[0]);
    const std::size_t cells = std::size_t(shape[1]) * std::size_t(shape[2]);
    if (used && std::size_t(used->size()) != cells)
        throw py::value_error("the mask must have one value per cell");
    const int n = shape[0];
    Array<float> p = NewArray<float>({n, n});
    const std::span<float> matrix(p.mutable_data(), std::size_t(n) * std::size_t(n));
    const std::uint8_t* mask = used ? used->data() : nullptr;
    std::int64_t count = 0;
    {
        py::gil_scoped_release release;
        std::vector<float> values(std::size_t(n), 0.0f);
        feature::ClearProductMatrix(matrix);
        for (std::size_t s = 0; s < cells; ++s) {
            if (mask != nullptr && mask[s] == 0) continue;
            GatherCell(stack.data(), cells, s, values);
            if (feature::IsBlankCell(values, blank)) continue;
            feature::AddCellCodes(bounds, values, matrix);
            ++count;
        }
        feature::MirrorLowerTriangle(matrix, n);
    }
    return py::make_tuple(p, count);
}

int OrderOf(const Array<float>& p) {
    const std::vector<int> shape = ShapeOf(p, 2, "product matrix");
    if (shape[0] != shape[1]) throw py::value_error("the product matrix must be square");
    return shape[0];
}

Array<float> Vector(std::vector<float> values) {
    Array<float> out = NewArray<float>({py::ssize_t(values.size())});
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

py::dict VectorLengthWeights(const Array<float>& p) {
    const int n = OrderOf(p);
    std::vector<float> lengths(std::size_t(n), 0.0f);
    std::vector<float> weights(std::size_t(n), 0.0f);
    const feature::VectorLengthResult result =
        feature::VectorLengthWeights({p.data(), std::size_t(p.size())}, n, lengths, weights);
    py::dict out;
    out["formed"] = result.formed;
    out["lengths"] = Vector(std::move(lengths));
    out["weights"] = Vector(std::move(weights));
    return out;
}

py::dict PrincipalComponentWeights(const Array<float>& p) {
    const int n = OrderOf(p);
    const std::size_t count = std::size_t(n);
    std::vector<float> matrix(p.data(), p.data() + p.size());
    std::vector<float> vectors(count * count, 0.0f);
    std::vector<float> values(count, 0.0f);
    std::vector<float> component(count, 0.0f);
    std::vector<float> weights(count, 0.0f);
    py::dict out;
    out["normalised"] = feature::NormaliseProductMatrix(matrix, n);
    feature::PrincipalComponentResult result{};
    if (out["normalised"].cast<bool>())
        result = feature::PrincipalComponentWeights(matrix, n, vectors, values, component, weights);
    out["formed"] = result.formed;
    out["sweeps"] = result.sweeps;
    out["eigenvalues"] = Vector(std::move(values));
    out["component"] = Vector(std::move(component));
    out["weights"] = Vector(std::move(weights));
    return out;
}

py::tuple Score(const Array<float>& stack, const Array<float>& lower, const Array<float>& upper,
                const Array<float>& weights, float blank) {
    const std::vector<int> shape = ShapeOf(stack, 3, "stack");
    const std::vector<CodeBounds> bounds = BoundsOf(lower, upper, shape[0]);
    if (weights.ndim() != 1 || weights.size() != shape[0])
        throw py::value_error("one weight per variable is needed (" + std::to_string(shape[0]) + ")");
    const std::size_t cells = std::size_t(shape[1]) * std::size_t(shape[2]);
    Array<float> scores = NewArray<float>({shape[1], shape[2]});
    Array<bool> blanks = NewArray<bool>({shape[1], shape[2]});
    feature::ScoreStatistics statistics;
    {
        float* out = scores.mutable_data();
        bool* blankOut = blanks.mutable_data();
        const std::span<const float> w(weights.data(), bounds.size());
        py::gil_scoped_release release;
        std::vector<float> values(bounds.size(), 0.0f);
        for (std::size_t s = 0; s < cells; ++s) {
            GatherCell(stack.data(), cells, s, values);
            const feature::CellScore cell = feature::ScoreCell(bounds, w, values, blank);
            out[s] = cell.score;
            blankOut[s] = cell.blank;
            statistics.Add(cell);
        }
    }
    py::dict stats;
    stats["cells"] = statistics.scored;
    stats["blank"] = statistics.blank;
    stats["min"] = statistics.min;
    stats["max"] = statistics.max;
    stats["mean"] = statistics.Mean();
    return py::make_tuple(scores, blanks, stats);
}

// The units as the job holds them: sorted by row, then column.
ModelUnitList SortedUnits(const Array<std::int32_t>& units) {
    if (units.ndim() != 2 || units.shape(1) != 3)
        throw py::value_error("model units come as rows of (row, column, size)");
    ModelUnitList list;
    list.unitCount = static_cast<std::int32_t>(units.shape(0));
    const std::size_t m = std::size_t(list.unitCount);
    list.unitRows.reset(new std::int32_t[m]);
    list.unitCols.reset(new std::int32_t[m]);
    list.unitSizes.reset(new std::int32_t[m]);
    for (std::size_t u = 0; u < m; ++u) {
        list.unitRows[u] = units.data()[3 * u];
        list.unitCols[u] = units.data()[3 * u + 1];
        list.unitSizes[u] = units.data()[3 * u + 2];
    }
    CMine_Feater job;
    job.SortModelUnits(list.unitRows.get(), list.unitCols.get(), list.unitSizes.get(), list.unitCount);
    return list;
}

// The units the job matches while it visits a rows x cols grid in row order: (row, col, size).
Array<std::int32_t> MatchedUnits(const Array<std::int32_t>& units, int rows, int cols) {
    const ModelUnitList list = SortedUnits(units);
    ModelUnitCursor cursor(list);
    std::vector<std::int32_t> matched;
    for (std::int32_t row = 0; row < rows; ++row) {
        for (std::int32_t col = 0; col < cols; ++col) {
            if (!cursor.Match(row, col)) continue;
            matched.insert(matched.end(), {row, col, cursor.MatchedSize()});
        }
    }
    Array<std::int32_t> out = NewArray<std::int32_t>({py::ssize_t(matched.size() / 3), 3});
    std::copy(matched.begin(), matched.end(), out.mutable_data());
    return out;
}

}  // namespace

void BindFeature(py::module_& m) {
    m.def("feature_code", &Code, py::arg("stack"), py::arg("lower"), py::arg("upper"));
    m.def("feature_product_matrix", &ProductMatrix, py::arg("stack"), py::arg("lower"), py::arg("upper"),
          py::arg("blank"), py::arg("used") = py::none());
    m.def("feature_vector_length_weights", &VectorLengthWeights, py::arg("product_matrix"));
    m.def("feature_principal_component_weights", &PrincipalComponentWeights, py::arg("product_matrix"));
    m.def("feature_score", &Score, py::arg("stack"), py::arg("lower"), py::arg("upper"), py::arg("weights"),
          py::arg("blank"));
    m.def("feature_matched_units", &MatchedUnits, py::arg("units"), py::arg("rows"), py::arg("cols"));
}

}  // namespace quarnel::python
