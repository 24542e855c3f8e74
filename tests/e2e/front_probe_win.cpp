// A program to bring to the front: one visible window, class "TarnFrontProbe", titled with
// its command line. Copied under several names, it stands for the programs the user binds to
// profiles. Windows raises EVENT_SYSTEM_FOREGROUND itself when a window comes to the front;
// Wine 8 activates the window without it, so the probe raises it as the system would.
#include <windows.h>

namespace {

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
        NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, window, OBJID_WINDOW, CHILDID_SELF);
    } else if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ProbeProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"TarnFrontProbe";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    RegisterClassW(&windowClass);
    if (!CreateWindowExW(0, L"TarnFrontProbe", commandLine, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                         40, 320, 200, nullptr, nullptr, instance, nullptr))
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
