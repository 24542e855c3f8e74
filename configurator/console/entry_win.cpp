// TarnDesk.com, the console companion of TarnDesk.exe. A command prompt prefers .com to .exe,
// so "TarnDesk /show" lands here: it runs TarnDesk.exe from its own folder with the same
// arguments, lets it write to this console (or to the files and pipes the caller redirected
// to), waits for it and ends with its exit code. Without arguments, or with "/open FILE", it
// only starts the tray program and returns, as TarnDesk.exe itself would.
#include "handle_owners_win.h"
#include "program_files_win.h"
#include "system_message_win.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

// Ends when TarnDesk.exe cannot be started beside this program.
constexpr DWORD kExitNotStarted = 6;

// What follows the program's own name on its command line, passed on unchanged so that the
// exe splits it as the user typed it. The name is split as the system splits it: quoted up
// to the next quote, else up to the first blank.
std::wstring ArgumentsText(const wchar_t* line) {
    const wchar_t* at = line;
    if (*at == L'"') {
        ++at;
        while (*at != L'\0' && *at != L'"')
            ++at;
        if (*at == L'"')
            ++at;
    } else {
        while (*at != L'\0' && *at != L' ' && *at != L'\t')
            ++at;
    }
    return at;
}

// True for a command the exe runs to its end; false for a start of the tray program: no
// arguments, or "/open FILE" (also "--open", "-open", in any case), which hands the file to the
// tray. "/open" written wrongly is a command: the exe says what is wrong.
bool IsCommand() {
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    const UniqueLocalBlock owned(list);
    if (list == nullptr || count < 2)
        return false;
    if (count != 3 || list[2][0] == L'\0')
        return true;
    const wchar_t* option = list[1];
    if (option[0] == L'-' && option[1] == L'-')
        option += 2;
    else if (option[0] == L'/' || option[0] == L'-')
        option += 1;
    else
        return true;
    return _wcsicmp(option, L"open") != 0;
}

// A redirected standard handle (a file or pipe), as an inheritable copy for the exe; null for
// a console or none, where the exe writes to this program's console itself (a GUI program
// attaches to its parent's console, and a console handle is no use to it unattached).
HANDLE RedirectedCopy(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode))
        return nullptr;
    HANDLE copy = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                        DUPLICATE_SAME_ACCESS) == FALSE)
        return nullptr;
    return copy;
}

// Ctrl+C and Ctrl+Break reach every process on the console, TarnDesk.exe too, which lets a
// transfer to the mouse finish before it ends; this program waits for it rather than leave
// the prompt to a run still writing.
BOOL WINAPI KeepWaiting(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

void WriteError(const std::wstring& text) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE)
        return;
    DWORD done = 0;
    DWORD mode = 0;
    if (GetConsoleMode(err, &mode)) {
        WriteConsoleW(err, text.c_str(), static_cast<DWORD>(text.size()), &done, nullptr);
        return;
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return;
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(),
                        length, nullptr, nullptr);
    WriteFile(err, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
}

// The system's own words for the error, in the user's language.
std::wstring SystemMessage(DWORD error) {
    const std::wstring text = SystemErrorText(error);
    return text.empty() ? L"error " + std::to_wstring(error) : text;
}

} // namespace

int wmain() {
    RestrictDllSearchToSystem(); // before anything can load a DLL
    const std::wstring folder = ProgramFolder();
    // Always the exe beside this program, by its full path: never one found on a search.
    const std::wstring exe = folder + L"TarnDesk.exe";
    std::wstring line = L"\"" + exe + L"\"" + ArgumentsText(GetCommandLineW());
    const bool command = IsCommand();

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    UniqueHandle in;
    UniqueHandle out;
    UniqueHandle err;
    // The tray program is detached from this console and gets none of its standard handles:
    // it would keep a caller's pipe open for as long as it runs.
    DWORD flags = DETACHED_PROCESS;
    if (command) {
        flags = 0;
        in.Reset(RedirectedCopy(STD_INPUT_HANDLE));
        out.Reset(RedirectedCopy(STD_OUTPUT_HANDLE));
        err.Reset(RedirectedCopy(STD_ERROR_HANDLE));
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.Get();
        startup.hStdOutput = out.Get();
        startup.hStdError = err.Get();
        SetConsoleCtrlHandler(KeepWaiting, TRUE);
    }
    PROCESS_INFORMATION info = {};
    if (folder.empty() ||
        CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, command ? TRUE : FALSE, flags,
                       nullptr, nullptr, &startup, &info) == FALSE) {
        const DWORD error = folder.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
        WriteError(L"\"" + exe + L"\": " + SystemMessage(error) + L"\n");
        return static_cast<int>(kExitNotStarted);
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    // The exe holds its own copies now.
    in.Reset();
    out.Reset();
    err.Reset();
    if (!command)
        return 0; // the tray program runs on by itself
    DWORD code = kExitNotStarted;
    if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
        GetExitCodeProcess(process.Get(), &code) == FALSE)
        code = kExitNotStarted;
    return static_cast<int>(code);
}
