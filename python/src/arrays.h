#pragma once
// The numpy arrays the bindings take and give: C-ordered, of the element type the core computes
// in (double for preparation and BP, float32 for hierarchy and feature analysis), converted on
// the way in when the caller's type differs. Shapes are checked here so a wrong shape becomes a
// ValueError naming the argument, never a read past an array.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstddef>
#include <string>
#include <vector>

namespace quarnel::python {

namespace py = pybind11;

template <typename T>
using Array = py::array_t<T, py::array::c_style | py::array::forcecast>;

// The dimensions of a, which must have `dims` of them, each at least 1 and below 2^31.
template <typename T>
std::vector<int> ShapeOf(const Array<T>& a, py::ssize_t dims, const char* name) {
    if (a.ndim() != dims)
        throw py::value_error(std::string(name) + " must have " + std::to_string(dims) + " dimensions, not " +
                              std::to_string(a.ndim()));
    std::vector<int> shape;
    for (py::ssize_t d = 0; d < dims; ++d) {
        const py::ssize_t n = a.shape(d);
        if (n < 1 || n > 0x7fffffff)
            throw py::value_error(std::string(name) + " has " + std::to_string(n) + " entries along axis " +
                                  std::to_string(d));
        shape.push_back(static_cast<int>(n));
    }
    return shape;
}

// A new C-ordered array of the given shape.
template <typename T>
Array<T> NewArray(std::vector<py::ssize_t> shape) {
    return Array<T>(std::move(shape));
}

// Row pointers into a rows x cols block held row after row, as the preparation core takes it.
template <typename T>
std::vector<T*> RowPointers(T* values, int rows, int cols) {
    std::vector<T*> pointers(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r)
        pointers[static_cast<std::size_t>(r)] = values + std::size_t(r) * std::size_t(cols);
    return pointers;
}

}  // namespace quarnel::python
