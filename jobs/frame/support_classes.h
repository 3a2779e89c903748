#pragma once
// The in-house file and string support classes whose members the library's export table
// carries: the copy assignments of all five and the six getters of CxMapFile. The library calls
// none of them. Every class is a record of plain data, so each copy assignment copies all of its
// members and returns the object; CxString refers to text it does not own.
#include <cstdint>

#include "jobs/frame/quarnel.h"

class QUARNEL_API CErrorInfo {
  public:
    int m_code = 0;
    int m_osError = 0;
    char m_message[256] = {};
};

class QUARNEL_API CxFile {
  public:
    void* m_fileHandle = nullptr;
    std::int64_t m_position = 0;
    bool m_readOnly = false;
    char m_path[260] = {};
};

class QUARNEL_API CTempFile {
  public:
    void* m_fileHandle = nullptr;
    bool m_deleteOnClose = true;
    char m_path[260] = {};
};

class QUARNEL_API CxMapFile {
  public:
    bool GetAppendNull() const { return m_appendNull; }
    void* GetFileHandle() const { return m_fileHandle; }
    void* GetFileMappingHandle() const { return m_fileMappingHandle; }
    std::int64_t GetMapViewStart() const { return m_mapViewStart; }
    std::int64_t GetMappingSize() const { return m_mappingSize; }
    // Spelled as the export table has it.
    bool GetReadOlny() const { return m_readOnly; }

    void* m_fileHandle = nullptr;
    void* m_fileMappingHandle = nullptr;
    void* m_mapView = nullptr;
    std::int64_t m_mapViewStart = 0;
    std::int64_t m_mappingSize = 0;
    bool m_readOnly = false;
    bool m_appendNull = false;
};

class QUARNEL_API CxString {
  public:
    const char* m_text = nullptr;
    int m_length = 0;
};
