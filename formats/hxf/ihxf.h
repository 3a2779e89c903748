#pragma once
// Multi-grid (HXF) files: several named grids of one shape and one element type in one file
// (layout in formats/hxf/FORMAT.md).
//
// A file is opened into a 32-bit handle; 0 is never a valid handle. GetHXFHandle gives 0 for a
// file that cannot be opened or fails any check of its layout, and every call on 0, on a closed
// or on an unknown handle is safe: records come back zeroed, the grid count is 0 and loads fail
// leaving the array empty. Calls that return a status return HXF_OK (0) or one of the HXF_ERR_
// codes. The calls serialise on one lock, so handles may be used from several threads.
//
// LoadGridData converts each value from the file's element type to the request's: integers to
// floating point by the nearest representable value; floating point to integers truncated toward
// zero and saturated at the type's limits, NaN giving 0; integers to narrower integers saturated;
// double to float rounded to nearest, beyond float's range to an infinity of the same sign.
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#if defined(IHXF_BUILDING)
#define IHXF_API __declspec(dllexport)
#else
#define IHXF_API __declspec(dllimport)
#endif
#else
#define IHXF_API __attribute__((visibility("default")))
#endif

// Element types; the request's array is a CxArray<T> of the matching T.
enum : short {
    HXF_CHAR = 1,     // char
    HXF_UCHAR = 2,    // unsigned char
    HXF_SHORT = 3,    // short
    HXF_USHORT = 4,   // unsigned short
    HXF_INT = 5,      // int (32-bit)
    HXF_LONG = 6,     // int (32-bit)
    HXF_FLOAT = 17,   // float
    HXF_DOUBLE = 18,  // double
};

enum : int {
    HXF_OK = 0,
    HXF_ERR_HANDLE = 1,     // handle 0, closed or unknown
    HXF_ERR_ARGUMENT = 2,   // null pointer, bad size, index or element type, id too long
    HXF_ERR_NOT_FOUND = 3,  // no grid of that id
    HXF_ERR_IO = 4,         // the file could not be read or written in full
    HXF_ERR_MEMORY = 5,     // the array could not be sized
};

// The file record: what all grids of a file share.
struct HXFGridFileInfo {
    std::int16_t version;
    std::int16_t elementType;
    std::int32_t rows;
    std::int32_t cols;
    std::int32_t gridCount;
};
static_assert(offsetof(HXFGridFileInfo, elementType) == 2);
static_assert(offsetof(HXFGridFileInfo, rows) == 4);
static_assert(offsetof(HXFGridFileInfo, cols) == 8);

// The coordinate-system record; code 0 means "no coordinate system recorded".
struct HXFGridGCSInfo {
    std::int32_t code;
    std::int32_t reserved;
    double originX;
    double originY;
    double cellWidth;
    double cellHeight;
};
static_assert(sizeof(HXFGridGCSInfo) == 40);

// A load request. Callers leave the first 8 bytes unset, so the library never reads them.
// The storage mode is passed on to nothing: every array stores its values the same way.
struct HXFLoadRequest {
    std::int32_t unused[2];
    std::int16_t elementType;
    std::int16_t storMode;
    void* array;  // CxArray<T>* for the T of elementType
};
static_assert(offsetof(HXFLoadRequest, elementType) == 8);
static_assert(offsetof(HXFLoadRequest, storMode) == 10);
static_assert(offsetof(HXFLoadRequest, array) == (sizeof(void*) == 4 ? 12 : 16));

extern "C" {

// Handle of the opened file, or 0.
IHXF_API int GetHXFHandle(const char* path);
IHXF_API int GetGridFileInfo(int handle, HXFGridFileInfo* info);
IHXF_API int GetGridGCSInfo(int handle, HXFGridGCSInfo* gcs);
IHXF_API int GetNumberOfGrid(int handle);
// Identifier of grid `index` (1 .. count) into id[0 .. size-1], cut to size - 1 characters;
// an empty string on failure.
IHXF_API int GetGridID(int handle, int index, char* id, int size);
// Sizes the request's array to rows × cols and fills it with the grid `id`, value (r, c) at
// GetAt(r, c). On failure the array is left empty (unless its type is unknown: then untouched).
IHXF_API int LoadGridData(int handle, const char* id, HXFLoadRequest* request);
// Closes the file and sets *handle to 0.
IHXF_API int CloseGridFile(int* handle);

// Writes gridCount grids of rows × cols values of elementType; gridValues[g] holds grid g row-major,
// value (r, c) at r * cols + c. Identifiers have 1 to 31 characters and differ from each other.
// Every argument is checked before the file is created; a file left incomplete by a failed
// write is removed. 0 on success, else an HXF_ERR_ code.
IHXF_API int WriteHXFFile(const char* path, int elementType, int rows, int cols, int gridCount,
                          const char* const* gridIds, const void* const* gridValues);
}
