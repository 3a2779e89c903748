#include "frame/quarnel.h"
#include "grid/same_file.h"
#include "grid/text_sink.h"
#include "prep/hxf_grid.h"
#include "prep/job_guard.h"

namespace quarnel::prep {
namespace {

// Closes the multi-grid file on every return path.
class HxfFile {
  public:
    explicit HxfFile(const char* path) : handle_(GetHXFHandle(path)) {}
    ~HxfFile() { CloseGridFile(&handle_); }
    HxfFile(const HxfFile&) = delete;
    HxfFile& operator=(const HxfFile&) = delete;
    int handle() const { return handle_; }

  private:
    int handle_;
};

// One line per grid column, the column's values top row first. Only float grids have values
// to write; a grid of any other element type leaves its line breaks alone.
void DumpGrid(int handle, int index, const HXFGridFileInfo& info, TextSink& out) {
    char id[32] = {};
    GetGridID(handle, index, id, sizeof id);
    CxArray<float> values(0, 0, ZT_STOR_ROWMAJOR);
    LoadHxfGrid(handle, id, HXF_FLOAT, values);
    for (int c = 0; c < info.cols; ++c) {
        if (info.elementType == HXF_FLOAT)
            for (int r = 0; r < info.rows; ++r) out.Print("%6.2f  ", values.GetAt(r, c));
        out.Put('\n');
    }
}

int DumpHxf(const char* hxfFile, const char* outputFile) {
    // Creating the output would truncate the multi-grid file about to be read.
    if (SameExistingFile(outputFile, hxfFile)) return 0;
    HxfFile file(hxfFile);
    // A file that does not open as a multi-grid file has nothing to dump: no output is created.
    if (file.handle() == 0) return 0;
    HXFGridFileInfo info{};
    HXFGridGCSInfo gcs{};
    GetGridFileInfo(file.handle(), &info);
    GetGridGCSInfo(file.handle(), &gcs);
    const int count = GetNumberOfGrid(file.handle());
    TextSink out;
    if (!out.Open(outputFile, kTextFileLineEnds)) return 0;
    for (int k = 1; k <= count; ++k) DumpGrid(file.handle(), k, info, out);
    out.Close();
    return 0;
}

}  // namespace
}  // namespace quarnel::prep

extern "C" QUARNEL_API int QUARNEL_CALL OnDataNormalizeHXF(const char* hxfFile, const char* outputFile) {
    return quarnel::prep::GuardJob(0, [&] { return quarnel::prep::DumpHxf(hxfFile, outputFile); });
}
