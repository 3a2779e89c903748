#pragma once
// One-line meanings of the preparation jobs' statuses, for hosts that show them to a user.
// The status tables of docs/statuses.md say the same.

namespace quarnel::prep {

const char* NormalizeStatusText(int status);
const char* Normalize2StatusText(int status);
const char* NormalizeHxfStatusText(int status);
const char* CalAvgVarStatusText(int status);

}  // namespace quarnel::prep
