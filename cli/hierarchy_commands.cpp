#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/gbk_text.h"
#include "frame/quarnel.h"
#include "hierarchy/hierarchy_status.h"
#include "hierarchy/read_hierarchy_params.h"

namespace quarnel::cli {

namespace {

namespace status = hierarchy_status;

// Statuses the job returns before it creates the report: a file of that name is not this run's.
bool ReportCreated(int code) {
    switch (code) {
        case status::kParameterFileNotOpened:
        case status::kNotTheKeyword:
        case status::kReportNotCreated:
        case status::kMalformedParameterFile:
        case status::kBadImportance:
        case status::kOutputOverwritesInput:
            return false;
        default:
            return true;
    }
}

bool ShowGbkFile(const std::string& path) {
    if (PrintGbkFile(path.c_str(), std::cout)) return true;
    std::cerr << "cannot read " << path << "\n";
    return false;
}

void RunHierarchy(const std::string& parameterFile, bool showReport, int& exitCode) {
    const int code = qelDecompos(parameterFile.c_str());
    HierarchyParams params;
    const bool named = ReadHierarchyParams(parameterFile.c_str(), params) == status::kSuccess;
    if (showReport && named && ReportCreated(code)) ShowGbkFile(params.reportFile);
    const std::string meaning = named ? status::Meaning(code, params.target) : status::Meaning(code);
    const std::string line = "qelDecompos status " + std::to_string(code) + ": " + meaning;
    if (code != status::kSuccess) {
        std::cerr << line << "\n";
        exitCode = 1;
        return;
    }
    std::cout << line << "\n";
    if (!named) return;
    std::cout << "report: " << params.reportFile << "\n";
    if (params.target == kPredictRegularGrid || params.target == kPredictIrregularGrid) {
        std::cout << "result: " << params.outputFile << "\n";
    }
}

}  // namespace

void AddHierarchyCommands(CLI::App& app, int& exitCode) {
    auto* hierarchy = app.add_subcommand(
        "hierarchy", "Hierarchy analysis (qelDecompos): weights, consistency, anomaly ranking or prediction");
    auto parameterFile = std::make_shared<std::string>();
    auto showReport = std::make_shared<bool>(false);
    hierarchy->add_option("PARAMFILE", *parameterFile, "parameter file (keyword QELFrmDECOMPOSE)")
        ->required();
    hierarchy->add_flag("--show-report", *showReport, "print the report, converted from GBK to UTF-8");
    hierarchy->callback(
        [parameterFile, showReport, &exitCode] { RunHierarchy(*parameterFile, *showReport, exitCode); });

    auto* report = app.add_subcommand("report", "Print a GBK report converted to UTF-8");
    auto reportFile = std::make_shared<std::string>();
    report->add_option("FILE", *reportFile, "report file")->required();
    report->callback([reportFile, &exitCode] {
        if (!ShowGbkFile(*reportFile)) exitCode = 1;
    });
}

}  // namespace quarnel::cli
