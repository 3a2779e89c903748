// The export table carries inline members that the library never calls. Taking their addresses
// in a table the compiler must keep makes it emit them; quarnel.map then exports exactly these.
#include "jobs/frame/support_classes.h"
#include "formats/kor/cxarray.h"

namespace {

template <class T>
using Assign = T& (T::*)(const T&);

struct ExportedMembers {
    Assign<CVarrayBase<char>> charArray;
    Assign<CVarrayBase<unsigned char>> ucharArray;
    Assign<CVarrayBase<short>> shortArray;
    Assign<CVarrayBase<unsigned short>> ushortArray;
    Assign<CVarrayBase<int>> intArray;
    Assign<CVarrayBase<float>> floatArray;
    Assign<CVarrayBase<double>> doubleArray;
    Assign<CErrorInfo> errorInfo;
    Assign<CTempFile> tempFile;
    Assign<CxFile> file;
    Assign<CxMapFile> mapFile;
    Assign<CxString> string;
    bool (CxMapFile::*getAppendNull)() const;
    void* (CxMapFile::*getFileHandle)() const;
    void* (CxMapFile::*getFileMappingHandle)() const;
    std::int64_t (CxMapFile::*getMapViewStart)() const;
    std::int64_t (CxMapFile::*getMappingSize)() const;
    bool (CxMapFile::*getReadOlny)() const;
};

[[gnu::used]] const ExportedMembers kExportedMembers{
    &CVarrayBase<char>::operator=,
    &CVarrayBase<unsigned char>::operator=,
    &CVarrayBase<short>::operator=,
    &CVarrayBase<unsigned short>::operator=,
    &CVarrayBase<int>::operator=,
    &CVarrayBase<float>::operator=,
    &CVarrayBase<double>::operator=,
    &CErrorInfo::operator=,
    &CTempFile::operator=,
    &CxFile::operator=,
    &CxMapFile::operator=,
    &CxString::operator=,
    &CxMapFile::GetAppendNull,
    &CxMapFile::GetFileHandle,
    &CxMapFile::GetFileMappingHandle,
    &CxMapFile::GetMapViewStart,
    &CxMapFile::GetMappingSize,
    &CxMapFile::GetReadOlny,
};

}  // namespace
