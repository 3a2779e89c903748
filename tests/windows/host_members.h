#pragma once
// Windows-only checks of the host: the exported class members called the way a host built with
// Microsoft's compiler calls them (found by decorated name, thiscall), and the version block and
// the manifest as Windows reads them from Quarnel.dll.
#include <windows.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "jobs/frame/support_classes.h"
#include "formats/kor/cxarray.h"

namespace {

// The version block of the file, empty when it has none.
std::string ReadVersionBlock(const std::string& dll) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(dll.c_str(), &ignored);
    std::string block(size, '\0');
    if (size == 0 || !GetFileVersionInfoA(dll.c_str(), 0, size, block.data())) block.clear();
    return block;
}

int CheckVersionString(const std::string& block, const char* key, const char* expected) {
    const std::string query = std::string("\\StringFileInfo\\080403a8\\") + key;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
        std::strcmp(value, expected) != 0) {
        std::fprintf(stderr, "%s is \"%s\", expected \"%s\"\n", key, value ? value : "(missing)", expected);
        return 1;
    }
    return 0;
}

int CheckVersionBlock(const std::string& dll) {
    const std::string block = ReadVersionBlock(dll);
    if (block.empty()) {
        std::fprintf(stderr, "no version block in %s\n", dll.c_str());
        return 1;
    }
    int failures = 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) ||
        fixed->dwFileVersionMS != 0x00010000 || fixed->dwFileVersionLS != 0x00000001 ||
        fixed->dwProductVersionMS != 0x00010000 || fixed->dwProductVersionLS != 0x00000001) {
        std::fprintf(stderr, "file or product version is not 1.0.0.1\n");
        ++failures;
    }
    WORD* translation = nullptr;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) ||
        length != 4 || translation[0] != 0x0804 || translation[1] != 936) {
        std::fprintf(stderr, "the translation is not Chinese (Simplified), code page 936\n");
        ++failures;
    }
    failures += CheckVersionString(block, "FileDescription", "Quarnel DLL");
    failures += CheckVersionString(block, "InternalName", "Quarnel");
    failures += CheckVersionString(block, "OriginalFilename", "Quarnel.DLL");
    failures += CheckVersionString(block, "ProductName", "Quarnel Dynamic Link Library");
    return failures;
}

// The manifest asks for the caller's rights and names no assembly the DLL would depend on.
int CheckManifest(HMODULE module) {
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24));
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    if (loaded == nullptr) {
        std::fprintf(stderr, "no manifest resource\n");
        return 1;
    }
    const std::string text(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
    int failures = 0;
    if (text.find("level=\"asInvoker\"") == std::string::npos) {
        std::fprintf(stderr, "the manifest does not request asInvoker\n");
        ++failures;
    }
    if (text.find("dependentAssembly") != std::string::npos || text.find("dependency") != std::string::npos) {
        std::fprintf(stderr, "the manifest names a dependent assembly\n");
        ++failures;
    }
    return failures;
}

// Whether the C run-time's global locale, which the library shares with this program, is the
// Chinese code page one that the binary-grid reader sets.
bool RuntimeLocaleIsGbk() {
    const std::string name = std::setlocale(LC_ALL, nullptr);
    return name.size() >= 4 && name.compare(name.size() - 4, 4, ".936") == 0;
}

// The exported member as a pointer to member, so that calls through it are ordinary member
// calls (thiscall). A pointer to a non-virtual member is the function's address and a zero
// adjustment of `this`.
template <class MemberPointer>
MemberPointer FindMember(HMODULE module, const char* name) {
    struct {
        void* function;
        std::ptrdiff_t thisAdjustment;
    } parts{reinterpret_cast<void*>(GetProcAddress(module, name)), 0};
    static_assert(sizeof(parts) == sizeof(MemberPointer));
    MemberPointer member = nullptr;
    if (parts.function == nullptr)
        std::fprintf(stderr, "no export %s\n", name);
    else
        std::memcpy(&member, &parts, sizeof member);
    return member;
}

