#pragma once
// The library writes its reports in GBK (code page 936); a terminal wants UTF-8. Conversion goes
// through the C library's iconv. A byte sequence that is not GBK becomes U+FFFD and conversion
// goes on, so a damaged or truncated report still prints.
#include <ostream>
#include <string>
#include <string_view>

namespace quarnel::cli {

std::string GbkToUtf8(std::string_view gbk);

// The file at path converted onto out a block at a time (memory stays flat however long it is),
// ending with a line feed; false when it cannot be opened or read.
bool PrintGbkFile(const char* path, std::ostream& out);

}  // namespace quarnel::cli
