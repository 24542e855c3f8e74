// Screenshot of TarnDesk's Settings dialog as the user opens it, for checking the dialogs at
// other display scales: starts TarnDesk.exe from FOLDER (its pictures are found from there),
// chooses "Setting" from its tray menu, saves the dialog's screen area as a 24-bit BMP and
// ends TarnDesk with "Close". Prints the dialog's size and the DPI. Needs the mouse present.
//
// Usage: dialog_shot FOLDER OUT.bmp
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_harness_win.h"

namespace {

constexpr UINT kSettingCommand = 32773;
constexpr UINT kCloseCommand = 32771;

struct Search {
    DWORD processId;
    HWND main;
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && window != search->main && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
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
    if (argc != 3) {
        fwprintf(stderr, L"usage: dialog_shot FOLDER OUT.bmp\n");
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
    Search search = {processId, nullptr, nullptr};
    for (int i = 0; i < 200 && search.main == nullptr; ++i) {
        search.main = FindWindowW(L"TarnDeskCLass", L"TarnDeskWnd");
        Sleep(50);
    }
    int result = 1;
    if (search.main == nullptr) {
        fwprintf(stderr, L"dialog_shot: TarnDesk shows no main window\n");
    } else {
        // The start-up copy of the mouse's memory takes several seconds; the command waits.
        PostMessageW(search.main, WM_COMMAND, kSettingCommand, 0);
        for (int i = 0; i < 300 && search.found == nullptr; ++i) {
            Sleep(100);
            EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        }
        if (search.found == nullptr) {
            fwprintf(stderr, L"dialog_shot: no Settings dialog appeared\n");
        } else {
            Sleep(1500);
            RECT rect;
            GetWindowRect(search.found, &rect);
            wprintf(L"dialog %ldx%ld px at %u dpi\n", rect.right - rect.left,
                    rect.bottom - rect.top, GetDpiForSystem());
            result = SaveBmp(search.found, argv[2]) ? 0 : 1;
        }
        PostMessageW(search.main, WM_COMMAND, kCloseCommand, 0);
    }
    if (WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
    }
    return result;
}
