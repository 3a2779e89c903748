#include "cli/job_output.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <utility>

namespace quarnel::cli {

JobOutput StatusOutput(const char* command, bool ok, int status, const char* meaning, std::string cause) {
    JobOutput output;
    output.command = command;
    output.ok = ok;
    output.status = status;
    output.meaning = meaning;
    output.cause = std::move(cause);
    return output;
}

nlohmann::ordered_json JsonOf(const JobOutput& output) {
    nlohmann::ordered_json object;
    object["command"] = output.command;
    object["ok"] = output.ok;
    object["status"] = output.status;
    object["meaning"] = output.meaning;
    if (!output.ok && !output.cause.empty()) object["cause"] = output.cause;
    object["outputs"] = output.outputs;
    object["results"] = output.results;
    return object;
}

int Emit(const JobOutput& output, bool json) {
    if (json) {
        // Invalid bytes (a GBK path) are replaced rather than ending the command.
        std::cout << JsonOf(output).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << "\n";
    } else if (output.ok) {
        for (const std::string& line : output.summary) std::cout << line << "\n";
    } else {
        std::cerr << "quarnel " << output.command << ": status " << output.status << ": " << output.meaning
                  << "\n";
        if (!output.cause.empty()) std::cerr << "quarnel " << output.command << ": " << output.cause << "\n";
    }
    return output.ok ? 0 : 1;
}

void AddJsonFlag(CLI::App* command, bool& json) {
    command->add_flag("--json", json, "print one JSON object with the status, outputs and results");
}

}  // namespace quarnel::cli
