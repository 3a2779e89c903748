#pragma once
// A file written whole or not at all.
//
// Create follows the path's symbolic links (dangling ones too) to the file they name and opens a
// new temporary file in that file's folder; Commit closes it and renames it over the final path
// in one step. Discard, destruction without Commit, and a Commit whose writes failed remove the
// temporary file, so whatever was at the path before stays as it was, and two jobs writing one
// path leave one job's whole file. On Linux the temporary file has no name until Commit (a killed
// job leaves nothing behind but in the instant between naming and renaming it, and the next job
// writing the path removes such a name); elsewhere, and where the file system cannot do that, it
// gets a name no other file has, created exclusively. An existing file keeps its permission bits.
// A path naming something that cannot be replaced (a device such as /dev/null, a FIFO) is
// written directly.
#include <cstdio>
#include <filesystem>

namespace quarnel {

class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile() { Discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when the file cannot be created: a missing or unwritable folder, a path naming a
    // folder or an existing file that may not be written. An open file is discarded first.
    bool Create(const char* path);
    bool IsOpen() const { return stream_ != nullptr; }
    std::FILE* stream() const { return stream_; }
    // Flushes what was written; false when a write failed. The file stays temporary, so a job
    // with two outputs can finish both before committing either.
    bool Finish();
    // Finishes, then puts the file in place; false (and nothing changed at the path) on failure.
    bool Commit();
    void Discard();

  private:
    bool Place();

    std::FILE* stream_ = nullptr;
    std::filesystem::path final_;
    std::filesystem::path temporary_;  // empty while the file has no name
    bool direct_ = false;
    bool failed_ = false;
};

}  // namespace quarnel
