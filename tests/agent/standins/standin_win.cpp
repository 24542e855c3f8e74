// A stand-in for one sibling tool, built under the tool's file name for the agent's tests.
// It appends its command-line argument to "<name>.log" beside itself; the windowed tools then
// keep a window of class "<name>Class" until they are asked to close.
#include <windows.h>

namespace {
constexpr const wchar_t* kName = TARN_STANDIN_NAME;

// Everything after the program name, without the separating blanks.
const wchar_t* ArgumentOf(const wchar_t* commandLine) {
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        ++p;
        while (*p != 0 && *p != L'"') {
            ++p;
        }
        if (*p == L'"') {
            ++p;
        }
    } else {
        while (*p != 0 && *p != L' ' && *p != L'\t') {
            ++p;
        }
    }
    while (*p == L' ' || *p == L'\t') {
        ++p;
    }
    return p;
}

void Record(const wchar_t* line) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    wchar_t* slash = path + length;
    while (slash > path && *slash != L'\\') {
        --slash;
    }
    wsprintfW(slash + 1, L"%s.log", kName);
    char text[512] = {};
    int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, text, sizeof(text) - 2, nullptr, nullptr);
    if (bytes <= 0) {
        return;
    }
    text[bytes - 1] = '\n';
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(bytes), &written, nullptr);
    CloseHandle(file);
}

#ifdef TARN_STANDIN_WINDOW
LRESULT CALLBACK ToolProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
#endif
} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    Record(ArgumentOf(GetCommandLineW()));
#ifdef TARN_STANDIN_WINDOW
    wchar_t className[64];
    wsprintfW(className, L"%sClass", kName);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ToolProc;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    if (RegisterClassW(&wc) == 0) {
        return 1;
    }
    const HWND window = CreateWindowExW(0, className, kName, WS_POPUP | WS_BORDER, 900, 600, 200,
                                        120, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    // A plain popup shown without taking the focus: under Wine without a window manager, a
    // captioned or once active window makes its destruction wait two seconds, and the tests
    // close tools often.
    (void)show;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
#else
    (void)instance;
    (void)show;
#endif
    return 0;
}
