#include "workflow/output_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "formats/grid/text_sink.h"
#include "workflow/reader.h"

namespace quarnel::workflow {

namespace fs = std::filesystem;

namespace {

fs::path MakeFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw WorkflowError(folder.string() + ": cannot be made a folder (" +
                            (error ? error.message() : "something else is there") + ")");
    return folder;
}

std::string ReadHolder(int fd) {
    char text[32] = {};
    const ssize_t got = pread(fd, text, sizeof text - 1, 0);
    std::string holder(text, got > 0 ? std::size_t(got) : 0);
    while (!holder.empty() && (holder.back() == '\n' || holder.back() == ' ')) holder.pop_back();
    return holder.empty() ? "unknown" : holder;
}

}  // namespace

OutputFolder::OutputFolder(const fs::path& folder) : folder_(MakeFolder(folder)) {
    const fs::path lock = folder_ / ".quarnel-run.lock";
    lock_ = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock_ < 0) throw WorkflowError(lock.string() + ": cannot be opened (" + std::strerror(errno) + ")");
    if (flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        const std::string holder = ReadHolder(lock_);
        close(lock_);
        lock_ = -1;
        throw WorkflowError(folder_.string() + ": is in use by the run of process " + holder +
                            "; wait for it to end or choose another output folder");
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(lock_, 0) != 0 || pwrite(lock_, pid.data(), pid.size(), 0) != ssize_t(pid.size())) {
        close(lock_);
        throw WorkflowError(lock.string() + ": cannot be written (" + std::strerror(errno) + ")");
    }
}

OutputFolder::~OutputFolder() {
    if (lock_ >= 0) close(lock_);  // closing the descriptor ends the lock
}

fs::path OutputFolder::Place(const fs::path& relative) const {
    fs::path path = folder_ / relative;
    MakeFolder(relative.has_extension() ? path.parent_path() : path);
    return path;
}

void OutputFolder::Withdraw(const std::vector<fs::path>& files) const {
    for (const fs::path& file : files) {
        std::error_code error;
        fs::remove(folder_ / file, error);
        if (error)
            throw WorkflowError((folder_ / file).string() + ": cannot be removed (" + error.message() + ")");
    }
}

void WriteWhole(const fs::path& path, const std::string& text) {
    TextSink sink;
    if (!sink.Open(path.c_str())) throw WorkflowError(path.string() + ": cannot be created");
    sink.Put(text);
    if (!sink.Close()) throw WorkflowError(path.string() + ": cannot be written");
}

}  // namespace quarnel::workflow
