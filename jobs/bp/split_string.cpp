#include "jobs/bp/split_string.h"

#include <string_view>

namespace quarnel {

void SplitString(const CString& text, char separator, CStringArray* out) {
    std::string_view rest(text.GetString(), std::size_t(text.GetLength()));
    for (std::size_t end = rest.find(separator); end != std::string_view::npos; end = rest.find(separator)) {
        out->Add(CString(rest.data(), int(end)));
        rest.remove_prefix(end + 1);
    }
}

}  // namespace quarnel
