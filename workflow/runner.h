#pragma once
// A workflow run: the workflow file's requests (workflow/reader.h) run through the analysis core
// and the GDAL door, each method in its own step, into one output folder.
//
// Before anything is written the run refuses, with "FILE:LINE: KEY: cause", whatever it can know
// will fail: an output that is one of its inputs, a raster it cannot open, a multi-band raster
// where a method takes one band (BP takes every band as an input, counted), layers on different
// grids, deposits it cannot read or of which none lies on data, more background samples than
// cells that can hold them. Then it locks the output folder (workflow/output_folder.h), removes
// summary.json, report.html and every output it will make again, and runs the steps. A step that
// fails is recorded as failed with its cause and the others still run. report.html and, last,
// summary.json are written whole and list exactly the files that the steps which succeeded wrote.
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "quarnel/progress.h"

#include "workflow/reader.h"

namespace quarnel::workflow {

struct RunOptions {
    std::filesystem::path output;  // empty: the workflow's own
    // Told of each step before it begins ("step") and of the steps' own progress (strips,
    // epochs); false stops the run: the step under way ends with nothing of it left, and it and
    // the ones after it are recorded as stopped.
    Progress progress;
};

struct RunResult {
    nlohmann::ordered_json summary;  // summary.json's content (keys: params::result)
    std::vector<std::string> lines;  // what was written and found, one line each, for a terminal
    bool ok = true;                  // every step succeeded
    bool stopped = false;            // told to stop by the options' progress
    std::filesystem::path folder;
};

// Throws WorkflowError for a refusal (nothing written) or a folder that cannot be written.
RunResult RunWorkflow(const std::filesystem::path& file, const RunOptions& options = {});
RunResult RunWorkflow(const Workflow& workflow, const RunOptions& options = {});

}  // namespace quarnel::workflow
