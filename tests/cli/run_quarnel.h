#pragma once
// Runs the quarnel host of the build under test, for the areas' command-line tests.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace quarnel::testing {

struct CliResult {
    int exitCode;
    std::string output;  // standard output and standard error together
};

// arguments are passed through the shell as written.
inline CliResult Quarnel(const std::string& arguments) {
    const std::string command = std::string(QUARNEL_BUILD_DIR) + "/quarnel " + arguments + " 2>&1";
    CliResult result{-1, ""};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        result.output.append(chunk, got);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace quarnel::testing
