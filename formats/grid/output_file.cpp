#include "formats/grid/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

#include "formats/grid/native_path.h"
#include "formats/grid/same_file.h"

namespace quarnel {

namespace fs = std::filesystem;

namespace {

fs::path FolderOf(const fs::path& file) {
    const fs::path folder = file.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

constexpr const char* kPartSuffix = ".part";

unsigned long ProcessId() {
#if defined(_WIN32)
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

// A name for a temporary file beside `final`, different for every call in every process:
// "." + the final name + "." + process id + "-" + random + "-" + count + ".part".
fs::path TemporaryName(const fs::path& final) {
    static std::atomic<unsigned> calls{0};
    thread_local std::mt19937_64 random(
        std::random_device{}() ^ std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::string tag = ".";
    tag.append(std::to_string(ProcessId())).append("-");
    tag.append(std::to_string(random() % 1000000000000ULL)).append("-");
    tag.append(std::to_string(++calls)).append(kPartSuffix);
    // Built in the system's own path characters, so a GBK name survives on Windows.
    fs::path name(".");
    name += final.filename().native();
    name += tag;
    return FolderOf(final) / name;
}

}  // namespace

#if defined(_WIN32)

namespace {

// Windows has no unnamed files: a fresh name in the final file's folder, created exclusively.
std::FILE* CreateTemporary(const fs::path& final, fs::path& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryName(final);
        const HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            break;
        }
        CloseHandle(h);
        if (std::FILE* stream = _wfopen(temporary.c_str(), L"wb")) return stream;
        DeleteFileW(temporary.c_str());
        break;
    }
    temporary.clear();
    return nullptr;
}

bool MayReplace(const fs::path& final, bool& direct, int& mode) {
    const DWORD attributes = GetFileAttributesW(final.c_str());
    direct = false;
    mode = -1;
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

bool Rename(const fs::path& from, const fs::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void Remove(const fs::path& file) {
    DeleteFileW(file.c_str());
}

void KeepMode(std::FILE*, int) {}

std::FILE* OpenDirect(const fs::path& final) {
    return _wfopen(final.c_str(), L"wb");
}

// Windows names its temporary files from the start and removes them on every path but a kill.
void SweepAbandoned(const fs::path&) {}

#else

namespace {

std::FILE* Stream(int fd) {
    if (fd < 0) return nullptr;
    std::FILE* stream = fdopen(fd, "wb");
    if (stream == nullptr) close(fd);
    return stream;
}

std::FILE* CreateTemporary(const fs::path& final, fs::path& temporary) {
    temporary.clear();
#if defined(O_TMPFILE)
    if (std::FILE* stream = Stream(open(FolderOf(final).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)))
        return stream;
#endif
    // No unnamed files here (an older kernel or a file system without them): a fresh name.
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryName(final);
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return Stream(fd);
        if (errno != EEXIST) break;
    }
    temporary.clear();
    return nullptr;
}

// A regular file or a new one is replaced; something else is written in place, as long as it
// may be written. mode: the permission bits of an existing file, -1 for a new one.
bool MayReplace(const fs::path& final, bool& direct, int& mode) {
    struct stat info;
    direct = false;
    mode = -1;
    if (stat(final.c_str(), &info) != 0) return errno == ENOENT;
    if (S_ISDIR(info.st_mode)) return false;
    direct = !S_ISREG(info.st_mode);
    mode = int(info.st_mode & 07777);
    return access(final.c_str(), W_OK) == 0;
}

bool Rename(const fs::path& from, const fs::path& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

void Remove(const fs::path& file) {
    unlink(file.c_str());
}

// The new file takes the permission bits of the file it replaces, as writing into it would have.
void KeepMode(std::FILE* stream, int mode) {
    if (mode >= 0) fchmod(fileno(stream), mode_t(mode));
}

std::FILE* OpenDirect(const fs::path& final) {
    return std::fopen(final.c_str(), "wb");
}

// A job killed in the moment between naming its file and renaming it leaves the name behind;
// the next job writing the same path removes such files of processes that no longer exist.
void SweepAbandoned(const fs::path& final) {
    std::string prefix = ".";
    prefix.append(final.filename().string()).append(".");
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(FolderOf(final), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() + 5 || name.compare(0, prefix.size(), prefix) != 0 ||
            !name.ends_with(kPartSuffix))
            continue;
        const unsigned long pid = std::strtoul(name.c_str() + prefix.size(), nullptr, 10);
        if (pid != 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH) unlink(entry.path().c_str());
    }
}

// Gives an unnamed temporary file a fresh name beside the final file.
bool NameUnnamed(std::FILE* stream, const fs::path& final, fs::path& temporary) {
    const std::string self = "/proc/self/fd/" + std::to_string(fileno(stream));
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryName(final);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        if (errno != EEXIST) break;
    }
    temporary.clear();
    return false;
}

#endif

}  // namespace

bool OutputFile::Create(const char* path) {
    Discard();
    if (path == nullptr || *path == '\0') return false;
    const fs::path named = NativePath(path);
    if (named.empty()) return false;
    final_ = FollowLinks(named);
    int mode = -1;
    if (!MayReplace(final_, direct_, mode)) return false;
    if (!direct_) SweepAbandoned(final_);
    stream_ = direct_ ? OpenDirect(final_) : CreateTemporary(final_, temporary_);
    if (stream_ != nullptr && !direct_) KeepMode(stream_, mode);
    failed_ = false;
    return stream_ != nullptr;
}

bool OutputFile::Finish() {
    if (stream_ == nullptr) return false;
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) failed_ = true;
    return !failed_;
}

bool OutputFile::Commit() {
    const bool placed = Finish() && Place();
    if (!placed) Discard();
    return placed;
}

bool OutputFile::Place() {
    if (direct_) {
        const bool closed = std::fclose(stream_) == 0;
        stream_ = nullptr;
        return closed;
    }
#if defined(_WIN32)
    // Windows renames only a closed file.
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!closed || !Rename(temporary_, final_)) return false;
#else
    // Named and renamed in two calls back to back: the name exists only between them.
    if (temporary_.empty() && !NameUnnamed(stream_, final_, temporary_)) return false;
    if (!Rename(temporary_, final_)) return false;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!closed) return false;
#endif
    temporary_.clear();
    return true;
}

void OutputFile::Discard() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!temporary_.empty()) Remove(temporary_);
    temporary_.clear();
}

}  // namespace quarnel
