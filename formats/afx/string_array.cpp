#include "formats/afx/string_array.h"

namespace {

bool InRange(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

}  // namespace

int CStringArray::Add(const CString& text) {
    items_.push_back(text);
    return GetSize() - 1;
}

const CString& CStringArray::GetAt(int index) const {
    static const CString kNone;
    return InRange(index, items_.size()) ? items_[static_cast<std::size_t>(index)] : kNone;
}
