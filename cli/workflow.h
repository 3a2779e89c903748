#pragma once
// The workflow file of `quarnel run` (TOML): the evidence layers and how each is prepared, the
// deposits, one section per method and an output folder. Paths are relative to the file.
//
//   output = "results"                        # folder of every result
//   [deposits]  path = "deposits.shp"         # + x_column, y_column, crs for a CSV file
//   [[layers]]  name = "breccia"  raster = "Dist2Breccia.tif"
//               prepare = "classes"           # classes | normalize | code | window-mean | window-deviation
//               lower = 1.5  upper = 1.5      # code: +1 at or above upper, -1 at or below lower, else 0
//               invert = true                 # code: the opposite sign (low values favourable)
//               window = 5                    # window-*: block size in cells
//   [bp]        hidden = 8  max_iterations = 1000  error_limit = 0.01  background = 300
//               seed = 1  min_distance = 2000.0  layers = ["breccia", ...]   (default: every layer)
//   [hierarchy] [[hierarchy.levels]] level = "geology"  importance = 3
//               elements = [{ layer = "breccia", importance = 2 }, ...]
//   [feature]   method = "vector-length"      # or "principal-component"
//               model_units = true            # product matrix over the deposit cells only
//               [[feature.variables]] layer = "breccia"  lower = 1  upper = 2
//
// Every section but the output and the layers is optional; a missing key takes its default.
// A key the format does not know, a value of the wrong type or out of range, a layer named twice
// or a name no layer has is an error naming the key and its line.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarnel::cli {

class WorkflowError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Preparation { classes, normalize, code, windowMean, windowDeviation };

struct WorkflowLayer {
    std::string name;
    std::filesystem::path raster;
    Preparation prepare = Preparation::classes;
    float lower = 0;
    float upper = 0;
    bool invert = false;
    int window = 0;
};

struct WorkflowDeposits {
    std::filesystem::path path;
    std::string xColumn;
    std::string yColumn;
    std::string crs;
};

struct WorkflowBp {
    std::vector<std::string> layers;
    int hidden = -1;  // inputs + 1
    int maxIterations = 1000;
    double errorLimit = 0.01;
    int background = -1;  // as many as deposit cells
    std::uint32_t seed = 1;
    double minDistance = 0;
};

struct WorkflowElement {
    std::string layer;
    float importance = 1;
};

struct WorkflowLevel {
    int level = 0;  // 0 geology, 1 geophysics, 2 geochemistry, 3 remote sensing
    float importance = 1;
    std::vector<WorkflowElement> elements;
};

struct WorkflowHierarchy {
    std::vector<WorkflowLevel> levels;
};

struct WorkflowVariable {
    std::string layer;
    float lower = 0;
    float upper = 0;
};

struct WorkflowFeature {
    int method = 0;
    bool modelUnits = true;
    std::vector<WorkflowVariable> variables;
};

struct Workflow {
    std::filesystem::path file;
    std::filesystem::path output;
    std::vector<WorkflowLayer> layers;
    std::optional<WorkflowDeposits> deposits;
    std::optional<WorkflowBp> bp;
    std::optional<WorkflowHierarchy> hierarchy;
    std::optional<WorkflowFeature> feature;

    const WorkflowLayer& Layer(const std::string& name) const;
};

// Throws WorkflowError "FILE:LINE: KEY: what is wrong".
Workflow ReadWorkflow(const std::filesystem::path& file);

}  // namespace quarnel::cli
