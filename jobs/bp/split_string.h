#pragma once
// "*"-terminated lists of the classification job's arguments.
//
// SplitString appends to *out every piece of text that ends with separator: the text from the
// previous separator (or the start) up to, not including, this one. Two separators in a row
// give an empty piece; text after the last separator is not appended.
#include "formats/afx/cstring.h"
#include "formats/afx/string_array.h"

namespace quarnel {

void SplitString(const CString& text, char separator, CStringArray* out);

}  // namespace quarnel
