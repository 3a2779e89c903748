#pragma once
// An open multi-grid (HXF) file for the jobs and the host: opened by the constructor, closed on
// every path out. A file that does not open leaves IsOpen() false and every query unasked.
// Load brings one grid into a typed array as the library's request record wants it (storage
// mode 2); elementType is the request's type and must match T (HXF_FLOAT for float, HXF_DOUBLE
// for double, any other stored type being converted by the library). It returns the library's
// status; on failure the array is empty.
#include <string>

#include "formats/hxf/ihxf.h"
#include "formats/kor/cxarray.h"

namespace quarnel {

class HxfFile {
  public:
    explicit HxfFile(const char* path) : handle_(GetHXFHandle(path)) {
        if (handle_ != 0) GetGridFileInfo(handle_, &info_);
    }
    ~HxfFile() {
        if (handle_ != 0) CloseGridFile(&handle_);
    }
    HxfFile(const HxfFile&) = delete;
    HxfFile& operator=(const HxfFile&) = delete;

    bool IsOpen() const { return handle_ != 0; }
    int handle() const { return handle_; }
    const HXFGridFileInfo& info() const { return info_; }
    int GridCount() const { return GetNumberOfGrid(handle_); }

    // The id of grid k, counted from 1.
    std::string GridId(int k) const {
        char id[kGridIdSize] = {};
        GetGridID(handle_, k, id, kGridIdSize);
        return id;
    }

    template <class T>
    int Load(const std::string& id, short elementType, CxArray<T>& array) const {
        HXFLoadRequest request{};
        request.elementType = elementType;
        request.storMode = ZT_STOR_ROWMAJOR;
        request.array = &array;
        return LoadGridData(handle_, id.c_str(), &request);
    }

  private:
    static constexpr int kGridIdSize = 32;

    int handle_;
    HXFGridFileInfo info_{};
};

}  // namespace quarnel
