#pragma once
// The library's jobs. Each is one whole job: paths in, files out, an int status back.
// Paths are NUL-terminated 8-bit strings in the system code page, handed unchanged to the
// file-opening calls.
#if defined(_WIN32)
#define QUARNEL_API __declspec(dllexport)
#define QUARNEL_CALL __cdecl
#else
#define QUARNEL_API __attribute__((visibility("default")))
#define QUARNEL_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

QUARNEL_API int QUARNEL_CALL OnDataNormalize(const char* inputFile, const char* outputFile);
QUARNEL_API int QUARNEL_CALL OnDataNormalize2(const char* inputFile, int inputKind, const char* outputFile);
QUARNEL_API int QUARNEL_CALL OnDataNormalizeHXF(const char* hxfFile, const char* outputFile);
QUARNEL_API int QUARNEL_CALL OnCalAvgVar(const char* inPath, const char* meanPath, const char* stdPath,
                                         int w);
QUARNEL_API int QUARNEL_CALL OnBPTrain(const char* sampleFile, const char* networkFile,
                                       const char* resultFile, int sampleCount, int inputCount,
                                       int hiddenCount, int outputCount, int maxIterations,
                                       double errorLimit);
QUARNEL_API int QUARNEL_CALL OnBPClass(const char* networkFile, const char* outputGrid,
                                       const char* inputFiles, const char* inputKinds);
QUARNEL_API int QUARNEL_CALL qelDecompos(const char* parameterFile);
QUARNEL_API int QUARNEL_CALL qelFeater(const char* parameterFile);

#ifdef __cplusplus
}
#endif
