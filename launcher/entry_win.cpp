// Entry point of TarnWake: the hidden launcher that starts the agent when the mouse arrives.
#include <windows.h>

#include "launcher_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
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
