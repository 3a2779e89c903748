#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace quarnel::fuzz {

namespace fs = std::filesystem;

namespace {

std::string TempRoot() {
    const char* root = std::getenv("TMPDIR");
    return root != nullptr && root[0] != '\0' ? root : "/tmp";
}

}  // namespace

Scratch::Scratch() {
    std::string pattern = TempRoot() + "/quarnel-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("quarnel fuzz: cannot create a scratch folder");
        std::abort();
    }
    folder_ = pattern;
}

Scratch::~Scratch() {
    std::error_code error;
    fs::remove_all(folder_, error);
}

Scratch& Scratch::Fresh() {
    static Scratch scratch;
    scratch.Empty();
    return scratch;
}

void Scratch::Empty() const {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_, error)) {
        fs::remove_all(entry.path(), error);
    }
}

std::string Scratch::Path(std::string_view name) const {
    return folder_ + "/" + std::string(name);
}

std::string Scratch::Write(std::string_view name, const std::uint8_t* data, std::size_t size) const {
    std::string path = Path(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        std::perror("quarnel fuzz: cannot write the input file");
        std::abort();
    }
    return path;
}

std::string Scratch::Write(std::string_view name, std::string_view text) const {
    return Write(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void Scratch::Enter() const {
    if (chdir(folder_.c_str()) != 0) {
        std::perror("quarnel fuzz: cannot enter the scratch folder");
        std::abort();
    }
}

bool NamesOtherFolders(const std::uint8_t* data, std::size_t size) {
    return size > 0 && std::memchr(data, '/', size) != nullptr;
}

void RequireUnchanged(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ifstream in(path, std::ios::binary);
    const std::string now{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.is_open() || now.size() != size || (size > 0 && std::memcmp(now.data(), data, size) != 0)) {
        std::fprintf(stderr, "quarnel fuzz: the job changed its input %s\n", path.c_str());
        std::abort();
    }
}

}  // namespace quarnel::fuzz
