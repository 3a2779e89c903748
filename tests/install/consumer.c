/* A C program built against the installed library through pkg-config: one job,
 * consumer_c INPUT_GRID OUTPUT_GRID. */
#include <quarnel/quarnel.h>
#include <stdio.h>

int main(int argc, char** argv) {
    int status;
    if (argc != 3) {
        fprintf(stderr, "usage: consumer_c INPUT_GRID OUTPUT_GRID\n");
        return 2;
    }
    status = OnDataNormalize(argv[1], argv[2]);
    if (status != 1) {
        fprintf(stderr, "OnDataNormalize returned %d, not 1\n", status);
        return 1;
    }
    return 0;
}
