#include "formats/grid/next_token.h"

namespace quarnel {

std::string_view GetNextToken(std::string_view& rest) {
    std::size_t start = rest.find_first_not_of(" \t\r\n\v\f");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    std::size_t blank = rest.find(' ');
    std::string_view token = rest.substr(0, blank);
    rest.remove_prefix(token.size());
    return token;
}

}  // namespace quarnel
