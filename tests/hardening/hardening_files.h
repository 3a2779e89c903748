#pragma once
// Files for the hardening tests: a fresh folder per test (removed afterwards, read-only entries
// included), whole-file reads and writes, and a snapshot that tells whether a file changed.
#include <optional>
#include <string>

namespace quarnel::hardening {

class Folder {
  public:
    Folder();
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    std::string operator/(const std::string& name) const { return root_ + "/" + name; }
    const std::string& root() const { return root_; }

  private:
    std::string root_;
};

void WriteFile(const std::string& path, const std::string& bytes);
// The file's bytes, or nothing when it cannot be read as a regular file.
std::optional<std::string> ReadFile(const std::string& path);
bool Exists(const std::string& path);

}  // namespace quarnel::hardening
