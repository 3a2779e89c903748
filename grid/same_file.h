#pragma once
// Whether two paths name one existing file (the same file reached through different spellings
// or links counts too). Jobs use it so that an output path never overwrites one of their inputs.
// False when either path does not exist or cannot be examined.
namespace quarnel {

bool SameExistingFile(const char* a, const char* b);

}  // namespace quarnel
