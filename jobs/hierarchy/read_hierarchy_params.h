#pragma once
// Reading the hierarchy parameter file: a stream of white-space separated tokens, the keyword
// "QELFrmDECOMPOSE", the target kind, four presence values, then for each present level its
// importance, its element count and that many "name importance file" entries, then the output
// and the report file names. Nothing after the report file name is read.
#include <string>

#include "jobs/hierarchy/hierarchy_params.h"

namespace quarnel {

// Fills params from the file at path and closes it. Returns 0; 3000 when the file cannot be
// opened; 3056 when its first token is not the keyword; 3900 when a token is missing, does not
// parse or is longer than its field, or an element count lies outside 0..10. No field is ever
// written past its capacity. On failure, cause (when given) names the file, what was read and the
// byte offset where it failed.
int ReadHierarchyParams(const char* path, HierarchyParams& params, std::string* cause = nullptr);

}  // namespace quarnel
