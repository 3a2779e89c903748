// The BP network for Python: training on sample arrays (initial weights drawn as the training
// job draws them; Ctrl-C and the progress callback stop it: progress.h), the network file, and classification
// of a band stack exactly as the classification job does it (the running column range, class 1 where the
// first input is blank). classify_in_ranges is the same classification with each column's final range given
// (the fold done beforehand over the whole raster), for one block of it.
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "jobs/bp/initial_weights.h"
#include "jobs/bp/network_file.h"
#include "progress.h"
#include "quarnel/bp.h"

namespace quarnel::python {
namespace {

// Class values are built as an int code of one bit per output, plus 2.
constexpr int kMaxClassOutputs = 30;

template <typename T>
Array<T> Copy(const std::vector<T>& values, std::vector<py::ssize_t> shape) {
    Array<T> out(std::move(shape));
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

template <typename T>
void Assign(std::vector<T>& values, const Array<T>& a, std::size_t expected, const char* name) {
    if (std::size_t(a.size()) != expected)
        throw py::value_error(std::string(name) + " holds " + std::to_string(a.size()) + " values, not " +
                              std::to_string(expected));
    values.assign(a.data(), a.data() + a.size());
}

BPNetwork NetworkOf(int inputs, int hidden, int outputs, double trainError,
                    const Array<double>& hiddenThreshold, const Array<double>& outputThreshold,
                    const Array<double>& weightInputHidden, const Array<double>& weightHiddenOutput) {
    if (inputs < 1 || hidden < 1 || outputs < 1) throw py::value_error("a layer has no node");
    BPNetwork network;
    network.Allocate(inputs, hidden, outputs);
    network.trainError = trainError;
    Assign(network.hiddenThreshold, hiddenThreshold, MatrixSize(1, hidden), "hidden_threshold");
    Assign(network.outputThreshold, outputThreshold, MatrixSize(1, outputs), "output_threshold");
    Assign(network.weightInputHidden, weightInputHidden, MatrixSize(inputs, hidden), "weight_input_hidden");
    Assign(network.weightHiddenOutput, weightHiddenOutput, MatrixSize(hidden, outputs),
           "weight_hidden_output");
    return network;
}

py::tuple StateOf(const BPNetwork& n) {
    return py::make_tuple(n.inputCount, n.hiddenCount, n.outputCount, n.trainError,
                          Copy(n.hiddenThreshold, {n.hiddenCount}), Copy(n.outputThreshold, {n.outputCount}),
                          Copy(n.weightInputHidden, {n.inputCount, n.hiddenCount}),
                          Copy(n.weightHiddenOutput, {n.hiddenCount, n.outputCount}));
}

BPNetwork NetworkFromState(const py::tuple& t) {
    if (t.size() != 8) throw py::value_error("a network state has 8 parts");
    return NetworkOf(t[0].cast<int>(), t[1].cast<int>(), t[2].cast<int>(), t[3].cast<double>(),
                     t[4].cast<Array<double>>(), t[5].cast<Array<double>>(), t[6].cast<Array<double>>(),
                     t[7].cast<Array<double>>());
}

py::dict Train(const Array<double>& inputs, const Array<int>& targets, int hidden, int maxIterations,
               double errorLimit, std::optional<unsigned> seed, py::object callback) {
    const std::vector<int> in = ShapeOf(inputs, 2, "samples");
    const std::vector<int> out = ShapeOf(targets, 2, "targets");
    if (in[0] != out[0])
        throw py::value_error(std::to_string(in[0]) + " samples but " + std::to_string(out[0]) +
                              " target rows");
    if (hidden < 1) throw py::value_error("hidden must be at least 1, not " + std::to_string(hidden));
    BPSampleSet samples;
    samples.Allocate(in[0], in[1], out[1]);
    std::copy(inputs.data(), inputs.data() + inputs.size(), samples.inputs.begin());
    std::copy(targets.data(), targets.data() + targets.size(), samples.targets.begin());
    BPNetwork network;
    network.Allocate(in[1], hidden, out[1]);
    BPTraining training;
    PythonProgress progress(std::move(callback));
    bool stopped = false;
    {
        py::gil_scoped_release release;
        // The generator is the process's, as in the training job, under its one lock.
        DrawInitialWeights(network, seed);
        try {
            training = TrainNetwork(std::move(network), samples, maxIterations, errorLimit, progress.Get());
        } catch (const Stopped&) {
            stopped = true;
        }
    }
    if (stopped) progress.Raise();
    return TrainingDict(std::move(training), in[0]);
}

// The stack's cells as the rows of the cell-by-input matrix, band b in column b.
std::vector<double> CellMatrix(const BPNetwork& network, const Array<double>& stack, std::size_t& cells) {
    const std::vector<int> shape = ShapeOf(stack, 3, "stack");
    if (shape[0] != network.inputCount)
        throw py::value_error("the stack holds " + std::to_string(shape[0]) + " bands; the network takes " +
                              std::to_string(network.inputCount));
    if (network.outputCount > kMaxClassOutputs)
        throw py::value_error("the network has more than 30 outputs; its class values would overflow");
    cells = MatrixSize(shape[1], shape[2]);
    const std::size_t bands = std::size_t(shape[0]);
    std::vector<double> matrix(cells * bands);
    const double* values = stack.data();
    for (std::size_t b = 0; b < bands; ++b)
        for (std::size_t s = 0; s < cells; ++s) matrix[s * bands + b] = values[b * cells + s];
    return matrix;
}

Array<int> ClassesOf(const BPNetwork& network, const std::vector<double>& matrix, std::size_t cells,
                     double blank, const Array<double>& stack) {
    Array<int> classes = NewArray<int>({stack.shape(1), stack.shape(2)});
    int* out = classes.mutable_data();
    py::gil_scoped_release release;
    BPClassWork work;
    work.Allocate(network);
    ClassifyRow(network, matrix.data(), cells, blank, out, work);
    return classes;
}

// Each cell's output 0 (0..1; NaN where the first input is blank), the stack rescaled as Classify
// rescales it.
Array<double> Favourability(const BPNetwork& network, const Array<double>& stack, double blank,
                            double startLow, double startHigh) {
    std::size_t cells = 0;
    std::vector<double> matrix = CellMatrix(network, stack, cells);
    Array<double> outputs = NewArray<double>({stack.shape(1), stack.shape(2)});
    double* out = outputs.mutable_data();
    py::gil_scoped_release release;
    RescaleColumns(matrix.data(), cells, network.inputCount, InputRange{startLow, startHigh}, blank);
    std::vector<int> classes(cells);
    BPClassWork work;
    work.Allocate(network);
    ClassifyRowWithOutput(network, matrix.data(), cells, blank, classes.data(), out, work);
    return outputs;
}

Array<int> Classify(const BPNetwork& network, const Array<double>& stack, double blank, double startLow,
                    double startHigh) {
    std::size_t cells = 0;
    std::vector<double> matrix = CellMatrix(network, stack, cells);
    {
        py::gil_scoped_release release;
        RescaleColumns(matrix.data(), cells, network.inputCount, InputRange{startLow, startHigh}, blank);
    }
    return ClassesOf(network, matrix, cells, blank, stack);
}

// Each column scaled by the core's column step with its own final range.
Array<int> ClassifyInRanges(const BPNetwork& network, const Array<double>& stack, double blank,
                            const Array<double>& low, const Array<double>& high) {
    std::size_t cells = 0;
    std::vector<double> matrix = CellMatrix(network, stack, cells);
    const std::size_t bands = std::size_t(network.inputCount);
    if (std::size_t(low.size()) != bands || std::size_t(high.size()) != bands)
        throw py::value_error("one range per band is needed");
    {
        py::gil_scoped_release release;
        for (std::size_t b = 0; b < bands; ++b)
            ScaleInputColumn(matrix.data() + b, cells, bands, blank,
                             InputRange{low.data()[b], high.data()[b]});
    }
    return ClassesOf(network, matrix, cells, blank, stack);
}

py::dict CountClassValues(const Array<int>& classes) {
    py::dict counts;
    for (const auto& [value, count] : CountClasses(classes.data(), std::size_t(classes.size())))
        counts[py::int_(value)] = count;
    return counts;
}

BPNetwork LoadNetwork(const std::string& path) {
    BPNetwork network;
    if (const NetworkFileStatus status = ReadNetworkFile(path.c_str(), network);
        status != NetworkFileStatus::ok)
        throw py::value_error(path + ": " + NetworkFileStatusText(status));
    return network;
}

void SaveNetwork(const BPNetwork& network, const std::string& path) {
    if (!WriteNetworkFile(path.c_str(), network)) throw py::value_error(path + ": cannot be written");
}

}  // namespace

py::dict TrainingDict(BPTraining&& training, int samples) {
    const BPTrainingSummary& s = training.summary;
    py::dict result;
    result["epochs"] = s.epochs;
    result["converged"] = s.converged;
    result["final_error"] = s.finalError;
    result["computed_classes"] = Copy(s.computedBits, {samples, training.network.outputCount});
    result["samples_matched"] = s.samplesMatched;
    result["training_accuracy"] = s.trainingAccuracy;
    result["network"] = py::cast(std::move(training.network));
    return result;
}

void BindBP(py::module_& m) {
    py::register_exception<Stopped>(m, "Stopped");
    py::class_<BPNetwork>(m, "BPNetwork")
        .def(py::init(&NetworkOf), py::arg("inputs"), py::arg("hidden"), py::arg("outputs"),
             py::arg("train_error"), py::arg("hidden_threshold"), py::arg("output_threshold"),
             py::arg("weight_input_hidden"), py::arg("weight_hidden_output"))
        .def_readonly("inputs", &BPNetwork::inputCount)
        .def_readonly("hidden", &BPNetwork::hiddenCount)
        .def_readonly("outputs", &BPNetwork::outputCount)
        .def_readonly("train_error", &BPNetwork::trainError)
        .def_property_readonly("hidden_threshold",
                               [](const BPNetwork& n) { return Copy(n.hiddenThreshold, {n.hiddenCount}); })
        .def_property_readonly("output_threshold",
                               [](const BPNetwork& n) { return Copy(n.outputThreshold, {n.outputCount}); })
        .def_property_readonly("weight_input_hidden",
                               [](const BPNetwork& n) {
                                   return Copy(n.weightInputHidden, {n.inputCount, n.hiddenCount});
                               })
        .def_property_readonly("weight_hidden_output",
                               [](const BPNetwork& n) {
                                   return Copy(n.weightHiddenOutput, {n.hiddenCount, n.outputCount});
                               })
        .def(py::pickle(&StateOf, &NetworkFromState));
    m.def("train", &Train, py::arg("samples"), py::arg("targets"), py::arg("hidden"),
          py::arg("max_iterations"), py::arg("error_limit"), py::arg("seed"), py::arg("progress"));
    m.def("classify", &Classify, py::arg("network"), py::arg("stack"), py::arg("blank"), py::arg("start_low"),
          py::arg("start_high"));
    m.def("favourability", &Favourability, py::arg("network"), py::arg("stack"), py::arg("blank"),
          py::arg("start_low"), py::arg("start_high"));
    m.def("classify_in_ranges", &ClassifyInRanges, py::arg("network"), py::arg("stack"), py::arg("blank"),
          py::arg("low"), py::arg("high"));
    m.def("count_classes", &CountClassValues, py::arg("classes"));
    m.def("load_network", &LoadNetwork, py::arg("path"));
    m.def("save_network", &SaveNetwork, py::arg("network"), py::arg("path"));
}

}  // namespace quarnel::python
