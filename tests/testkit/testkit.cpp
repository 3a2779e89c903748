#include "tests/testkit/testkit.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace quarnel::testkit {

namespace fs = std::filesystem;

namespace {

std::string UniqueFolderName() {
    static std::atomic<int> counter{0};
    return std::string("quarnel")
        .append(std::to_string(::getpid()))
        .append("_")
        .append(std::to_string(counter++));
}

}  // namespace

TempFolder::TempFolder() : root_(::testing::TempDir() + UniqueFolderName()) {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    fs::create_directories(root_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = *this / name;
    WriteFile(path, bytes);
    return path;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

int OpenFileCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

std::string KvbFileBytes(std::int32_t rows, std::int32_t cols, const std::vector<float>& storedValues,
                         float zMin, float zMax, float blankValue, const char* magic) {
    std::string bytes(2176, '\0');
    std::memcpy(bytes.data(), magic, 8);
    std::memcpy(bytes.data() + 8, &rows, 4);
    std::memcpy(bytes.data() + 12, &cols, 4);
    std::memcpy(bytes.data() + 64, &zMax, 4);
    std::memcpy(bytes.data() + 68, &zMin, 4);
    std::memcpy(bytes.data() + 76, &blankValue, 4);
    bytes.append(reinterpret_cast<const char*>(storedValues.data()), storedValues.size() * sizeof(float));
    return bytes;
}

namespace {

std::string GoldenPath(const std::string& name) {
    return std::string(QUARNEL_GOLDEN_DIR) + "/" + name;
}

// The lines of text around offset, with bytes outside printable ASCII in hex.
std::string Around(const std::string& text, std::size_t offset) {
    const std::size_t lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    const std::size_t lineEnd = text.find('\n', offset);
    const std::size_t to = lineEnd == std::string::npos ? text.size() : lineEnd;
    std::ostringstream shown;
    for (std::size_t i = from; i < to; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            shown << text[i];
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            shown << "\\x" << kHex[byte >> 4] << kHex[byte & 0xF];
        }
    }
    return shown.str();
}

}  // namespace

std::string Golden(const std::string& name) {
    std::ifstream in(GoldenPath(name), std::ios::binary);
    EXPECT_TRUE(in.is_open()) << "no golden file " << GoldenPath(name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ExpectGolden(const std::string& actual, const std::string& name) {
    const char* update = std::getenv("QUARNEL_UPDATE_GOLDEN");
    if (update != nullptr && std::strcmp(update, "1") == 0) {
        WriteFile(GoldenPath(name), actual);
        return;
    }
    const std::string expected = Golden(name);
    if (actual == expected) return;
    const auto differ = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const auto offset = static_cast<std::size_t>(differ.first - expected.begin());
    ADD_FAILURE() << "differs from golden file " << GoldenPath(name) << " at byte " << offset << " (sizes "
                  << expected.size() << " expected, " << actual.size()
                  << " actual)\n  expected line: " << Around(expected, offset)
                  << "\n  actual line:   " << Around(actual, offset);
}

namespace {

struct RunningCli {
    pid_t child = -1;
    int output = -1;
    int errors = -1;  // under separateErrors
};

// An unnamed temporary file for one stream of the host.
int CaptureFile() {
    char name[] = "/tmp/quarnel-cli-XXXXXX";
    const int descriptor = mkstemp(name);
    if (descriptor >= 0) unlink(name);
    return descriptor;
}

void SetLimit(int resource, long long bytes) {
    const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
    setrlimit(resource, &limit);
}

RunningCli StartCli(const std::vector<std::string>& arguments, const CliOptions& options) {
    const std::string program = std::string(QUARNEL_BUILD_DIR) + "/quarnel";
    RunningCli run;
    run.output = CaptureFile();
    if (options.separateErrors) run.errors = CaptureFile();
    if (run.output < 0 || (options.separateErrors && run.errors < 0)) return run;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    run.child = fork();
    if (run.child == 0) {
        dup2(run.output, 1);
        dup2(options.separateErrors ? run.errors : run.output, 2);
        if (options.fileSize > 0) {
            // A write past the limit then fails with EFBIG, as on a full disk, instead of a signal.
            signal(SIGXFSZ, SIG_IGN);
            SetLimit(RLIMIT_FSIZE, options.fileSize);
        }
        if (options.addressSpace > 0) SetLimit(RLIMIT_AS, options.addressSpace);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return run;
}

std::string Drain(int descriptor) {
    std::string bytes;
    if (descriptor < 0) return bytes;
    lseek(descriptor, 0, SEEK_SET);
    char chunk[4096];
    for (ssize_t got; (got = read(descriptor, chunk, sizeof chunk)) > 0;)
        bytes.append(chunk, std::size_t(got));
    close(descriptor);
    return bytes;
}

CliResult FinishCli(const RunningCli& run, const CliOptions& options) {
    CliResult result;
    int status = 0;
    rusage usage{};
    pid_t ended = 0;
    if (run.child > 0 && (options.killAfterMs > 0 || options.interruptAfterMs > 0)) {
        // Polls in steps of a millisecond, so a host that ends by itself is not waited for.
        using Clock = std::chrono::steady_clock;
        const Clock::time_point start = Clock::now();
        const auto since = [](Clock::time_point t) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
        };
        std::optional<Clock::time_point> interrupted;
        while (ended == 0 && (options.killAfterMs == 0 || since(start) < options.killAfterMs)) {
            if (options.interruptAfterMs > 0 && !interrupted && since(start) >= options.interruptAfterMs) {
                kill(run.child, SIGINT);
                interrupted = Clock::now();
            }
            usleep(1000);
            ended = wait4(run.child, &status, WNOHANG, &usage);
        }
        if (ended != 0 && interrupted) result.msAfterInterrupt = long(since(*interrupted));
        if (ended == 0) kill(run.child, SIGKILL);
    }
    if (run.child > 0 && (ended == run.child || wait4(run.child, &status, 0, &usage) == run.child)) {
        result.peakKiB = usage.ru_maxrss;
        result.exited = WIFEXITED(status);
        result.exitCode = result.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    result.output = Drain(run.output);
    result.errors = Drain(run.errors);
    return result;
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& arguments, const CliOptions& options) {
    return FinishCli(StartCli(arguments, options), options);
}

CliResult RunCliLine(const std::string& commandLine, const CliOptions& options) {
    std::vector<std::string> arguments;
    std::istringstream words(commandLine);
    for (std::string word; words >> word;) arguments.push_back(word);
    return RunCli(arguments, options);
}

std::vector<CliResult> RunClisTogether(const std::vector<std::vector<std::string>>& runs) {
    std::vector<RunningCli> running;
    for (const auto& arguments : runs) running.push_back(StartCli(arguments, {}));
    std::vector<CliResult> results;
    for (const RunningCli& run : running) results.push_back(FinishCli(run, {}));
    return results;
}

}  // namespace quarnel::testkit
