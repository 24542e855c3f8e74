// Screenshot of one of TarnDesk's windows as the user opens it, for checking the dialogs at
// other display scales and for the README: starts TarnDesk.exe from FOLDER (its pictures are
// found from there), opens the window, saves its screen area as a 24-bit BMP and ends TarnDesk
// with "Close". Prints the window's size and the DPI. Needs the mouse present.
//   settings  the Settings dialog, chosen from the tray menu (the default)
//   menu      the tray menu, as a right click on the icon opens it
//   recorder  the recorder, as choosing "Macro Key" for button 2 opens it (then Cancel)
//   select    Select Profile, as choosing it for button 2 opens it (then OK; nothing is
//             applied, but the choice is stored in the mouse)
//   reset     no picture: chooses "Reset to Default", so the pictures show the default profiles
//   NUMBER    the window that tray menu command NUMBER opens (then Cancel)
//
// Usage: dialog_shot FOLDER OUT.bmp [settings|menu|recorder|select|reset|NUMBER]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_harness_win.h"

namespace {

constexpr UINT kSettingCommand = 32773;
constexpr UINT kCloseCommand = 32771;
constexpr UINT kResetCommand = 32772;
constexpr UINT kTrayCallback = 3025;
constexpr int kButton2Function = 222;
constexpr int kMacroKey = 8;
constexpr int kSelectProfile = 10;
constexpr int kRecorderCancel = 305;
constexpr int kSettingsClose = 306;

struct Search {
    DWORD processId;
    HWND main;
    HWND skip;                // a window already found
    const wchar_t* className; // null: any
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (owner == search->processId && window != search->main && window != search->skip &&
        IsWindowVisible(window) &&
        (search->className == nullptr || wcscmp(className, search->className) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits up to `tenths` tenths of a second for a visible window of TarnDesk other than `skip`.
HWND WaitForWindow(Search search, HWND skip, const wchar_t* className, int tenths) {
    search.skip = skip;
    search.className = className;
    search.found = nullptr;
    for (int i = 0; i < tenths && search.found == nullptr; ++i) {
        Sleep(100);
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

bool SaveBmp(HWND window, const std::wstring& path) {
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP shot = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, shot);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    bool ok = false;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
             WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) &&
             WriteFile(out, bits, imageSize, &written, nullptr);
        CloseHandle(out);
    }
    SelectObject(memory, old);
    DeleteObject(shot);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 && argc != 4) {
        fwprintf(
            stderr,
            L"usage: dialog_shot FOLDER OUT.bmp [settings|menu|recorder|select|reset|NUMBER]\n");
        return 2;
    }
    const std::wstring shot = argc == 4 ? argv[3] : L"settings";
    const bool numbered = shot.find_first_not_of(L"0123456789") == std::wstring::npos;
    if (shot != L"settings" && shot != L"menu" && shot != L"recorder" && shot != L"select" &&
        shot != L"reset" && !numbered) {
        fwprintf(stderr, L"dialog_shot: no shot named %ls\n", shot.c_str());
        return 2;
    }
    const std::wstring folder = argv[1];
    const std::wstring program = folder + L"\\TarnDesk.exe";
    DWORD processId = 0;
    const UniqueHandle process =
        RunDetached(L"\"" + program + L"\"", nullptr, folder.c_str(), &processId);
    if (!process) {
        fwprintf(stderr, L"dialog_shot: cannot start %ls\n", program.c_str());
        return 1;
    }
    Search search = {processId, nullptr, nullptr, nullptr, nullptr};
    for (int i = 0; i < 200 && search.main == nullptr; ++i) {
        search.main = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd");
        Sleep(50);
    }
    int result = 1;
    HWND window = nullptr;
    HWND settings = nullptr;
    if (search.main == nullptr) {
        fwprintf(stderr, L"dialog_shot: TarnDesk shows no main window\n");
    } else if (shot == L"reset") {
        // Handled in order: the reset writes all five profiles before Close ends TarnDesk.
        PostMessageW(search.main, WM_COMMAND, kResetCommand, 0);
        PostMessageW(search.main, WM_COMMAND, kCloseCommand, 0);
        DWORD code = 1;
        if (WaitForSingleObject(process.Get(), 60000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.Get(), &code);
        }
        result = code == 0 ? 0 : 1;
        wprintf(L"reset %ls\n", result == 0 ? L"done" : L"failed");
        search.main = nullptr;
    } else if (shot == L"menu") {
        // The start-up copy of the mouse's memory takes several seconds; the click waits.
        PostMessageW(search.main, kTrayCallback, 0, WM_RBUTTONUP);
        window = WaitForWindow(search, nullptr, L"#32768", 300);
    } else if (numbered) {
        PostMessageW(search.main, WM_COMMAND, static_cast<WPARAM>(_wtoi(shot.c_str())), 0);
        window = WaitForWindow(search, nullptr, nullptr, 300);
    } else {
        PostMessageW(search.main, WM_COMMAND, kSettingCommand, 0);
        settings = window = WaitForWindow(search, nullptr, nullptr, 300);
        if (settings != nullptr && shot != L"settings") {
            Sleep(1000);
            HWND combo = GetDlgItem(settings, kButton2Function);
            SendMessageW(combo, CB_SETCURSEL, shot == L"recorder" ? kMacroKey : kSelectProfile, 0);
            // Posted: the dialog opens modally inside TarnDesk's message loop.
            PostMessageW(settings, WM_COMMAND, MAKEWPARAM(kButton2Function, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo));
            window = WaitForWindow(search, settings, nullptr, 100);
        }
    }
    if (search.main != nullptr && window == nullptr) {
        fwprintf(stderr, L"dialog_shot: no %ls window appeared\n", shot.c_str());
    } else if (window != nullptr) {
        Sleep(1500);
        RECT rect;
        GetWindowRect(window, &rect);
        wprintf(L"%ls %ldx%ld px at %u dpi\n", shot.c_str(), rect.right - rect.left,
                rect.bottom - rect.top, GetDpiForSystem());
        result = SaveBmp(window, argv[2]) ? 0 : 1;
        if (shot == L"menu") {
            PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(search.main, WM_CANCELMODE, 0, 0);
        } else if (numbered) {
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        } else if (window != settings) {
            PostMessageW(window, WM_COMMAND, shot == L"recorder" ? kRecorderCancel : IDOK, 0);
        }
    }
    if (settings != nullptr) {
        Sleep(300);
        PostMessageW(settings, WM_COMMAND, kSettingsClose, 0);
    }
    if (search.main != nullptr) {
        Sleep(300);
        PostMessageW(search.main, WM_COMMAND, kCloseCommand, 0);
    }
    if (WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
    }
    return result;
}
