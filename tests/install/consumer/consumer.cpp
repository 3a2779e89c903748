// Uses the installed tree as another project would: one computation of the core, checked as data,
// then one job of the C library: consumer INPUT_GRID OUTPUT_GRID.
#include <quarnel/prep.h>
#include <quarnel/quarnel.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: consumer INPUT_GRID OUTPUT_GRID\n");
        return 2;
    }
    const double blank = 1.70141e38;
    const double top[] = {1.0, blank, 3.5};
    const double bottom[] = {-2.0, 5.0, blank};
    const double* const rows[] = {top, bottom};
    const quarnel::prep::ValueRange range = quarnel::prep::NonBlankRange(rows, 2, 3, blank);
    if (range.low != -2.0 || range.high != 5.0) {
        std::fprintf(stderr, "NonBlankRange gave %g..%g, not -2..5\n", range.low, range.high);
        return 1;
    }
    const int status = OnDataNormalize(argv[1], argv[2]);
    if (status != 1) {
        std::fprintf(stderr, "OnDataNormalize returned %d, not 1\n", status);
        return 1;
    }
    return 0;
}
