#pragma once
// The page `quarnel run` leaves beside its results: report.html, one self-contained file (every
// picture inline as a data: URL, no script, nothing fetched), in English. It shows the inputs
// and their maps, each method's parameters, results and map, the validation of every method
// side by side, and the design's GBK reports converted to UTF-8 in collapsible sections. The
// writer prints what the run found (summary.json's content); it computes nothing.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace quarnel::workflow {

struct ReportPicture {
    std::string caption;
    std::filesystem::path png;
};

struct ReportSection {
    std::string title;
    std::string description;              // what the step did, in one sentence
    nlohmann::ordered_json parameters;    // as the workflow gave them
    nlohmann::ordered_json results;       // the step's results as data
    std::vector<ReportPicture> pictures;  // its maps
    std::vector<std::filesystem::path> gbkReports;
    std::vector<std::string> failures;  // "STEP: cause" of each of its steps that failed
};

struct RunReport {
    std::string workflow;
    std::string grid;                    // CRS, extent, cell size and units, in words
    std::vector<ReportSection> inputs;   // the layers and the deposits
    std::vector<ReportSection> methods;  // BP, hierarchy, feature
    std::vector<double> bpErrors;        // BP's training error per epoch, drawn in its section
    nlohmann::ordered_json validation;   // per method: AUC, interval, areas; "ranking": the verdict
    bool heldOut = false;                // the ranking is on held-out deposits
    std::vector<ReportPicture> curves;   // ROC, success-rate, prediction-rate plots
};

// Writes the page whole (temporary file, then renamed) at path; false when it cannot.
bool WriteRunReport(const RunReport& report, const std::filesystem::path& path);

}  // namespace quarnel::workflow
