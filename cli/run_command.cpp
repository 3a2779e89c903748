// quarnel run: a workflow file taken from evidence rasters and deposits to prospectivity maps
// (the workflow library, workflow/runner.h), and quarnel params: the parameters it takes.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "quarnel/parameters.h"
#include "workflow/runner.h"

namespace quarnel::cli {

namespace {

int RunWorkflowCommand(const std::string& file, const std::string& output, bool json) {
    workflow::RunResult result;
    try {
        const InterruptScope ctrlC;
        result = workflow::RunWorkflow(file, {output, StopOnInterrupt()});
    } catch (const std::exception& error) {
        std::cerr << "quarnel run: " << error.what() << "\n";
        return 1;
    }
    if (json)
        std::cout << result.summary.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    else
        for (const std::string& line : result.lines) (result.ok ? std::cout : std::cerr) << line << "\n";
    if (result.stopped) return kStoppedExitStatus;
    return result.ok ? 0 : 1;
}

// Every method's parameters: as a list, or as the Markdown tables of docs/workflow.md.
int ShowParameters(const std::string& name, bool markdown) {
    if (markdown && name.empty()) {
        std::cout << params::MarkdownTables();
        return 0;
    }
    for (const params::Method& method : params::Methods()) {
        if (!name.empty() && method.name != name) continue;
        if (markdown) {
            std::cout << params::MarkdownTable(method);
            return 0;
        }
        std::cout << (method.name.empty() ? "(top level)" : "[" + std::string(method.name) + "]") << "  "
                  << method.title << "\n";
        for (const params::Parameter* p : method.parameters) {
            const std::string range = params::RangeText(*p);
            std::cout << "  " << p->name << "  " << p->help
                      << (p->unit.empty() ? "" : " (" + std::string(p->unit) + ")")
                      << (range.empty() ? "" : "; " + range) << "; default: " << params::DefaultText(*p)
                      << "\n";
        }
        if (!name.empty()) return 0;
    }
    if (name.empty()) return 0;
    std::cerr << "quarnel params: no method or table named \"" << name << "\"\n";
    return 1;
}

}  // namespace

void AddRunCommand(CLI::App& app, int& exitCode) {
    auto* run = app.add_subcommand("run",
                                   "Run a workflow file (TOML): prepare the evidence layers, then every "
                                   "method it names, writing GeoTIFF maps, reports and summary.json");
    auto file = std::make_shared<std::string>();
    auto output = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    run->add_option("WORKFLOW", *file, "workflow file (.toml)")->required();
    run->add_option("-o,--output", *output, "output folder (default: the workflow's `output`)");
    run->add_flag("--json", *json, "print summary.json instead of the list of results");
    run->callback([file, output, json, &exitCode] { exitCode = RunWorkflowCommand(*file, *output, *json); });

    auto* list = app.add_subcommand("params", "List every method's parameters: workflow key, range, default");
    auto method = std::make_shared<std::string>();
    auto markdown = std::make_shared<bool>(false);
    list->add_option("METHOD", *method, "one method or table (bp, hierarchy.levels, ...)");
    list->add_flag("--markdown", *markdown, "as Markdown tables (those of docs/workflow.md)");
    list->callback([method, markdown, &exitCode] { exitCode = ShowParameters(*method, *markdown); });
}

}  // namespace quarnel::cli
