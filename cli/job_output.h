#pragma once
// What a job command prints, in one shape for every command.
//
// Success: the summary lines (plain English: what was written and the results worth knowing) on
// standard output. Failure: "quarnel COMMAND: status N: MEANING" (its docs/statuses.md row), then
// the actual cause, when known, as "quarnel COMMAND: CAUSE" (which file, what, where), on
// standard error. With --json either becomes one JSON object on standard output:
//   {"command", "ok", "status", "meaning", "cause" (failure only), "outputs": [paths],
//    "results": {...}} — the command's results as data (each command's page in docs/commands).
// Emit returns the exit status: 0 on success, 1 on failure.
// JobOutput holds its results by value, so the whole JSON library stays here.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

namespace quarnel::cli {

struct JobOutput {
    std::string command;
    bool ok = false;
    int status = 0;
    std::string meaning;
    std::string cause;
    std::vector<std::string> outputs;
    nlohmann::ordered_json results = nlohmann::ordered_json::object();
    std::vector<std::string> summary;
};

// The status part of a command's output; outputs, results and summary are added on success.
JobOutput StatusOutput(const char* command, bool ok, int status, const char* meaning, std::string cause);

int Emit(const JobOutput& output, bool json);

// The JSON object --json prints.
nlohmann::ordered_json JsonOf(const JobOutput& output);

// The --json flag every job command takes.
void AddJsonFlag(CLI::App* command, bool& json);

}  // namespace quarnel::cli
