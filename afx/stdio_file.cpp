#include "afx/stdio_file.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "grid/input_file.h"

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

std::int64_t TellFile(std::FILE* f) {
#if defined(_WIN32)
    return _ftelli64(f);
#else
    return ftello(f);
#endif
}

bool SeekFile(std::FILE* f, std::uint64_t offset) {
#if defined(_WIN32)
    return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::uint64_t FileSize(std::FILE* f) {
#if defined(_WIN32)
    struct _stati64 info;
    if (_fstati64(_fileno(f), &info) != 0) return 0;
#else
    struct stat info;
    if (fstat(fileno(f), &info) != 0) return 0;
#endif
    return info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

const char* FopenMode(unsigned flags) {
    const unsigned access = flags & (CFile::modeWrite | CFile::modeReadWrite);
    if ((flags & CFile::modeCreate) == 0) return access == CFile::modeRead ? "rb" : "r+b";
    return access == CFile::modeWrite ? "wb" : "w+b";
}

void Report(CFileException* error, int osError) {
    if (error == nullptr) return;
    error->m_lOsError = osError;
    switch (osError) {
        case ENOENT:
            error->m_cause = CFileException::fileNotFound;
            break;
        case EACCES:
        case EPERM:
            error->m_cause = CFileException::accessDenied;
            break;
        default:
            error->m_cause = CFileException::genericException;
    }
}

}  // namespace

CStdioFile::~CStdioFile() {
    Close();
}

bool CStdioFile::Open(const char* path, unsigned flags, CFileException* error) {
    Close();
    if (path == nullptr) {
        Report(error, ENOENT);
        return false;
    }
    const bool keepContents = (flags & modeCreate) != 0 && (flags & modeNoTruncate) != 0;
    errno = 0;
    const bool readOnly = !keepContents && (flags & (modeCreate | modeWrite | modeReadWrite)) == 0;
    file_ =
        readOnly ? quarnel::OpenInputFile(path) : std::fopen(path, keepContents ? "r+b" : FopenMode(flags));
    if (file_ == nullptr && readOnly && errno == 0) errno = EINVAL;
    if (file_ == nullptr && keepContents && errno == ENOENT) file_ = std::fopen(path, "w+b");
    if (file_ == nullptr) {
        Report(error, errno);
        return false;
    }
    buffer_.resize(kBufferSize);
    if (error != nullptr) *error = CFileException();
    return true;
}

bool CStdioFile::FillBuffer() {
    if (writing_) {
        // Switching from writing to reading needs a positioning call on the stream.
        std::fflush(file_);
        writing_ = false;
    }
    const std::int64_t at = TellFile(file_);
    if (at < 0) return false;
    bufferOffset_ = static_cast<std::uint64_t>(at);
    begin_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    reading_ = true;
    return end_ > 0;
}

bool CStdioFile::ReadString(CString& line) {
    line.Empty();
    if (file_ == nullptr) return false;
    if (lineTooLong_) return false;
    std::string text;
    bool gotAny = false;
    while (begin_ < end_ || FillBuffer()) {
        gotAny = true;
        const char* start = buffer_.data() + begin_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
        if (newline == nullptr) {
            if (text.size() + (end_ - begin_) > kMaxLineLength) {
                lineTooLong_ = true;
                return false;
            }
            text.append(start, end_ - begin_);
            begin_ = end_;
            continue;
        }
        if (text.size() + std::size_t(newline - start) > kMaxLineLength) {
            lineTooLong_ = true;
            return false;
        }
        text.append(start, static_cast<std::size_t>(newline - start));
        begin_ += static_cast<std::size_t>(newline - start) + 1;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        break;
    }
    line = CString(text.data(), static_cast<int>(text.size()));
    return gotAny;
}

void CStdioFile::LeaveReading() {
    if (!reading_) return;
    // The stream stands at the end of the buffer; put it back where the reader stopped.
    if (!SeekFile(file_, bufferOffset_ + begin_)) writeFailed_ = true;
    begin_ = end_ = 0;
    reading_ = false;
}

bool CStdioFile::WriteString(const char* text) {
    if (file_ == nullptr || text == nullptr) return false;
    LeaveReading();
    writing_ = true;
    const std::size_t length = std::strlen(text);
    if (std::fwrite(text, 1, length, file_) != length) writeFailed_ = true;
    return !writeFailed_;
}

std::uint64_t CStdioFile::GetPosition() const {
    if (file_ == nullptr) return 0;
    if (reading_) return bufferOffset_ + begin_;
    const std::int64_t at = TellFile(file_);
    return at > 0 ? static_cast<std::uint64_t>(at) : 0;
}

std::uint64_t CStdioFile::GetLength() const {
    if (file_ == nullptr) return 0;
    if (writing_) std::fflush(file_);
    return FileSize(file_);
}

bool CStdioFile::Close() {
    if (file_ == nullptr) return true;
    const bool flushed = std::fclose(file_) == 0;
    file_ = nullptr;
    const bool ok = flushed && !writeFailed_;
    buffer_.clear();
    buffer_.shrink_to_fit();
    begin_ = end_ = 0;
    bufferOffset_ = 0;
    reading_ = writing_ = writeFailed_ = lineTooLong_ = false;
    return ok;
}
