// The HXF multi-grid reader: open the bytes as an HXF file, read both records and every grid's
// identifier, and load every grid into an array of each element type; then the two jobs that
// read such files, outputs in the scratch folder. A file the reader takes must give arrays of
// exactly the recorded shape; a file it refuses must behave as handle 0; no job may change it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "jobs/frame/quarnel.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/job_inputs.h"
#include "formats/hxf/ihxf.h"
#include "formats/kor/cxarray.h"

namespace {

constexpr int kMaxGridsLoaded = 8;

template <class T>
void LoadAs(int handle, const char* id, short elementType, const HXFGridFileInfo& info) {
    CxArray<T> array(0, 0, ZT_STOR_ROWMAJOR);
    HXFLoadRequest request;
    request.elementType = elementType;
    request.storMode = ZT_STOR_ROWMAJOR;
    request.array = &array;
    if (LoadGridData(handle, id, &request) != HXF_OK) {
        if (array.Data() != nullptr) std::abort();
        return;
    }
    if (array.GetRows() != info.rows || array.GetCols() != info.cols) std::abort();
    volatile T sink{};
    sink = array.GetAt(info.rows - 1, info.cols - 1);
    (void)sink;
}

void LoadEveryType(int handle, const char* id, const HXFGridFileInfo& info) {
    LoadAs<char>(handle, id, HXF_CHAR, info);
    LoadAs<unsigned char>(handle, id, HXF_UCHAR, info);
    LoadAs<short>(handle, id, HXF_SHORT, info);
    LoadAs<unsigned short>(handle, id, HXF_USHORT, info);
    LoadAs<int>(handle, id, HXF_INT, info);
    LoadAs<float>(handle, id, HXF_FLOAT, info);
    LoadAs<double>(handle, id, HXF_DOUBLE, info);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarnel::fuzz::Scratch& scratch = quarnel::fuzz::Scratch::Fresh();
    const std::string path = scratch.Write("grids.hxf", data, size);
    int handle = GetHXFHandle(path.c_str());
    HXFGridFileInfo info;
    HXFGridGCSInfo gcs;
    const int infoStatus = GetGridFileInfo(handle, &info);
    GetGridGCSInfo(handle, &gcs);
    const int count = GetNumberOfGrid(handle);
    if (handle == 0 && (infoStatus == HXF_OK || count != 0)) std::abort();
    if (handle != 0 && (info.rows < 1 || info.cols < 1 || count != info.gridCount)) std::abort();
    for (int k = 1; k <= count && k <= kMaxGridsLoaded; ++k) {
        char id[32];
        if (GetGridID(handle, k, id, sizeof id) != HXF_OK || std::strlen(id) >= sizeof id) std::abort();
        LoadEveryType(handle, id, info);
    }
    CloseGridFile(&handle);
    if (handle != 0) std::abort();
    OnDataNormalizeHXF(path.c_str(), scratch.Path("dump").c_str());
    const std::string network = scratch.Write("network", quarnel::fuzz::kOneInputNetwork);
    OnBPClass(network.c_str(), scratch.Path("class").c_str(), (path + "*").c_str(), "2*");
    quarnel::fuzz::RequireUnchanged(path, data, size);
    return 0;
}
