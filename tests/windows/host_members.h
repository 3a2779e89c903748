#pragma once
// Windows-only checks of the host: the version block and the manifest as Windows reads them from
// Quarnel.dll. Returns the number of differences found (0 when everything matches).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

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

int CheckMembersAndResources(const std::string& dll) {
    const HMODULE module = LoadLibraryA(dll.c_str());
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", dll.c_str());
        return 1;
    }
    const int failures = CheckVersionBlock(dll) + CheckManifest(module);
    FreeLibrary(module);
    return failures == 0 ? 0 : 1;
}

}  // namespace
