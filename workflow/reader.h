#pragma once
// The workflow file (TOML) taken into the methods' requests (include/quarnel/requests.h): the
// evidence layers and how each is prepared, the deposits, one table per method and an output
// folder. Paths are relative to the file. Every key, its kind, range and default comes from the
// parameters' declarations; `quarnel params` and docs/workflow.md list them.
//
// A key the format does not know, a value of the wrong kind or out of range, a layer name that is
// not plain (letters, digits, '_' and '-') or is given twice, a name no layer has, or a method
// that needs the deposits without them is refused with "FILE:LINE: KEY: cause".
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "quarnel/requests.h"

namespace quarnel::workflow {

class WorkflowError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Workflow {
    std::filesystem::path file;
    std::filesystem::path output;
    std::vector<params::LayerRequest> layers;  // rasters as paths the OS takes
    std::optional<params::DepositsRequest> deposits;
    std::optional<params::BpRequest> bp;
    std::optional<params::HierarchyRequest> hierarchy;
    std::optional<params::FeatureRequest> feature;
    std::optional<params::WofeRequest> wofe;
    std::optional<params::FuzzyRequest> fuzzy;
    std::optional<params::LogisticRequest> logistic;
    std::optional<params::TreesRequest> trees;
    params::ValidationRequest validation;
    std::map<std::string, int> lines;  // the line of each key read ("layers[2].raster")

    // The layer of that name; throws WorkflowError when none has it.
    const params::LayerRequest& Layer(const std::string& name) const;
    // "FILE:LINE: KEY: " for a key read from the file ("FILE: KEY: " when it holds none).
    std::string Where(const std::string& key) const;
};

// Throws WorkflowError "FILE:LINE: KEY: what is wrong".
Workflow ReadWorkflow(const std::filesystem::path& file);

// Whether name is a plain name: 1 to 64 letters, digits, '_' and '-'.
bool IsPlainName(const std::string& name);

}  // namespace quarnel::workflow
