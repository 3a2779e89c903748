#pragma once
// What the C++ tests share: a fresh folder per use, whole-file reads and writes, KVSGDB01 grid
// bytes (the library reads KVSGDB01 but never writes one), golden files, and the quarnel host of
// the build under test run as a user runs it.
//
// Golden files live in tests/golden/ and are compared byte for byte (reports are GBK bytes, kept
// as such). QUARNEL_UPDATE_GOLDEN=1 in the environment writes what a test produced into the
// golden file instead of comparing, for a deliberate change of a report; review the diff.
#include <cstdint>
#include <string>
#include <vector>

namespace quarnel::testkit {

// A fresh folder, removed with everything in it when the object goes. Its path is short (the
// jobs' parameter files hold paths of at most 99 characters) and unique within the process and
// across processes.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The path of name inside the folder.
    std::string operator/(const std::string& name) const { return root_ + "/" + name; }
    // Writes bytes to the named file in the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

  private:
    std::string root_;
};

void WriteFile(const std::string& path, const std::string& bytes);
// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Whether anything is at path, a dangling link included.
bool FileExists(const std::string& path);
// Open descriptors of this process, to see that a job closed every file it opened.
int OpenFileCount();

// The bytes of a KVSGDB01 grid: header record (2176 bytes) and stored rows, little-endian.
// storedValues holds rows x cols floats in stored order (the reverse of the DSAA row order).
std::string KvbFileBytes(std::int32_t rows, std::int32_t cols, const std::vector<float>& storedValues,
                         float zMin = 0.0f, float zMax = 1.0f, float blankValue = 1.70141e38f,
                         const char* magic = "KVSGDB01");

// The bytes of tests/golden/NAME.
std::string Golden(const std::string& name);
// Expects actual to equal tests/golden/NAME byte for byte; a failure names the first differing
// byte and the lines around it. Under QUARNEL_UPDATE_GOLDEN=1 it writes actual there instead.
void ExpectGolden(const std::string& actual, const std::string& name);

struct CliResult {
    bool exited = false;         // false: killed by a signal (a crash, a sanitizer abort, killAfterMs)
    int exitCode = -1;           // the exit status, or minus the signal's number
    std::string output;          // standard output, with standard error too unless separateErrors
    std::string errors;          // standard error under separateErrors
    long peakKiB = 0;            // the host's peak resident memory
    long msAfterInterrupt = -1;  // under interruptAfterMs: how long the host ran on after SIGINT
};
struct CliOptions {
    long long fileSize = 0;       // bytes any one file may grow to (RLIMIT_FSIZE); 0: no limit
    long long addressSpace = 0;   // bytes of address space (RLIMIT_AS); 0: no limit
    int killAfterMs = 0;          // SIGKILL the host if it still runs this long after its start; 0: wait
    int interruptAfterMs = 0;     // SIGINT the host if it still runs this long after its start
    bool separateErrors = false;  // standard error into CliResult::errors rather than output
};
// Runs build/quarnel with these arguments (no shell in between), in this process's environment.
CliResult RunCli(const std::vector<std::string>& arguments, const CliOptions& options = {});
// The same with the arguments written as one line and split at spaces (no quoting: for
// arguments, such as the tests' folder paths, that hold no space).
CliResult RunCliLine(const std::string& commandLine, const CliOptions& options = {});
// Starts every run at once, then waits for all of them.
std::vector<CliResult> RunClisTogether(const std::vector<std::vector<std::string>>& runs);

}  // namespace quarnel::testkit
