#pragma once
// The blank-separated token rule of the line-based text files (BP samples and networks, the
// line-by-line DSAA reader).
//
// GetNextToken drops the white space at the front of `rest`, then takes everything up to the
// first blank (0x20) as the token; `rest` keeps the blank and what follows it. Without a blank
// the token is all of `rest` and `rest` becomes empty. Only the blank separates: a tab between
// two numbers leaves both in one token. The returned view points into the caller's line.
#include <string_view>

namespace quarnel {

std::string_view GetNextToken(std::string_view& rest);

}  // namespace quarnel
