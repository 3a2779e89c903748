#pragma once
// The output folder of one workflow run: made, locked for the run, cleared of the outputs the run
// will make again, and written into whole.
//
// The lock is an flock(2) on OUTPUT/.quarnel-run.lock, which holds the process id of the run that
// has it: a second run on the folder (another process, or another thread of this one) is refused
// with that id, and the lock ends with the run or its process, however it ends.
#include <filesystem>
#include <string>
#include <vector>

namespace quarnel::workflow {

class OutputFolder {
  public:
    // Makes the folder and takes its lock; throws WorkflowError when it cannot, or when another
    // run holds it ("... is in use by the run of process N").
    explicit OutputFolder(const std::filesystem::path& folder);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    const std::filesystem::path& path() const { return folder_; }
    // folder/relative, its parent folders made (and itself, when it has no extension: a folder).
    std::filesystem::path Place(const std::filesystem::path& relative) const;
    // Removes each of these files where it is; throws WorkflowError when one stays.
    void Withdraw(const std::vector<std::filesystem::path>& files) const;

  private:
    std::filesystem::path folder_;
    int lock_ = -1;
};

// Writes text to path whole: a temporary file beside it, then renamed over it. Throws
// WorkflowError when it cannot.
void WriteWhole(const std::filesystem::path& path, const std::string& text);

}  // namespace quarnel::workflow
