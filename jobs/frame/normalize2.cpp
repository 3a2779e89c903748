#include "jobs/frame/quarnel.h"

// Kinds 0 and 1 both go to OnDataNormalize, which tells a binary grid from a text grid by its
// first bytes; kind 2 is a multi-grid file.
extern "C" QUARNEL_API int QUARNEL_CALL OnDataNormalize2(const char* inputFile, int inputKind,
                                                         const char* outputFile) {
    switch (inputKind) {
        case 0:
        case 1:
            return OnDataNormalize(inputFile, outputFile);
        case 2:
            return OnDataNormalizeHXF(inputFile, outputFile);
        default:
            return -1;
    }
}
