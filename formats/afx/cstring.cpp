#include "formats/afx/cstring.h"

#include <cstring>

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

CString::CString(const char* text) : text_(text != nullptr ? text : "") {}

CString::CString(const char* text, int length) {
    if (text != nullptr && length > 0) text_.assign(text, static_cast<std::size_t>(length));
}

char CString::GetAt(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < text_.size()
               ? text_[static_cast<std::size_t>(index)]
               : '\0';
}

CString& CString::TrimRight() {
    while (!text_.empty() && IsCSpace(text_.back())) text_.pop_back();
    return *this;
}

bool operator==(const CString& a, const CString& b) {
    return std::strcmp(a.GetString(), b.GetString()) == 0;
}

bool operator==(const CString& a, const char* b) {
    return std::strcmp(a.GetString(), b != nullptr ? b : "") == 0;
}

bool operator!=(const CString& a, const char* b) {
    return !(a == b);
}
