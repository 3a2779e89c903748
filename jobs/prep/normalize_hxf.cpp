#include "jobs/prep/normalize_hxf.h"

#include "jobs/frame/quarnel.h"
#include "formats/grid/same_file.h"
#include "formats/grid/text_sink.h"
#include "formats/hxf/hxf_file.h"

namespace quarnel::prep {
namespace {

// One line per grid column, the column's values top row first. Only float grids have values
// to write; a grid of any other element type leaves its line breaks alone. False when a float
// grid's values cannot be loaded.
bool DumpGrid(const HxfFile& file, int index, const HXFGridFileInfo& info, TextSink& out) {
    CxArray<float> values(0, 0, ZT_STOR_ROWMAJOR);
    const int loaded = file.Load(file.GridId(index), HXF_FLOAT, values);
    if (info.elementType == HXF_FLOAT && loaded != HXF_OK) return false;
    for (int c = 0; c < info.cols; ++c) {
        if (info.elementType == HXF_FLOAT)
            for (int r = 0; r < info.rows; ++r) out.Print("%6.2f  ", values.GetAt(r, c));
        out.Put('\n');
    }
    return true;
}

HxfDumpResult Dump(const char* hxfFile, const char* outputFile) {
    // Writing the output would replace the multi-grid file about to be read.
    if (SameExistingFile(outputFile, hxfFile)) return {HxfDumpOutcome::names_input};
    HxfFile file(hxfFile);
    // A file that does not open as a multi-grid file has nothing to dump: no output is created.
    if (!file.IsOpen()) return {HxfDumpOutcome::not_hxf};
    const HXFGridFileInfo& info = file.info();
    HXFGridGCSInfo gcs{};
    GetGridGCSInfo(file.handle(), &gcs);
    const int count = file.GridCount();
    TextSink out;
    if (!out.Open(outputFile, kTextFileLineEnds)) return {HxfDumpOutcome::cannot_create};
    for (int k = 1; k <= count; ++k)
        if (!DumpGrid(file, k, info, out)) return {HxfDumpOutcome::grid_not_loaded, k};
    if (!out.Close()) return {HxfDumpOutcome::write_failed};
    return {HxfDumpOutcome::written, 0, count, info.rows, info.cols};
}

}  // namespace

HxfDumpResult DumpHxf(const char* hxfFile, const char* outputFile) noexcept {
    try {
        return Dump(hxfFile, outputFile);
    } catch (...) {
        return {HxfDumpOutcome::no_memory};
    }
}

const char* HxfDumpOutcomeText(HxfDumpOutcome outcome) {
    switch (outcome) {
        case HxfDumpOutcome::written:
            return "the dump was written";
        case HxfDumpOutcome::not_hxf:
            return "the file cannot be opened as a multi-grid file";
        case HxfDumpOutcome::names_input:
            return "the output names the multi-grid file";
        case HxfDumpOutcome::cannot_create:
            return "the output cannot be created";
        case HxfDumpOutcome::grid_not_loaded:
            return "a grid's values cannot be loaded; no dump was written";
        case HxfDumpOutcome::write_failed:
            return "the dump could not be written whole; no dump was written";
        case HxfDumpOutcome::no_memory:
            return "memory ran out";
    }
    return "unknown";
}

}  // namespace quarnel::prep

extern "C" QUARNEL_API int QUARNEL_CALL OnDataNormalizeHXF(const char* hxfFile, const char* outputFile) {
    quarnel::prep::DumpHxf(hxfFile, outputFile);
    return 0;
}
