// TarnAgent as a test process: the real start-up and window over simulated filter drivers.
// The command line lists the devices present: "1", "2", "3" in any combination.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "agent_app.h"
#include "driver_link_win.h"
#include "sim_filter_drivers.h"

namespace {

// What the agent asks the shell to start, one line per start in "shell_starts.log" beside
// the program: "<file> <parameters>".
void RecordShellStart(const wchar_t* file, const wchar_t* parameters, int) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    wchar_t* slash = wcsrchr(path, L'\\');
    if (length == 0 || length >= MAX_PATH || slash == nullptr) {
        return;
    }
    wcscpy(slash + 1, L"shell_starts.log");
    wchar_t line[600] = {};
    swprintf(line, 600, L"%ls %ls\n", file, parameters);
    char text[1200] = {};
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, line, -1, text, sizeof(text), nullptr, nullptr);
    const HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE || bytes <= 1) {
        return;
    }
    DWORD written = 0;
    WriteFile(log, text, static_cast<DWORD>(bytes - 1), &written, nullptr);
    CloseHandle(log);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    shellStart = RecordShellStart;
    auto* drivers = new SimFilterDrivers; // lives as long as the process
    for (const wchar_t* c = commandLine; c && *c; ++c) {
        if (*c >= L'1' && *c <= L'3') {
            drivers->SetPresent(*c - L'1', true);
        }
    }
    SetFilterDeviceIo(drivers);
    return AgentMain(instance);
}
