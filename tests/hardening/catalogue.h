#pragma once
// The bad-input catalogue's machinery. A case prepares its files in a fresh folder, names the
// job's inputs and outputs, then runs the job through its export and through the command-line
// host. Every run must return the documented status, never change an input's bytes (or create
// a missing input), and leave no output behind that it did not report: a failure creates none
// of the outputs it names as untouched, a success has written all of them.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

namespace quarnel::hardening {

using testkit::CliOptions;
using testkit::CliResult;
using testkit::FileExists;
using testkit::KvbFileBytes;
using testkit::ReadFile;
using testkit::RunCli;
using testkit::RunClisTogether;
using testkit::TempFolder;
using testkit::WriteFile;

// A folder name made of GBK bytes ("地质数据"), as a Chinese Windows host passes it.
inline constexpr const char* kGbkName = "\xB5\xD8\xD6\xCA\xCA\xFD\xBE\xDD";
// A path longer than any the system accepts (PATH_MAX is 4096).
std::string OverlongPath(const std::string& folder);
// A file name longer than any file system's 255-byte limit.
std::string OverlongName();
// LF line ends become CRLF.
std::string WithCrlf(const std::string& text);
// Bytes of a fixed pseudo-random sequence, NULs and high bytes included.
std::string Garbage(std::size_t size, unsigned seed);

class Case {
  public:
    // Remembers the bytes of an input (or that it is missing) to compare after each run.
    void Input(const std::string& path);
    // An output that a failing run must not create (or change, when it exists).
    void Untouched(const std::string& path);
    // An output a successful run must have written.
    void Written(const std::string& path);

    // Runs the export on the outputs as they were when the case began, then checks status,
    // inputs and outputs.
    void ExpectExport(const std::function<int()>& job, int expectedStatus, bool success);
    // Runs the host: exit 0 for success, 1 for failure, and, when it prints a status line,
    // "status N: meaning" with the expected status and its meaning.
    void ExpectCli(const std::vector<std::string>& arguments, int expectedStatus, bool success,
                   const std::string& meaning);

  private:
    bool NamesAnInput(const std::string& path) const;
    // Gives every output the state it had when the case began.
    void ResetOutputs();
    void CheckFiles(bool success, const std::string& context);

    std::map<std::string, std::optional<std::string>> inputs_;
    std::map<std::string, std::optional<std::string>> untouched_;
    std::vector<std::string> written_;
};

}  // namespace quarnel::hardening
