#include "program_files_win.h"

#include "text_rules.h"

bool RestrictDllSearchToSystem() {
    // Also drops the current folder from the search of LoadLibrary calls without flags.
    SetDllDirectoryW(L"");
    return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    return LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

std::wstring ProgramFolder() {
    const auto path = ReadModulePath([](wchar_t* buffer, uint32_t count) -> uint32_t {
        return GetModuleFileNameW(nullptr, buffer, count);
    });
    return path ? ProgramDirectory(*path) : std::wstring();
}
