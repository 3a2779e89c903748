#include "formats/afx/stdio_file.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstring>
#include <string>

#include "formats/grid/input_file.h"

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

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

}  // namespace

CStdioFile::~CStdioFile() {
    Close();
}

bool CStdioFile::Open(const char* path, unsigned flags) {
    Close();
    if ((flags & modeWrite) != 0) return false;
    file_ = quarnel::OpenInputFile(path);
    if (file_ == nullptr) return false;
    buffer_.resize(kBufferSize);
    return true;
}

bool CStdioFile::FillBuffer() {
    begin_ = 0;
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    return end_ > 0;
}

bool CStdioFile::ReadString(CString& line) {
    line.Empty();
    if (file_ == nullptr || lineTooLong_) return false;
    std::string text;
    bool gotAny = false;
    while (begin_ < end_ || FillBuffer()) {
        gotAny = true;
        const char* start = buffer_.data() + begin_;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
        const std::size_t length = newline != nullptr ? std::size_t(newline - start) : end_ - begin_;
        if (text.size() + length > kMaxLineLength) {
            lineTooLong_ = true;
            return false;
        }
        text.append(start, length);
        begin_ += length;
        if (newline == nullptr) continue;
        ++begin_;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        break;
    }
    line = CString(text.data(), static_cast<int>(text.size()));
    return gotAny;
}

std::uint64_t CStdioFile::GetLength() const {
    return file_ != nullptr ? FileSize(file_) : 0;
}

void CStdioFile::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    buffer_.clear();
    buffer_.shrink_to_fit();
    begin_ = end_ = 0;
    lineTooLong_ = false;
}
