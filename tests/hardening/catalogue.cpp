#include "tests/hardening/catalogue.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <system_error>

#include "grid/same_file.h"

namespace quarnel::hardening {

namespace fs = std::filesystem;

namespace {

std::optional<std::string> Snapshot(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return std::nullopt;
    return ReadFile(path);
}

std::string Describe(const std::optional<std::string>& bytes) {
    return bytes ? std::to_string(bytes->size()) + " bytes" : "no file";
}

}  // namespace

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

std::string OverlongPath(const std::string& folder) {
    std::string path = folder;
    while (path.size() < 5000) path += "/" + std::string(200, 'd');
    return path + "/grid.grd";
}

std::string OverlongName() {
    return std::string(300, 'n') + ".grd";
}

std::string WithCrlf(const std::string& text) {
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    return crlf;
}

std::string Garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

namespace {

struct RunningCli {
    pid_t child = -1;
    int output = -1;
};

RunningCli StartCli(const std::vector<std::string>& arguments, const CliLimits& limits) {
    const std::string program = std::string(QUARNEL_BUILD_DIR) + "/quarnel";
    char outputName[] = "/tmp/quarnel-cli-XXXXXX";
    RunningCli run;
    run.output = mkstemp(outputName);
    if (run.output < 0) return run;
    unlink(outputName);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    run.child = fork();
    if (run.child == 0) {
        dup2(run.output, 1);
        dup2(run.output, 2);
        if (limits.fileSize > 0) {
            // A write past the limit then fails with EFBIG, as on a full disk, instead of a signal.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit size{rlim_t(limits.fileSize), rlim_t(limits.fileSize)};
            setrlimit(RLIMIT_FSIZE, &size);
        }
        if (limits.addressSpace > 0) {
            const rlimit space{rlim_t(limits.addressSpace), rlim_t(limits.addressSpace)};
            setrlimit(RLIMIT_AS, &space);
        }
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return run;
}

CliResult FinishCli(RunningCli run, const CliLimits& limits) {
    CliResult result;
    if (run.output < 0) return result;
    int status = 0;
    rusage usage{};
    pid_t ended = 0;
    if (run.child > 0 && limits.killAfterMs > 0) {
        // Polls in steps of a millisecond, so a host that ends by itself is not waited for.
        for (int waited = 0; waited < limits.killAfterMs && ended == 0; ++waited) {
            usleep(1000);
            ended = wait4(run.child, &status, WNOHANG, &usage);
        }
        if (ended == 0) kill(run.child, SIGKILL);
    }
    if (run.child > 0 && (ended == run.child || wait4(run.child, &status, 0, &usage) == run.child)) {
        result.peakKiB = usage.ru_maxrss;
        result.exited = WIFEXITED(status);
        result.exitCode = result.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    lseek(run.output, 0, SEEK_SET);
    char chunk[4096];
    for (ssize_t got; (got = read(run.output, chunk, sizeof chunk)) > 0;)
        result.output.append(chunk, std::size_t(got));
    close(run.output);
    return result;
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& arguments, const CliLimits& limits) {
    return FinishCli(StartCli(arguments, limits), limits);
}

std::vector<CliResult> RunClisTogether(const std::vector<std::vector<std::string>>& runs) {
    std::vector<RunningCli> running;
    for (const auto& arguments : runs) running.push_back(StartCli(arguments, {}));
    std::vector<CliResult> results;
    for (const RunningCli& run : running) results.push_back(FinishCli(run, {}));
    return results;
}

void Case::Input(const std::string& path) {
    inputs_[path] = Snapshot(path);
}

bool Case::NamesAnInput(const std::string& path) const {
    for (const auto& [input, bytes] : inputs_) {
        if (input == path || SameExistingFile(input.c_str(), path.c_str())) return true;
    }
    return false;
}

void Case::Untouched(const std::string& path) {
    untouched_[path] = Snapshot(path);
}

void Case::Written(const std::string& path) {
    written_.push_back(path);
}

void Case::ResetOutputs() {
    for (const auto& [path, bytes] : untouched_) {
        std::error_code error;
        if (bytes) {
            WriteFile(path, *bytes);
        } else if (fs::is_regular_file(path, error)) {
            fs::remove(path, error);
        }
    }
    for (const std::string& path : written_) {
        std::error_code error;
        if (!untouched_.count(path) && !NamesAnInput(path) && fs::is_regular_file(path, error)) {
            fs::remove(path, error);
        }
    }
}

void Case::CheckFiles(bool success, const std::string& context) {
    for (const auto& [path, bytes] : inputs_) {
        const std::optional<std::string> now = Snapshot(path);
        EXPECT_TRUE(now == bytes) << context << ": input " << path << " changed from " << Describe(bytes)
                                  << " to " << Describe(now);
    }
    if (success) {
        for (const std::string& path : written_)
            EXPECT_TRUE(Exists(path)) << context << ": " << path << " not written";
        return;
    }
    for (const auto& [path, bytes] : untouched_) {
        const std::optional<std::string> now = Snapshot(path);
        EXPECT_TRUE(now == bytes) << context << ": failed run left " << path << " as " << Describe(now);
    }
}

void Case::ExpectExport(const std::function<int()>& job, int expectedStatus, bool success) {
    ResetOutputs();
    EXPECT_EQ(job(), expectedStatus) << "export";
    CheckFiles(success, "export");
}

void Case::ExpectCli(const std::vector<std::string>& arguments, int expectedStatus, bool success,
                     const std::string& meaning) {
    ResetOutputs();
    const CliResult result = RunCli(arguments);
    ASSERT_TRUE(result.exited) << "host killed by signal " << -result.exitCode << ":\n" << result.output;
    EXPECT_EQ(result.exitCode, success ? 0 : 1) << result.output;
    const std::size_t statusAt = result.output.find("status ");
    if (statusAt != std::string::npos) {
        const std::string expected = "status " + std::to_string(expectedStatus) + ": " + meaning;
        EXPECT_EQ(result.output.compare(statusAt, expected.size(), expected), 0)
            << "expected \"" << expected << "\" in:\n"
            << result.output;
    }
    CheckFiles(success, "host");
}

}  // namespace quarnel::hardening
