#pragma once
// The page `quarnel run` leaves beside its results: report.html, one self-contained file (every
// picture inline as a data: URL, no script, nothing fetched), in English. It shows the inputs
// and their maps, each method's parameters, results and map, the validation of every method
// side by side, and the design's GBK reports converted to UTF-8 in collapsible sections. The
// writer prints what the run found (summary.json's content); it computes nothing.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
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

// The grid every layer is on, for the page's heading: what a map reader checks first.
struct ReportGrid {
    std::string crs = "none";  // the CRS's name
    std::string epsg;          // its EPSG code, empty when GDAL identifies none
    std::string units;         // of the coordinates and cell sizes
    double west = 0, east = 0, south = 0, north = 0;
    double cellWidth = 0, cellHeight = 0;
    int rows = 0, cols = 0;
};

struct RunReport {
    std::string workflow;
    std::optional<ReportGrid> grid;
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
