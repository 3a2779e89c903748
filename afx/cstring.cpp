#include "afx/cstring.h"

#include <algorithm>
#include <cstring>

namespace {

const char kWhiteSpace[] = " \t\n\v\f\r";

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::size_t ClampIndex(int index, std::size_t size) {
    if (index < 0) return 0;
    return std::min(static_cast<std::size_t>(index), size);
}

}  // namespace

CString::CString(const char* text) : text_(text != nullptr ? text : "") {}

CString::CString(const char* text, int length) {
    if (text != nullptr && length > 0) text_.assign(text, static_cast<std::size_t>(length));
}

char CString::GetAt(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= text_.size()) return 0;
    return text_[static_cast<std::size_t>(index)];
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft() {
    const std::size_t first = text_.find_first_not_of(kWhiteSpace);
    text_.erase(0, first == std::string::npos ? text_.size() : first);
    return *this;
}

CString& CString::TrimRight() {
    const std::size_t last = text_.find_last_not_of(kWhiteSpace);
    text_.erase(last == std::string::npos ? 0 : last + 1);
    return *this;
}

CString& CString::MakeUpper() {
    std::transform(text_.begin(), text_.end(), text_.begin(), AsciiUpper);
    return *this;
}

CString& CString::MakeLower() {
    std::transform(text_.begin(), text_.end(), text_.begin(), AsciiLower);
    return *this;
}

CString CString::Left(int count) const {
    return CString(text_.substr(0, ClampIndex(count, text_.size())));
}

CString CString::Right(int count) const {
    const std::size_t n = ClampIndex(count, text_.size());
    return CString(text_.substr(text_.size() - n));
}

CString CString::Mid(int first) const {
    return CString(text_.substr(ClampIndex(first, text_.size())));
}

CString CString::Mid(int first, int count) const {
    return CString(text_.substr(ClampIndex(first, text_.size()), ClampIndex(count, text_.size())));
}

int CString::Find(char c, int start) const {
    const std::size_t at = text_.find(c, ClampIndex(start, text_.size()));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* text, int start) const {
    if (text == nullptr) return -1;
    const std::size_t at = text_.find(text, ClampIndex(start, text_.size()));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Compare(const char* text) const {
    return std::strcmp(text_.c_str(), text != nullptr ? text : "");
}

int CString::CompareNoCase(const char* text) const {
    const char* a = text_.c_str();
    const char* b = text != nullptr ? text : "";
    for (;; ++a, ++b) {
        const auto ca = static_cast<unsigned char>(AsciiLower(*a));
        const auto cb = static_cast<unsigned char>(AsciiLower(*b));
        if (ca != cb || ca == 0) return ca - cb;
    }
}

CString& CString::operator+=(const CString& other) {
    text_ += other.text_;
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text != nullptr) text_ += text;
    return *this;
}

CString& CString::operator+=(char c) {
    text_ += c;
    return *this;
}

bool operator==(const CString& a, const CString& b) {
    return a.Compare(b) == 0;
}
bool operator==(const CString& a, const char* b) {
    return a.Compare(b) == 0;
}
bool operator==(const char* a, const CString& b) {
    return b.Compare(a) == 0;
}
bool operator!=(const CString& a, const CString& b) {
    return !(a == b);
}
bool operator!=(const CString& a, const char* b) {
    return !(a == b);
}
bool operator!=(const char* a, const CString& b) {
    return !(a == b);
}
bool operator<(const CString& a, const CString& b) {
    return a.Compare(b) < 0;
}

CString operator+(const CString& a, const CString& b) {
    CString sum(a);
    return sum += b;
}

CString operator+(const CString& a, const char* b) {
    CString sum(a);
    return sum += b;
}

CString operator+(const char* a, const CString& b) {
    CString sum(a);
    return sum += b;
}

CString operator+(const CString& a, char c) {
    CString sum(a);
    return sum += c;
}
