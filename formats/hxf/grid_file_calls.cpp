// Opening, describing and closing HXF files.
#include <algorithm>
#include <cstring>

#include "formats/hxf/ihxf.h"
#include "formats/hxf/open_files.h"

using hxf::FindOpenFile;
using hxf::LockOpenFiles;

extern "C" IHXF_API int GetHXFHandle(const char* path) {
    try {
        auto open = hxf::OpenHxfFile(path);
        if (!open) return 0;
        const auto lock = LockOpenFiles();
        return hxf::AddOpenFile(std::move(open));
    } catch (...) {
        return 0;
    }
}

extern "C" IHXF_API int GetGridFileInfo(int handle, HXFGridFileInfo* info) {
    if (info == nullptr) return HXF_ERR_ARGUMENT;
    *info = HXFGridFileInfo{};
    const auto lock = LockOpenFiles();
    const hxf::OpenFile* open = FindOpenFile(handle);
    if (open == nullptr) return HXF_ERR_HANDLE;
    info->version = static_cast<std::int16_t>(hxf::kVersion);
    info->elementType = open->header.elementType;
    info->rows = open->header.rows;
    info->cols = open->header.cols;
    info->gridCount = open->header.gridCount;
    return HXF_OK;
}

extern "C" IHXF_API int GetGridGCSInfo(int handle, HXFGridGCSInfo* gcs) {
    if (gcs == nullptr) return HXF_ERR_ARGUMENT;
    *gcs = HXFGridGCSInfo{};
    const auto lock = LockOpenFiles();
    const hxf::OpenFile* open = FindOpenFile(handle);
    if (open == nullptr) return HXF_ERR_HANDLE;
    *gcs = open->header.gcs;
    return HXF_OK;
}

extern "C" IHXF_API int GetNumberOfGrid(int handle) {
    const auto lock = LockOpenFiles();
    const hxf::OpenFile* open = FindOpenFile(handle);
    return open == nullptr ? 0 : open->header.gridCount;
}

extern "C" IHXF_API int GetGridID(int handle, int index, char* id, int size) {
    if (id == nullptr || size <= 0) return HXF_ERR_ARGUMENT;
    id[0] = '\0';
    const auto lock = LockOpenFiles();
    const hxf::OpenFile* open = FindOpenFile(handle);
    if (open == nullptr) return HXF_ERR_HANDLE;
    if (index < 1 || index > open->header.gridCount) return HXF_ERR_ARGUMENT;
    const char* stored = open->ids[static_cast<std::size_t>(index - 1)].data();
    const std::size_t length = std::min(std::strlen(stored), static_cast<std::size_t>(size - 1));
    std::memcpy(id, stored, length);
    id[length] = '\0';
    return HXF_OK;
}

extern "C" IHXF_API int CloseGridFile(int* handle) {
    if (handle == nullptr) return HXF_ERR_ARGUMENT;
    const auto lock = LockOpenFiles();
    const bool known = hxf::RemoveOpenFile(*handle);
    *handle = 0;
    return known ? HXF_OK : HXF_ERR_HANDLE;
}
