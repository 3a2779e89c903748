#pragma once
// Loading one grid of an open multi-grid file into a typed array, as the multi-grid library's
// request record wants it (storage mode 2).
#include "hxf/ihxf.h"
#include "kor/cxarray.h"

namespace quarnel::prep {

// elementType is the request's type and must match T (HXF_FLOAT for float, HXF_DOUBLE for double).
// Returns the library's status; on failure the array is empty.
template <class T>
int LoadHxfGrid(int handle, const char* id, short elementType, CxArray<T>& array) {
    HXFLoadRequest request{};
    request.elementType = elementType;
    request.storMode = ZT_STOR_ROWMAJOR;
    request.array = &array;
    return LoadGridData(handle, id, &request);
}

}  // namespace quarnel::prep
