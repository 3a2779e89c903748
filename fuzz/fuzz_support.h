#pragma once
// What the fuzz targets share. Scratch space: one folder per process under $TMPDIR (or /tmp),
// emptied before every run and removed at exit; the input is written there as a file, and every
// job a target runs writes its outputs there, so a run never touches anything outside it and no
// run sees what an earlier one left behind. And the checks several targets make.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quarnel::fuzz {

class Scratch {
  public:
    // The process's scratch folder, emptied.
    static Scratch& Fresh();

    // Absolute path of name inside the folder.
    std::string Path(std::string_view name) const;
    // Writes bytes to name (created or truncated) and returns its path.
    std::string Write(std::string_view name, const std::uint8_t* data, std::size_t size) const;
    std::string Write(std::string_view name, std::string_view text) const;
    // Makes the folder the working directory, so relative paths a job reads from its input
    // resolve inside it.
    void Enter() const;

    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

  private:
    Scratch();
    ~Scratch();
    void Empty() const;

    std::string folder_;
};

// True when the bytes hold a '/': targets that hand paths from their input to a whole job skip
// such inputs, so every path the job opens is relative and stays inside the scratch folder.
bool NamesOtherFolders(const std::uint8_t* data, std::size_t size);

// Aborts (a finding) unless the file at path still holds exactly these bytes: no job may change
// one of its own inputs.
void RequireUnchanged(const std::string& path, const std::uint8_t* data, std::size_t size);

// A fixed-size text field of a parsed record holds its terminating zero.
template <std::size_t N>
bool Terminated(const char (&field)[N]) {
    return std::memchr(field, '\0', N) != nullptr;
}

}  // namespace quarnel::fuzz
