// Stands in for the agent when only the launcher is under test: it counts its starts in the
// registry and shows the agent's window (class and name) until it is closed.
#include <windows.h>

namespace {

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TarnE2E", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        DWORD starts = 0, size = sizeof(starts);
        RegQueryValueExW(key, L"ProbeStarts", nullptr, nullptr, reinterpret_cast<BYTE*>(&starts),
                         &size);
        ++starts;
        RegSetValueExW(key, L"ProbeStarts", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&starts),
                       sizeof(starts));
        RegCloseKey(key);
    }
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ProbeProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"TarnAgentClass";
    RegisterClassW(&windowClass);
    if (!CreateWindowExW(0, L"TarnAgentClass", L"TarnAgentWnd", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         0, CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr))
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
