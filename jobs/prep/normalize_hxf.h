#pragma once
// The dump of a multi-grid file (OnDataNormalizeHXF): every grid's values as text, one line per
// grid column. The export's status is 0 whatever happens; hosts that must tell a written dump
// from a failed one call DumpHxf, which says what happened. The dump is put in place only
// when it was written whole.
namespace quarnel::prep {

enum class HxfDumpOutcome {
    written,
    not_hxf,          // the file cannot be opened as a multi-grid file
    names_input,      // the output names the multi-grid file
    cannot_create,    // the output cannot be created
    grid_not_loaded,  // a float grid's values could not be loaded
    write_failed,     // the dump could not be written whole (a full disk)
    no_memory,
};

struct HxfDumpResult {
    HxfDumpOutcome outcome = HxfDumpOutcome::written;
    int grid = 0;   // for grid_not_loaded: the grid's position in the file, from 1
    int grids = 0;  // for written: the grids in the file, each grid's rows and columns
    int rows = 0;
    int cols = 0;
};

HxfDumpResult DumpHxf(const char* hxfFile, const char* outputFile) noexcept;

const char* HxfDumpOutcomeText(HxfDumpOutcome outcome);

}  // namespace quarnel::prep
