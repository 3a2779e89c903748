#include "formats/grid/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quarnel {

#if defined(_WIN32)
std::FILE* OpenInputFile(const char* path) {
    if (path == nullptr) return nullptr;
    std::FILE* file = std::fopen(path, "rb");
    struct _stati64 info;
    if (file != nullptr && (_fstati64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}
#else
std::FILE* OpenInputFile(const char* path) {
    if (path == nullptr) return nullptr;
    // Non-blocking, so that a FIFO without a writer is refused instead of waiting for one.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!regular || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "rb");
    if (file == nullptr) close(fd);
    return file;
}
#endif

}  // namespace quarnel
