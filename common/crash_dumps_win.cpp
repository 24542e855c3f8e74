#include "crash_dumps_win.h"

#include <windows.h>

#include <dbghelp.h>
#include <shlobj.h>

#include "crash_dumps.h"
#include "handle_owners_win.h"
#include "program_files_win.h"

namespace {

// Filled once by InstallCrashDumps; the filter only reads them, as it may run on any thread.
wchar_t dumpProgram[64] = {};
wchar_t dumpFolder[MAX_PATH] = {};

using MiniDumpWriter = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                     PMINIDUMP_EXCEPTION_INFORMATION,
                                     PMINIDUMP_USER_STREAM_INFORMATION,
                                     PMINIDUMP_CALLBACK_INFORMATION);

void PruneOldDumps() {
    const std::vector<std::wstring> stale =
        CrashDumpsToDelete(dumpProgram, CrashDumpFiles(), kCrashDumpsKept);
    for (const std::wstring& name : stale) {
        DeleteFileW((std::wstring(dumpFolder) + L"\\" + name).c_str());
    }
}

void LeaveNotice(const std::wstring& path) {
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kCrashNoticeKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key.Get(), dumpProgram, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

bool WriteDump(EXCEPTION_POINTERS* exception, const std::wstring& path) {
    // A system DLL, but not a known one: from system32 and nowhere else.
    const HMODULE dbghelp = LoadSystemLibrary(L"dbghelp.dll");
    if (dbghelp == nullptr) {
        return false;
    }
    const auto write = reinterpret_cast<MiniDumpWriter>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    bool written = false;
    if (write != nullptr) {
        const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            MINIDUMP_EXCEPTION_INFORMATION info = {};
            info.ThreadId = GetCurrentThreadId();
            info.ExceptionPointers = exception;
            info.ClientPointers = FALSE;
            // Stacks and the faulting thread only: small, and no heap that could hold the
            // user's data.
            written = write(GetCurrentProcess(), GetCurrentProcessId(), file.Get(),
                            static_cast<MINIDUMP_TYPE>(MiniDumpNormal | MiniDumpWithThreadInfo),
                            &info, nullptr, nullptr) != FALSE;
        }
        if (!written) {
            DeleteFileW(path.c_str());
        }
    }
    // Left loaded: the process ends right after.
    return written;
}

LONG WINAPI WriteCrashDump(EXCEPTION_POINTERS* exception) {
    // One dump per process, even when a second thread fails while the first is written.
    static LONG entered = 0;
    if (InterlockedExchange(&entered, 1) != 0 || dumpFolder[0] == L'\0') {
        return EXCEPTION_EXECUTE_HANDLER;
    }
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const DumpTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    const std::wstring path = std::wstring(dumpFolder) + L"\\" +
                              CrashDumpFileName(dumpProgram, time, GetCurrentProcessId());
    if (WriteDump(exception, path)) {
        PruneOldDumps();
        LeaveNotice(path);
    }
    // Ends the process without the system's error dialog: the dump is the report.
    return EXCEPTION_EXECUTE_HANDLER;
}

// Creates each missing folder of an absolute path.
bool CreateFolders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE ||
           GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace

std::wstring CrashDumpFolder() {
    wchar_t local[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local) !=
            S_OK ||
        local[0] == L'\0') {
        return {};
    }
    return std::wstring(local) + L"\\" + kCrashDumpSubfolder;
}

std::vector<std::wstring> CrashDumpFiles() {
    std::vector<std::wstring> names;
    const std::wstring folder = dumpFolder[0] != L'\0' ? dumpFolder : CrashDumpFolder();
    if (folder.empty()) {
        return names;
    }
    WIN32_FIND_DATAW found = {};
    const UniqueFind search(FindFirstFileW((folder + L"\\*.dmp").c_str(), &found));
    if (!search) {
        return names;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.emplace_back(found.cFileName);
        }
    } while (FindNextFileW(search.Get(), &found));
    return names;
}

void InstallCrashDumps(const wchar_t* program) {
    lstrcpynW(dumpProgram, program, static_cast<int>(std::size(dumpProgram)));
    const std::wstring folder = CrashDumpFolder();
    // A folder too long for the filter's buffer gets no dumps rather than a cut path.
    if (!folder.empty() && folder.size() < std::size(dumpFolder) && CreateFolders(folder)) {
        lstrcpynW(dumpFolder, folder.c_str(), static_cast<int>(std::size(dumpFolder)));
    }
    SetUnhandledExceptionFilter(WriteCrashDump);
}

std::wstring TakeCrashNotice(const wchar_t* program) {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kCrashNoticeKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      key.Put()) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t path[MAX_PATH + 64] = {};
    DWORD size = sizeof(path) - sizeof(wchar_t);
    DWORD type = REG_NONE;
    const LONG status =
        RegQueryValueExW(key.Get(), program, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegDeleteValueW(key.Get(), program);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    return path;
}
