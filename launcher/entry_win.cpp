// Entry point of TarnWake: the hidden launcher that starts the agent when the mouse arrives.
#include <windows.h>

#include "crash_dumps_win.h"
#include "launcher_app.h"
#include "program_files_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearchToSystem(); // before anything can load a DLL
    InstallCrashDumps(L"TarnWake");
    tarnwake::RegisterWakeClass(instance);
    if (!tarnwake::StartLauncher(instance)) {
        return 0;
    }
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