// A copy assignment copies every byte of a plain-data object and returns the destination.
template <class C>
int CheckAssign(HMODULE module, const char* name) {
    const auto assign = FindMember<C& (C::*)(const C&)>(module, name);
    if (assign == nullptr) return 1;
    alignas(C) unsigned char source[sizeof(C)];
    alignas(C) unsigned char target[sizeof(C)] = {};
    for (std::size_t i = 0; i < sizeof(C); ++i) source[i] = static_cast<unsigned char>(i * 7 + 1);
    C& result = (reinterpret_cast<C*>(target)->*assign)(*reinterpret_cast<const C*>(source));
    if (&result != reinterpret_cast<C*>(target) || std::memcmp(source, target, sizeof(C)) != 0) {
        std::fprintf(stderr, "%s does not copy the object\n", name);
        return 1;
    }
    return 0;
}

template <class Value>
int CheckGetter(HMODULE module, const char* name, const CxMapFile& map, Value expected) {
    const auto get = FindMember<Value (CxMapFile::*)() const>(module, name);
    if (get == nullptr) return 1;
    if ((map.*get)() != expected) {
        std::fprintf(stderr, "%s returns the wrong member\n", name);
        return 1;
    }
    return 0;
}

// Every getter on a copy made by the exported assignment, with the two flags set both ways.
int CheckMapFileGetters(HMODULE module) {
    const auto assign =
        FindMember<CxMapFile& (CxMapFile::*)(const CxMapFile&)>(module, "??4CxMapFile@@QAEAAV0@ABV0@@Z");
    if (assign == nullptr) return 1;
    int failures = 0;
    for (const bool flag : {false, true}) {
        CxMapFile source;
        source.m_fileHandle = reinterpret_cast<void*>(0x1234);
        source.m_fileMappingHandle = reinterpret_cast<void*>(0x5678);
        source.m_mapView = reinterpret_cast<void*>(0x9abc);
        source.m_mapViewStart = 0x123456789aLL;
        source.m_mappingSize = -0x0fedcba987LL;
        source.m_readOnly = flag;
        source.m_appendNull = !flag;
        CxMapFile copy;
        (copy.*assign)(source);
        failures += CheckGetter<bool>(module, "?GetAppendNull@CxMapFile@@QBE_NXZ", copy, !flag);
        failures +=
            CheckGetter<void*>(module, "?GetFileHandle@CxMapFile@@QBEPAXXZ", copy, source.m_fileHandle);
        failures += CheckGetter<void*>(module, "?GetFileMappingHandle@CxMapFile@@QBEPAXXZ", copy,
                                       source.m_fileMappingHandle);
        failures += CheckGetter<std::int64_t>(module, "?GetMapViewStart@CxMapFile@@QBE_JXZ", copy,
                                              source.m_mapViewStart);
        failures += CheckGetter<std::int64_t>(module, "?GetMappingSize@CxMapFile@@QBE_JXZ", copy,
                                              source.m_mappingSize);
        failures += CheckGetter<bool>(module, "?GetReadOlny@CxMapFile@@QBE_NXZ", copy, flag);
    }
    return failures;
}

int CheckMembers(HMODULE module) {
    return CheckAssign<CVarrayBase<char>>(module, "??4?$CVarrayBase@D@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CVarrayBase<unsigned char>>(module, "??4?$CVarrayBase@E@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CVarrayBase<short>>(module, "??4?$CVarrayBase@F@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CVarrayBase<unsigned short>>(module, "??4?$CVarrayBase@G@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CVarrayBase<int>>(module, "??4?$CVarrayBase@H@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CVarrayBase<float>>(module, "??4?$CVarrayBase@M@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CVarrayBase<double>>(module, "??4?$CVarrayBase@N@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CErrorInfo>(module, "??4CErrorInfo@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CTempFile>(module, "??4CTempFile@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CxFile>(module, "??4CxFile@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CxMapFile>(module, "??4CxMapFile@@QAEAAV0@ABV0@@Z") +
           CheckAssign<CxString>(module, "??4CxString@@QAEAAV0@ABV0@@Z") + CheckMapFileGetters(module);
}

int CheckMembersAndResources(const std::string& dll) {
    const HMODULE module = LoadLibraryA(dll.c_str());
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", dll.c_str());
        return 1;
    }
    const int failures = CheckMembers(module) + CheckVersionBlock(dll) + CheckManifest(module);
    FreeLibrary(module);
    return failures == 0 ? 0 : 1;
}

}  // namespace
